// The walks over a home that fights back: a link that loops to the top, a link to itself, a folder
// that cannot be read and one folder with a hundred thousand entries. Every walk ends and finds what
// it can reach.
#include "fixtures/DiscoveryFixture.h"
#include "fixtures/ManagerFixture.h"
#include "search/AppsSource.h"
#include "search/Database.h"
#include "search/FoldersSource.h"
#include "search/ShortcutFilesSource.h"
#include "support/RestrictedFolder.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

constexpr int crowdedEntryCount = 100000;

QSet<QString> relativePaths(const SearchResults &rows, const QString &root) {
    QSet<QString> paths;
    for (const SearchResult &row : rows)
        paths.insert(row.fullPath().mid(root.size() + 1));
    return paths;
}

TEST(DiscoveryFaults, HomeWithALinkLoopAnUnreadableFolderAndAHundredThousandEntries) {
    const QString root = test::homePath() + QStringLiteral("/home");
    const auto at = [&](const char *relative) { return root + QLatin1Char('/') + QLatin1String(relative); };
    test::makeDirectory(at("Documents/Projects"));
    ASSERT_TRUE(test::makeSymbolicLink(root, at("Documents/loop")));
    ASSERT_TRUE(test::makeSymbolicLink(QStringLiteral("self"), at("self")));
    test::writeFile(at("closed/secret.url"), "URL=https://secret.example/");
    test::makeDirectory(at("crowded/Tool.app"));
    const QByteArray crowded = QFile::encodeName(at("crowded"));
    for (int i = 0; i < crowdedEntryCount; ++i) {
        const QByteArray name = crowded + "/entry-" + QByteArray::number(i) + ".url";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << name.constData();
        ::close(fd);
    }

    const test::RestrictedFolder closed(at("closed"), 0);
    const bool unreadable = !closed.canList();
    if (!unreadable)
        std::printf("This process reads any folder: the unreadable folder is read like the others.\n");

    const QSet<QString> excluded = {QStringLiteral("library")};
    EXPECT_EQ(relativePaths(discoverAppBundles({root}), root),
              QSet<QString>{QStringLiteral("crowded/Tool.app")});
    const QSet<QString> folders = {QStringLiteral("Documents"), QStringLiteral("Documents/Projects"),
                                   QStringLiteral("Documents/loop"), QStringLiteral("closed"),
                                   QStringLiteral("crowded")};
    EXPECT_EQ(relativePaths(discoverFolders({root}, 5, excluded), root), folders);

    const SearchResults shortcuts = discoverShortcuts({root}, 6, excluded, {QStringLiteral("url")});
    EXPECT_EQ(shortcuts.size(), crowdedEntryCount + (unreadable ? 0 : 1));
    const QSet<QString> shortcutPaths = relativePaths(shortcuts, root);
    EXPECT_TRUE(shortcutPaths.contains(QStringLiteral("crowded/entry-0.url")));
    EXPECT_TRUE(shortcutPaths.contains(QStringLiteral("crowded/entry-99999.url")));
    EXPECT_EQ(shortcutPaths.contains(QStringLiteral("closed/secret.url")), !unreadable);

    // The manager's warm-up runs both walks on its own threads and installs what they found.
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.appSearchRoots = {root};
    configuration.folderSearchRoots = {root};
    auto manager = fixture.makeManager(configuration);
    EXPECT_EQ(manager->warmupFileSystemPermissions(),
              (std::pair<qint64, qint64>(1, static_cast<qint64>(folders.size()))));
    const SearchResults tool = manager->search(QStringLiteral("tool"));
    ASSERT_FALSE(tool.isEmpty());
    EXPECT_EQ(tool.at(0).fullPath(), at("crowded/Tool.app"));
}

// Names that are not valid UTF-8 have no text that names them: a row made from one would name no
// file (and a shortcut file's address would never be read). Such entries, and what lies below them,
// give no row; every row the walks give names a file on disk.
TEST(DiscoveryFaults, NamesThatAreNotUtf8GiveNoRowThatNamesNoFile) {
    // A home of its own: the other tests of the process leave theirs.
    const QString root = test::homePath() + QStringLiteral("/not-utf8-names");
    const QByteArray native = QFile::encodeName(root);
    std::filesystem::remove_all(native.toStdString());
    test::makeDirectory(root + QStringLiteral("/Projects \u00e9t\u00e9"));
    test::writeFile(root + QStringLiteral("/Projects \u00e9t\u00e9/site.url"), "URL=https://good.example/");
    for (const QByteArray &folder : {QByteArray("/Caf\xe9"), QByteArray("/Caf\xe9/Inner"),
                                     QByteArray("/Caf\xe9/Tool.app"), QByteArray("/Latin\xff.app")})
        ASSERT_EQ(::mkdir((native + folder).constData(), 0755), 0) << folder.constData();
    for (const QByteArray &file : {QByteArray("/Caf\xe9/Inner/menu.url"), QByteArray("/menu\xe9.url")}) {
        const int fd = ::open((native + file).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << file.constData();
        ASSERT_EQ(::write(fd, "URL=https://lost.example/\n", 26), 26);
        ::close(fd);
    }

    const auto expectOnlyFilesOnDisk = [&](const SearchResults &rows, const QSet<QString> &expected) {
        for (const SearchResult &row : rows)
            EXPECT_TRUE(QFileInfo::exists(row.fullPath())) << row.fullPath().toStdString();
        EXPECT_EQ(relativePaths(rows, root), expected);
    };
    expectOnlyFilesOnDisk(discoverAppBundles({root}), {});
    expectOnlyFilesOnDisk(discoverFolders({root}, 5, {}), {QStringLiteral("Projects \u00e9t\u00e9")});
    const SearchResults shortcuts = discoverShortcuts({root}, 6, {}, {QStringLiteral("url")});
    expectOnlyFilesOnDisk(shortcuts, {QStringLiteral("Projects \u00e9t\u00e9/site.url")});
    ASSERT_EQ(shortcuts.size(), 1);
    EXPECT_EQ(shortcuts.front().usageKey(), QStringLiteral("https://good.example/"));
    // QDir cannot name them, so the test home's removal would leave them behind.
    std::filesystem::remove_all(native.toStdString());
}

} // namespace
} // namespace orvex
