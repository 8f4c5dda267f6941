#include "fixtures/DiscoveryFixture.h"
#include "fixtures/ManagerFixture.h"
#include "search/AppsSource.h"
#include "search/Database.h"
#include "search/FoldersSource.h"
#include "search/ShortcutFilesSource.h"
#include "support/RestrictedFolder.h"
#include "support/TestEnvironment.h"

#include "platform/NotificationCenter.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace orvex {
namespace {

const QSet<QString> excludedNames = {
    QStringLiteral("library"), QStringLiteral(".git"),         QStringLiteral(".svn"),
    QStringLiteral(".hg"),     QStringLiteral("node_modules"), QStringLiteral(".next"),
    QStringLiteral(".turbo"),  QStringLiteral(".cache"),       QStringLiteral(".pnpm-store"),
    QStringLiteral("dist"),    QStringLiteral("build"),        QStringLiteral("target"),
    QStringLiteral("coverage")};

const QSet<QString> shortcutExtensions = {QStringLiteral("url"), QStringLiteral("webloc"),
                                          QStringLiteral("gdoc")};

class DiscoveryTest : public ::testing::Test {
protected:
    QString at(const QString &relative) const { return root + QLatin1Char('/') + relative; }
    void file(const QString &relative, const QByteArray &bytes = "x") {
        test::writeFile(at(relative), bytes);
    }
    void folder(const QString &relative) { test::makeDirectory(at(relative)); }
    // The rows' paths relative to the tree, blank-separated, in row order.
    std::string paths(const SearchResults &results) const {
        QStringList parts;
        for (const SearchResult &r : results)
            parts.append(r.fullPath().startsWith(root + QLatin1Char('/')) ? r.fullPath().mid(root.size() + 1)
                                                                          : r.fullPath());
        return parts.join(QLatin1Char(' ')).toStdString();
    }

    QTemporaryDir dir{test::homePath() + QStringLiteral("/tree-XXXXXX")};
    QString root = dir.path();
};

TEST_F(DiscoveryTest, FoldersStopAtDepthFiveAndSkipHiddenExcludedAndBundles) {
    folder(QStringLiteral("h/1/2/3/4/5/6"));
    folder(QStringLiteral("Library/Inside"));
    folder(QStringLiteral("p/NODE_MODULES/pkg"));
    folder(QStringLiteral("p/Build/out"));
    folder(QStringLiteral("p/dist"));
    folder(QStringLiteral(".hidden/visible"));
    folder(QStringLiteral("Tool.app/Contents"));
    file(QStringLiteral("p/notes.txt"));
    ASSERT_TRUE(test::makeSymbolicLink(at(QStringLiteral("p")), at(QStringLiteral("link-to-p"))));

    const SearchResults rows = discoverFolders({root}, 5, excludedNames);
    // "h" is depth 1, so "h/1/2/3/4" is depth 5 and its child is left out. A link to a folder is a
    // folder row but is not walked through.
    EXPECT_EQ(paths(rows), "h h/1 h/1/2 h/1/2/3 h/1/2/3/4 link-to-p p");

    const SearchResult &first = rows.first();
    EXPECT_EQ(first.id(), stableNegativeID(QStringLiteral("folder:") + at(QStringLiteral("h"))));
    EXPECT_EQ(first.filename(), QStringLiteral("h"));
    EXPECT_EQ(first.directory(), root);
    EXPECT_EQ(first.kind(), SearchResultKind::folder);
    EXPECT_EQ(first.openCount(), 0);
    EXPECT_FALSE(first.databaseID() || first.snippet() || first.usageKey() || first.action() ||
                 first.relevanceScore() || first.isDirectPathMatch() || first.isRecentActivation());
}

TEST_F(DiscoveryTest, AppsAreFoundAtAnyDepthOnceAcrossRoots) {
    file(QStringLiteral("apps/Mail.app/Contents/Info.plist"));
    file(QStringLiteral("apps/Mail.app/Contents/Helpers/Inner.app/x")); // never visited
    folder(QStringLiteral("apps/Utilities/Deep/Terminal.APP"));
    folder(QStringLiteral("apps/.hidden/Secret.app"));
    folder(QStringLiteral("apps/.Shy.app"));
    file(QStringLiteral("apps/readme.txt"));
    folder(QStringLiteral("APPS/Mail.app")); // same path but for letter case
    folder(QStringLiteral("APPS/Other.app"));
    file(QStringLiteral("a-file"));

    const SearchResults rows = discoverAppBundles({at(QStringLiteral("missing")),
                                                   at(QStringLiteral("a-file")), at(QStringLiteral("apps")),
                                                   at(QStringLiteral("APPS")), at(QStringLiteral("apps"))});
    EXPECT_EQ(paths(rows), "apps/.Shy.app apps/Mail.app apps/Utilities/Deep/Terminal.APP APPS/Other.app");

    const SearchResult &mail = rows.at(1);
    EXPECT_EQ(mail.id(), stableNegativeID(at(QStringLiteral("apps/Mail.app"))));
    EXPECT_EQ(mail.filename(), QStringLiteral("Mail.app"));
    EXPECT_EQ(mail.directory(), at(QStringLiteral("apps")));
    EXPECT_EQ(mail.kind(), SearchResultKind::app);
    EXPECT_FALSE(mail.databaseID() || mail.usageKey());
}

TEST_F(DiscoveryTest, ShortcutsStopAtDepthSixAndReadTheirAddresses) {
    file(QStringLiteral("1/2/3/4/5/six.url"), "URL=https://six.example/");
    file(QStringLiteral("1/2/3/4/5/6/seven.url"), "URL=https://seven.example/");
    file(QStringLiteral("Doc.GDOC"), "{}\nurl=https://docs.example/d/1\n");
    file(QStringLiteral("plain.txt"));
    file(QStringLiteral(".hidden.url"));
    file(QStringLiteral(".hidden/inside.url"));
    file(QStringLiteral("Node_Modules/pkg/inside.url"));
    file(QStringLiteral("Bundle.app/inside.url"));
    file(QStringLiteral("bad.webloc"), "not a property list");
    ASSERT_TRUE(test::makeSymbolicLink(at(QStringLiteral("nowhere")), at(QStringLiteral("dead.url"))));
    ASSERT_TRUE(test::makeSymbolicLink(at(QStringLiteral("Doc.GDOC")), at(QStringLiteral("link.url"))));

    const SearchResults rows = discoverShortcuts({root, root}, 6, excludedNames, shortcutExtensions);
    EXPECT_EQ(paths(rows), "1/2/3/4/5/six.url Doc.GDOC bad.webloc link.url");

    const SearchResult &six = rows.at(0);
    EXPECT_EQ(six.id(),
              stableNegativeID(QStringLiteral("shortcut:") + at(QStringLiteral("1/2/3/4/5/six.url"))));
    EXPECT_EQ(six.filename(), QStringLiteral("six.url"));
    EXPECT_EQ(six.directory(), at(QStringLiteral("1/2/3/4/5")));
    EXPECT_EQ(six.kind(), SearchResultKind::file);
    EXPECT_EQ(six.usageKey(), QStringLiteral("https://six.example/"));
    EXPECT_EQ(rows.at(1).usageKey(), QStringLiteral("https://docs.example/d/1"));
    // An unreadable target keeps its row, without a key.
    EXPECT_FALSE(rows.at(2).usageKey());
    EXPECT_EQ(rows.at(3).usageKey(), QStringLiteral("https://docs.example/d/1"));
}

TEST_F(DiscoveryTest, UnreadableFolderIsSkippedByEveryWalk) {
    folder(QStringLiteral("closed/Inner.app"));
    file(QStringLiteral("closed/inner.url"));
    folder(QStringLiteral("open/Tool.app"));
    const test::RestrictedFolder closed(at(QStringLiteral("closed")), 0);
    if (closed.canList())
        GTEST_SKIP() << "cannot make a folder unreadable here";
    EXPECT_EQ(paths(discoverAppBundles({root})), "open/Tool.app");
    EXPECT_EQ(paths(discoverFolders({root}, 5, excludedNames)), "closed open");
    EXPECT_EQ(paths(discoverShortcuts({root}, 6, excludedNames, shortcutExtensions)), "");
}

TEST_F(DiscoveryTest, SymbolicLinkLoopsEnd) {
    folder(QStringLiteral("a/b"));
    ASSERT_TRUE(test::makeSymbolicLink(root, at(QStringLiteral("a/b/loop"))));
    ASSERT_TRUE(test::makeSymbolicLink(QStringLiteral("self.url"), at(QStringLiteral("self.url"))));
    EXPECT_EQ(paths(discoverFolders({root}, 5, excludedNames)), "a a/b a/b/loop");
    EXPECT_EQ(paths(discoverShortcuts({root}, 6, excludedNames, shortcutExtensions)), "");
    EXPECT_EQ(paths(discoverAppBundles({root})), "");
}

TEST_F(DiscoveryTest, CancelledWalkStopsEarly) {
    folder(QStringLiteral("a/b.app"));
    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(discoverAppBundles({root}, &cancelled).isEmpty());
    EXPECT_TRUE(discoverFolders({root}, 5, excludedNames, &cancelled).isEmpty());
}

TEST_F(DiscoveryTest, UsageKeysOfTextShortcutFiles) {
    const struct {
        const char *name;
        QByteArray bytes;
        std::optional<QString> expected;
    } cases[] = {
        {"a.url", "[InternetShortcut]\r\nURL=https://a.example/X?y=1\r\n",
         QStringLiteral("https://a.example/X?y=1")},
        {"b.URL", "  url=https://b.example/  \nURL=https://second.example/",
         QStringLiteral("https://b.example/")},
        {"c.gsheet",
         "\xef\xbb\xbf"
         "Url=  kept inner blanks",
         QStringLiteral("  kept inner blanks")},
        {"d.gslides",
         "first\xe2\x80\xa8"
         "URL=after a line separator",
         QStringLiteral("after a line separator")},
        {"e.url", "URL=", QString()},
        {"f.url", "[InternetShortcut]\nIconFile=x\n", std::nullopt},
        {"g.url", "URL=https://x/\xff\xfe", std::nullopt}, // not UTF-8
        {"h.txt", "URL=https://x/", std::nullopt},         // not a shortcut extension
        {"i.url", "", std::nullopt},
    };
    for (const auto &c : cases) {
        const QString path = at(QString::fromLatin1(c.name));
        test::writeFile(path, c.bytes);
        EXPECT_EQ(shortcutUsageKey(path), c.expected) << c.name;
    }
    EXPECT_FALSE(shortcutUsageKey(at(QStringLiteral("missing.url"))));
}

TEST_F(DiscoveryTest, UsageKeysOfWeblocFiles) {
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                           "<plist version=\"1.0\">\n<dict>\n\t<key>URL</key>\n"
                           "\t<string>https://example.com/xml</string>\n</dict>\n</plist>\n";
    // {"URL": "https://example.com/b?x=1"} in the binary form.
    const QByteArray binary = QByteArray::fromHex(
        "62706c6973743030d101025355524c5f101968747470733a2f2f6578616d706c652e636f6d2f623f783d31080b0f00000000"
        "000001010000000000000003000000000000000000000000000000"
        "2b");
    const QByteArray noURL = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Other</key>"
                             "<string>https://example.com/</string></dict></plist>";
    const QByteArray notAString = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>URL</key>"
                                  "<integer>7</integer></dict></plist>";
    const QByteArray array = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>URL</string>"
                             "</array></plist>";
    const struct {
        const char *name;
        QByteArray bytes;
        std::optional<QString> expected;
    } cases[] = {
        {"xml.webloc", xml, QStringLiteral("https://example.com/xml")},
        {"binary.WEBLOC", binary, QStringLiteral("https://example.com/b?x=1")},
        {"no-url.webloc", noURL, std::nullopt},
        {"not-a-string.webloc", notAString, std::nullopt},
        {"array.webloc", array, std::nullopt},
        {"garbage.webloc", "URL=https://x/", std::nullopt},
    };
    for (const auto &c : cases) {
        const QString path = at(QString::fromLatin1(c.name));
        test::writeFile(path, c.bytes);
        EXPECT_EQ(shortcutUsageKey(path), c.expected) << c.name;
    }
}

// Reading a shortcut must never block on a FIFO or read a device without end.
TEST_F(DiscoveryTest, SpecialFilesGiveNoUsageKeyAndDoNotBlock) {
    ASSERT_TRUE(test::makeFifo(at(QStringLiteral("pipe.url"))));
    ASSERT_TRUE(test::makeFifo(at(QStringLiteral("pipe.webloc"))));
    ASSERT_TRUE(test::makeSymbolicLink(QStringLiteral("/dev/zero"), at(QStringLiteral("zero.url"))));
    ASSERT_TRUE(test::makeSymbolicLink(QStringLiteral("/dev/zero"), at(QStringLiteral("zero.webloc"))));
    folder(QStringLiteral("folder.url"));
    file(QStringLiteral("huge.url"), "URL=https://x/\n" + QByteArray(1024 * 1024, ' '));

    for (const char *name : {"pipe.url", "pipe.webloc", "zero.url", "zero.webloc", "folder.url", "huge.url"})
        EXPECT_FALSE(shortcutUsageKey(at(QString::fromLatin1(name)))) << name;

    // The walk keeps the rows (they are files with the right extension) without keys.
    const SearchResults rows = discoverShortcuts({root}, 6, excludedNames, shortcutExtensions);
    EXPECT_EQ(paths(rows), "huge.url pipe.url pipe.webloc zero.url zero.webloc");
    for (const SearchResult &row : rows)
        EXPECT_FALSE(row.usageKey()) << row.filename().toStdString();
}

TEST_F(DiscoveryTest, WarmupWalksAppsAndFoldersAndAnnouncesThem) {
    file(QStringLiteral("Applications/Editor.app/Contents/x"));
    folder(QStringLiteral("Applications/Utilities/Term.app"));
    folder(QStringLiteral("home/Documents/Projects"));
    folder(QStringLiteral("home/Library/Caches"));

    test::ManagerFixture fixture;
    auto c = fixture.configuration();
    c.appSearchRoots = {at(QStringLiteral("Applications"))};
    c.folderSearchRoots = {at(QStringLiteral("home"))};
    auto manager = fixture.makeManager(c);

    int refreshed = 0;
    auto &center = NotificationCenter::defaultCenter();
    const auto token = center.addObserver(QStringLiteral("LauncherSearchDataRefreshed"),
                                          [&](const Notification &) { ++refreshed; });
    EXPECT_TRUE(manager->search(QStringLiteral("editor")).isEmpty()); // and cached as such

    const auto counts = manager->warmupFileSystemPermissions();
    EXPECT_EQ(counts, (std::pair<qint64, qint64>(2, 2))); // two apps; Documents and Projects
    EXPECT_TRUE(test::waitUntil([&] { return refreshed == 1; }));
    center.removeObserver(token);

    // The caches are installed and the cached empty answer is gone.
    const SearchResults editor = manager->search(QStringLiteral("editor"));
    ASSERT_EQ(editor.size(), 1);
    EXPECT_EQ(editor.at(0).kind(), SearchResultKind::app);
    const SearchResults projects = manager->search(QStringLiteral("projects"));
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects.at(0).fullPath(), at(QStringLiteral("home/Documents/Projects")));
}

TEST_F(DiscoveryTest, WarmupAfterShutdownReturnsAtOnce) {
    folder(QStringLiteral("Applications/Editor.app"));
    test::ManagerFixture fixture;
    auto c = fixture.configuration();
    c.appSearchRoots = {at(QStringLiteral("Applications"))};
    c.folderSearchRoots = {root};
    auto manager = fixture.makeManager(c);
    manager->shutdown();
    EXPECT_EQ(manager->warmupFileSystemPermissions(), (std::pair<qint64, qint64>(0, 0)));
}

} // namespace
} // namespace orvex
