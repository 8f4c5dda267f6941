#include "platform/DirectoryWalker.h"

#include "fixtures/DiscoveryFixture.h"
#include "support/RestrictedFolder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace orvex {
namespace {

using EntryType = DirectoryWalker::EntryType;

// Walks `root` and lists "relative/path:depth" separated by blanks; `skip` says which folders to leave.
std::string walk(const QString &root, const std::function<bool(const DirectoryWalker::Entry &)> &skip = {}) {
    QStringList seen;
    const QString prefix = QDir::cleanPath(root) + QLatin1Char('/');
    DirectoryWalker walker(root);
    while (auto entry = walker.next()) {
        EXPECT_TRUE(entry->path.startsWith(prefix)) << entry->path.toStdString();
        seen.append(entry->path.mid(prefix.size()) + QLatin1Char(':') + QString::number(entry->depth));
        if (skip && skip(*entry))
            walker.skipDescendants();
    }
    return seen.join(QLatin1Char(' ')).toStdString();
}

class DirectoryWalkerTest : public ::testing::Test {
protected:
    QString at(const QString &relative) const { return root + QLatin1Char('/') + relative; }
    QTemporaryDir dir{test::homePath() + QStringLiteral("/tree-XXXXXX")};
    QString root = dir.path();
};

TEST_F(DirectoryWalkerTest, PreOrderWithSortedNamesAndDepths) {
    test::writeFile(at(QStringLiteral("b/z.txt")), "z");
    test::writeFile(at(QStringLiteral("b/a/deep/f")), "f");
    test::writeFile(at(QStringLiteral("a.txt")), "a");
    test::writeFile(at(QStringLiteral("C")), "c"); // upper case sorts before lower case by bytes
    test::makeDirectory(at(QStringLiteral(".hidden/inner")));

    const std::string expected =
        ".hidden:1 .hidden/inner:2 C:1 a.txt:1 b:1 b/a:2 b/a/deep:3 b/a/deep/f:4 b/z.txt:2";
    EXPECT_EQ(walk(root), expected);
    // A trailing slash on the root changes nothing.
    EXPECT_EQ(walk(root + QLatin1Char('/')), expected);
}

TEST_F(DirectoryWalkerTest, ReportsEntryTypesWithoutFollowingLinks) {
    test::writeFile(at(QStringLiteral("file")), "x");
    test::makeDirectory(at(QStringLiteral("folder")));
    ASSERT_TRUE(test::makeSymbolicLink(at(QStringLiteral("folder")), at(QStringLiteral("link"))));
    ASSERT_TRUE(test::makeFifo(at(QStringLiteral("pipe"))));

    QMap<QString, EntryType> types;
    DirectoryWalker walker(root);
    while (auto entry = walker.next())
        types.insert(entry->name, entry->type);
    EXPECT_EQ(types.value(QStringLiteral("file")), EntryType::regularFile);
    EXPECT_EQ(types.value(QStringLiteral("folder")), EntryType::directory);
    EXPECT_EQ(types.value(QStringLiteral("link")), EntryType::symbolicLink);
    EXPECT_EQ(types.value(QStringLiteral("pipe")), EntryType::other);
}

TEST_F(DirectoryWalkerTest, SkipDescendantsLeavesTheFolderOut) {
    test::writeFile(at(QStringLiteral("skip/inner/f")), "x");
    test::writeFile(at(QStringLiteral("keep/f")), "x");
    EXPECT_EQ(walk(root, [](const DirectoryWalker::Entry &e) { return e.name == QStringLiteral("skip"); }),
              "keep:1 keep/f:2 skip:1");
}

TEST_F(DirectoryWalkerTest, AppBundlesAreYieldedButNotEntered) {
    for (const char *bundle : {"Mail.app", "Upper.APP", "Utilities/Tool.App"})
        test::writeFile(at(QString::fromLatin1(bundle) + QStringLiteral("/Contents/Info.plist")), "x");
    EXPECT_EQ(walk(root), "Mail.app:1 Upper.APP:1 Utilities:1 Utilities/Tool.App:2");

    EXPECT_TRUE(DirectoryWalker::isAppBundleName(QStringLiteral("a.aPp")));
    EXPECT_FALSE(DirectoryWalker::isAppBundleName(QStringLiteral(".app")));
    EXPECT_FALSE(DirectoryWalker::isAppBundleName(QStringLiteral("app")));
    EXPECT_FALSE(DirectoryWalker::isAppBundleName(QStringLiteral("x.apps")));
}

TEST_F(DirectoryWalkerTest, SymbolicLinkLoopsEnd) {
    test::makeDirectory(at(QStringLiteral("a/b")));
    ASSERT_TRUE(test::makeSymbolicLink(root, at(QStringLiteral("a/b/up"))));
    ASSERT_TRUE(test::makeSymbolicLink(QStringLiteral("self"), at(QStringLiteral("self"))));
    EXPECT_EQ(walk(root), "a:1 a/b:2 a/b/up:3 self:1");
}

TEST_F(DirectoryWalkerTest, UnreadableFolderIsYieldedAndSkipped) {
    test::writeFile(at(QStringLiteral("closed/secret")), "x");
    test::writeFile(at(QStringLiteral("open/f")), "x");
    const test::RestrictedFolder closed(at(QStringLiteral("closed")), 0);
    if (closed.canList())
        GTEST_SKIP() << "cannot make a folder unreadable here";
    EXPECT_EQ(walk(root), "closed:1 open:1 open/f:2");
}

// Such a name is entered, but its text (with a replacement character) names no file: the entry and
// everything below it say so.
TEST_F(DirectoryWalkerTest, NamesThatAreNotUtf8AreEnteredAndMarked) {
    const QByteArray folder = QFile::encodeName(root) + "/bad\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((folder + "/inner").constData(), 0755), 0);
    test::writeFile(at(QStringLiteral("good \u00e9t\u00e9")), "x");
    QList<int> depths;
    QList<bool> exact;
    DirectoryWalker walker(root);
    while (auto entry = walker.next()) {
        depths.append(entry->depth);
        exact.append(entry->exactPath);
        EXPECT_EQ(entry->exactPath, QFileInfo::exists(entry->path)) << entry->path.toStdString();
    }
    EXPECT_EQ(depths, (QList<int>{1, 2, 1}));
    EXPECT_EQ(exact, (QList<bool>{false, false, true}));
    // QDir cannot name it, so the test home's removal would leave it behind.
    std::filesystem::remove_all(folder.toStdString());
}

TEST_F(DirectoryWalkerTest, RootThatIsMissingOrAFileGivesNothing) {
    test::writeFile(at(QStringLiteral("file")), "x");
    EXPECT_EQ(walk(at(QStringLiteral("missing"))), "");
    EXPECT_EQ(walk(at(QStringLiteral("file"))), "");
}

TEST_F(DirectoryWalkerTest, RootGivenAsALinkIsFollowed) {
    test::writeFile(at(QStringLiteral("real/f")), "x");
    ASSERT_TRUE(test::makeSymbolicLink(at(QStringLiteral("real")), at(QStringLiteral("link"))));
    EXPECT_EQ(walk(at(QStringLiteral("link"))), "f:1");
}

} // namespace
} // namespace orvex
