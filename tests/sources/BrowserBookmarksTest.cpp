#include "fixtures/BrowserFixtures.h"
#include "fixtures/ManagerFixture.h"
#include "fixtures/ResultNames.h"
#include "search/SearchContext.h"
#include "sources/BrowserBookmarksSource.h"
#include "sources/ChromiumBookmarks.h"
#include "sources/StandardSources.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::bookmarkNode;
using test::folderNode;
using test::writeBookmarksFile;

BrowserBookmarkShortcut bookmark(const QString &browser, const QString &title, const QString &url,
                                 const QString &host, const QString &folderPath) {
    return {.browserName = browser, .title = title, .urlString = url, .host = host, .folderPath = folderPath};
}

QJsonObject singleBookmarkRoots(const QString &name, const QString &url) {
    return {{QStringLiteral("bookmark_bar"), folderNode(QString(), {bookmarkNode(name, url)})}};
}

TEST(BrowserBookmarkFiles, AreFoundInProfilesToDepthFourOnce) {
    const QString root = test::homePath() + QStringLiteral("/edge-data");
    const QByteArray any = "{}";
    for (const char *relative : {
             "Default/Bookmarks",          // depth 2
             "Profile 1/Bookmarks",        // depth 2
             "Bookmarks",                  // depth 1
             "x/y/z/Bookmarks",            // depth 4
             "a/b/c/d/Bookmarks",          // depth 5: not examined
             "Default/Bookmarks.bak",      // other name
             "Default/bookmarks",          // the name is case-sensitive
             ".hidden/Bookmarks",          // hidden folders are skipped
             "Profile 2/.Bookmarks",       //
             "Folder/Bookmarks/inner.txt", // a folder named Bookmarks is no file
             "Profile 3/Bookmarks",        //
             "profile 3/Bookmarks",        // differs only in case from the one above: read once
         }) {
        test::writeFile(root + QLatin1Char('/') + QString::fromUtf8(relative), any);
    }

    EXPECT_EQ(ChromiumBookmarks::discoverFiles(root),
              QStringList({root + QStringLiteral("/Bookmarks"), root + QStringLiteral("/Default/Bookmarks"),
                           root + QStringLiteral("/Profile 1/Bookmarks"),
                           root + QStringLiteral("/Profile 3/Bookmarks"),
                           root + QStringLiteral("/x/y/z/Bookmarks")}));
    EXPECT_TRUE(ChromiumBookmarks::discoverFiles(root + QStringLiteral("/missing")).isEmpty());
    EXPECT_TRUE(ChromiumBookmarks::discoverFiles(root + QStringLiteral("/Bookmarks")).isEmpty());
}

TEST(BrowserBookmarkFiles, FolderPathsFollowRootsAndNestedFolders) {
    const QString file = test::homePath() + QStringLiteral("/Bookmarks");
    const QJsonObject roots{
        {QStringLiteral("bookmark_bar"),
         folderNode(
             QStringLiteral("Bookmarks bar"),
             {bookmarkNode(QStringLiteral("  On the bar "), QStringLiteral(" https://bar.example/ ")),
              folderNode(
                  QStringLiteral("Work"),
                  {bookmarkNode(QStringLiteral("Tracker"), QStringLiteral("https://track.example")),
                   folderNode(QStringLiteral("WORK"),
                              {bookmarkNode(QString(), QStringLiteral("https://Wiki.Example:8080/x"))}),
                   folderNode(
                       QStringLiteral("Deep"),
                       {folderNode(QString(), {bookmarkNode(QStringLiteral("Deepest"),
                                                            QStringLiteral("http://deep.example"))})})}),
              // One member is not a node: the whole folder is skipped, its siblings are not.
              folderNode(QStringLiteral("Broken"),
                         {bookmarkNode(QStringLiteral("Lost"), QStringLiteral("https://lost.example")),
                          QStringLiteral("not a node")}),
              folderNode(QStringLiteral("Empty"), {}),
              bookmarkNode(QStringLiteral("Script"), QStringLiteral("javascript:alert(1)")),
              bookmarkNode(QStringLiteral("Internal"), QStringLiteral("edge://settings")),
              QJsonObject{{QStringLiteral("type"), QStringLiteral("URL")},
                          {QStringLiteral("name"), QStringLiteral("Upper type")},
                          {QStringLiteral("url"), QStringLiteral("HTTPS://upper.example")}},
              QJsonObject{{QStringLiteral("type"), QStringLiteral("url")},
                          {QStringLiteral("name"), QStringLiteral("Numeric url")},
                          {QStringLiteral("url"), 42}}})},
        {QStringLiteral("other"),
         QJsonObject{{QStringLiteral("children"),
                      QJsonArray{bookmarkNode(QStringLiteral("Other one"),
                                              QStringLiteral("https://other.example"))}}}},
        {QStringLiteral("custom_root"),
         QJsonObject{
             {QStringLiteral("children"),
              QJsonArray{bookmarkNode(QStringLiteral("Loose"), QStringLiteral("https://loose.example")),
                         folderNode(QStringLiteral("Sub"),
                                    {bookmarkNode(QStringLiteral("In sub"),
                                                  QStringLiteral("https://sub.example"))})}}}},
        {QStringLiteral("synced"), QStringLiteral("not an object")},
    };
    writeBookmarksFile(file, roots);

    const QString edge = QStringLiteral("Edge");
    const QList<BrowserBookmarkShortcut> expected = {
        bookmark(edge, QStringLiteral("On the bar"), QStringLiteral("https://bar.example/"),
                 QStringLiteral("bar.example"), QStringLiteral("Bookmarks bar")),
        bookmark(edge, QStringLiteral("Tracker"), QStringLiteral("https://track.example"),
                 QStringLiteral("track.example"), QStringLiteral("Bookmarks bar / Work")),
        bookmark(edge, QStringLiteral("Wiki.Example"), QStringLiteral("https://Wiki.Example:8080/x"),
                 QStringLiteral("Wiki.Example"), QStringLiteral("Bookmarks bar / Work")),
        bookmark(edge, QStringLiteral("Deepest"), QStringLiteral("http://deep.example"),
                 QStringLiteral("deep.example"), QStringLiteral("Bookmarks bar / Work / Deep")),
        bookmark(edge, QStringLiteral("Upper type"), QStringLiteral("HTTPS://upper.example"),
                 QStringLiteral("upper.example"), QStringLiteral("Bookmarks bar")),
        bookmark(edge, QStringLiteral("Loose"), QStringLiteral("https://loose.example"),
                 QStringLiteral("loose.example"), QString()),
        bookmark(edge, QStringLiteral("In sub"), QStringLiteral("https://sub.example"),
                 QStringLiteral("sub.example"), QStringLiteral("Sub")),
        bookmark(edge, QStringLiteral("Other one"), QStringLiteral("https://other.example"),
                 QStringLiteral("other.example"), QStringLiteral("Other Bookmarks")),
    };
    EXPECT_EQ(ChromiumBookmarks::parseFile(file, edge), expected);
}

// A bookmark to the user's own file or to an ftp server is theirs to open; its place is the path or the
// host. Scripts, inline data, unknown schemes and files of other machines give no row.
TEST(BrowserBookmarkFiles, FileAndFtpBookmarksAreKeptWithTheirPlace) {
    const QString file = test::homePath() + QStringLiteral("/Bookmarks");
    QJsonArray nodes;
    for (const auto &[name, url] : std::initializer_list<std::pair<const char *, const char *>>{
             {"Notes", "file:///home/user/Documents/notes.txt"},
             {"", "FILE://localhost/home/user/My%20Plan.pdf"},
             {"Mirror", "ftp://files.example:2121/pub/"},
             {"Other machine", "file://server/share/x.txt"},
             {"No host", "ftp:///pub"},
             {"Relative", "file:notes.txt"},
             {"Script", "javascript:alert(1)"},
             {"Inline", "data:text/html,<b>x</b>"},
             {"Unknown", "x-unknown://thing"},
         })
        nodes.append(bookmarkNode(QString::fromUtf8(name), QString::fromUtf8(url)));
    writeBookmarksFile(file,
                       {{QStringLiteral("bookmark_bar"), QJsonObject{{QStringLiteral("children"), nodes}}}});

    const QString brave = QStringLiteral("Brave");
    const QString bar = QStringLiteral("Bookmarks Bar");
    const QList<BrowserBookmarkShortcut> expected = {
        bookmark(brave, QStringLiteral("Notes"), QStringLiteral("file:///home/user/Documents/notes.txt"),
                 QStringLiteral("/home/user/Documents/notes.txt"), bar),
        bookmark(brave, QStringLiteral("/home/user/My Plan.pdf"),
                 QStringLiteral("FILE://localhost/home/user/My%20Plan.pdf"),
                 QStringLiteral("/home/user/My Plan.pdf"), bar),
        bookmark(brave, QStringLiteral("Mirror"), QStringLiteral("ftp://files.example:2121/pub/"),
                 QStringLiteral("files.example"), bar),
    };
    EXPECT_EQ(ChromiumBookmarks::parseFile(file, brave), expected);
}

TEST(BrowserBookmarkFiles, UnreadableOrMalformedFilesGiveNothing) {
    const QString folder = test::homePath() + QStringLiteral("/bad");
    const std::pair<const char *, QByteArray> cases[] = {
        {"invalid JSON", "{\"roots\": "},
        {"top level is a list", "[]"},
        {"roots missing", "{\"version\": 1}"},
        {"roots not an object", "{\"roots\": []}"},
    };
    for (const auto &[name, bytes] : cases) {
        const QString path = folder + QLatin1Char('/') + QString::fromUtf8(name);
        test::writeFile(path, bytes);
        EXPECT_TRUE(ChromiumBookmarks::parseFile(path, QStringLiteral("Edge")).isEmpty()) << name;
    }
    EXPECT_TRUE(
        ChromiumBookmarks::parseFile(folder + QStringLiteral("/missing"), QStringLiteral("Edge")).isEmpty());
}

TEST(BrowserBookmarkFiles, RootLabelsPreferTheRootsOwnName) {
    const QJsonObject unnamed;
    EXPECT_EQ(ChromiumBookmarks::rootLabel(QStringLiteral("bookmark_bar"), unnamed),
              QStringLiteral("Bookmarks Bar"));
    EXPECT_EQ(ChromiumBookmarks::rootLabel(QStringLiteral("OTHER"), unnamed),
              QStringLiteral("Other Bookmarks"));
    EXPECT_EQ(ChromiumBookmarks::rootLabel(QStringLiteral("synced"), unnamed), QStringLiteral("Synced"));
    EXPECT_EQ(ChromiumBookmarks::rootLabel(QStringLiteral("workspace"), unnamed), QString());
    EXPECT_EQ(ChromiumBookmarks::rootLabel(QStringLiteral("workspace"),
                                           {{QStringLiteral("name"), QStringLiteral(" Shared ")}}),
              QStringLiteral("Shared"));
}

TEST(BrowserBookmarkSources, DefaultToTheLinuxUserDataFolders) {
    EXPECT_EQ(ChromiumBookmarks::defaultSources(QStringLiteral("/home/me")),
              QList<BrowserBookmarkSource>(
                  {{QStringLiteral("Edge"), QStringLiteral("/home/me/.config/microsoft-edge")},
                   {QStringLiteral("Brave"), QStringLiteral("/home/me/.config/BraveSoftware/Brave-Browser")},
                   {QStringLiteral("Chrome"), QStringLiteral("/home/me/.config/google-chrome")},
                   {QStringLiteral("Chromium"), QStringLiteral("/home/me/.config/chromium")}}));

    EXPECT_EQ(StandardSourcesConfiguration::production(QStringLiteral("/home/me")).browserBookmarkSources,
              ChromiumBookmarks::defaultSources(QStringLiteral("/home/me")));
}

// A bookmark file whose "Deep" folder chain nests `levels` folders, each holding one bookmark named
// after its level ("Level 1" in the outermost), with a sibling bookmark before the chain and one in
// the other root after it. Written as text: the JSON writer recurses as deep as the file is.
QByteArray deeplyNestedBookmarks(int levels) {
    QByteArray text = R"({"version":1,"roots":{"bookmark_bar":{"type":"folder","name":"","children":[)"
                      R"({"type":"url","name":"Sibling","url":"https://sibling.example/"})";
    for (int level = 1; level <= levels; ++level)
        text += QStringLiteral(R"(,{"type":"folder","name":"Deep %1","children":[)"
                               R"({"type":"url","name":"Level %1","url":"https://level%1.example/",)"
                               R"("meta_info":{"last_visited":"1"}})")
                    .arg(level)
                    .toUtf8();
    for (int level = 1; level <= levels; ++level)
        text += "]}";
    text += R"(]},"other":{"children":[{"type":"url","name":"After","url":"https://after.example/"}]}}})";
    return text;
}

// A folder chain nested far beyond any real collection keeps what lies within the depth limit, its
// sibling bookmarks and the other roots; the crawl says once what it left out.
TEST(BrowserBookmarkFiles, FoldersNestedTooDeepAreCutOffAndTheRestIsKept) {
    const QString root = test::homePath() + QStringLiteral("/deep-profile");
    const QString file = root + QStringLiteral("/Default/Bookmarks");
    test::writeFile(file, deeplyNestedBookmarks(10000));

    const ChromiumBookmarks::FileContents contents =
        ChromiumBookmarks::readFile(file, QStringLiteral("Edge"));
    QStringList titles;
    for (const BrowserBookmarkShortcut &b : contents.bookmarks)
        titles.append(b.title);
    QStringList expected{QStringLiteral("Sibling")};
    for (int level = 1; level <= ChromiumBookmarks::maxFolderDepth; ++level)
        expected.append(QStringLiteral("Level %1").arg(level));
    expected.append(QStringLiteral("After"));
    EXPECT_EQ(titles, expected);
    EXPECT_EQ(contents.bookmarksBeyondDepthLimit, 10000 - ChromiumBookmarks::maxFolderDepth);
    ASSERT_GE(contents.bookmarks.size(), 2);
    const BrowserBookmarkShortcut &deepest = contents.bookmarks[contents.bookmarks.size() - 2];
    EXPECT_EQ(deepest.folderPath.count(QStringLiteral("Deep ")), ChromiumBookmarks::maxFolderDepth);

    // Within the limit nothing is cut, however the file nests its own members.
    const QString shallow = root + QStringLiteral("/Profile 1/Bookmarks");
    test::writeFile(shallow, deeplyNestedBookmarks(ChromiumBookmarks::maxFolderDepth));
    const ChromiumBookmarks::FileContents whole =
        ChromiumBookmarks::readFile(shallow, QStringLiteral("Edge"));
    EXPECT_EQ(whole.bookmarks.size(), ChromiumBookmarks::maxFolderDepth + 2);
    EXPECT_EQ(whole.bookmarksBeyondDepthLimit, 0);

    const BrowserBookmarksSource source({{QStringLiteral("Edge"), root}});
    const QString line = QStringLiteral("Bookmarks file %1: %2 bookmark(s) in folders nested more than %3 "
                                        "deep were left out\n")
                             .arg(file)
                             .arg(10000 - ChromiumBookmarks::maxFolderDepth)
                             .arg(ChromiumBookmarks::maxFolderDepth);
    testing::internal::CaptureStdout();
    EXPECT_EQ(source.discover().size(), 2 * (ChromiumBookmarks::maxFolderDepth + 2));
    source.discover();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), line.toStdString()) << "said once";

    // Once the file is whole the problem is gone; when it comes back it is said again.
    test::writeFile(file, deeplyNestedBookmarks(3));
    testing::internal::CaptureStdout();
    source.discover();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    test::writeFile(file, deeplyNestedBookmarks(10000));
    testing::internal::CaptureStdout();
    source.discover();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), line.toStdString());
}

// Only the bytes decide where a value ends: brackets inside names, escaped quotes and a file cut off
// inside the deep part leave the rest as it was.
TEST(BrowserBookmarkFiles, TheDepthCutReadsStringsWhole) {
    const QString file = test::homePath() + QStringLiteral("/strings/Bookmarks");
    QByteArray text = R"({"roots":{"bookmark_bar":{"children":[)"
                      R"({"type":"url","name":"Tricky [{ \"name","url":"https://tricky.example/"})";
    for (int level = 0; level < 600; ++level)
        text +=
            R"(,{"type":"folder","name":"]}\\\"{[","children":[{"type":"URL","url":"https://x.example/"})";
    for (int level = 0; level < 600; ++level)
        text += "]}";
    text += "]}}}";
    test::writeFile(file, text);
    const ChromiumBookmarks::FileContents contents =
        ChromiumBookmarks::readFile(file, QStringLiteral("Edge"));
    ASSERT_FALSE(contents.bookmarks.isEmpty());
    EXPECT_EQ(contents.bookmarks[0].title, QStringLiteral("Tricky [{ \"name"));
    EXPECT_EQ(contents.bookmarks.size(), 1 + ChromiumBookmarks::maxFolderDepth);
    EXPECT_EQ(contents.bookmarksBeyondDepthLimit, 600 - ChromiumBookmarks::maxFolderDepth);

    text.chop(300);
    test::writeFile(file, text);
    EXPECT_TRUE(ChromiumBookmarks::parseFile(file, QStringLiteral("Edge")).isEmpty());
}

struct BrowserBookmarks : testing::Test {
    test::ManagerFixture fixture;
};

// Debian's browser is Chromium: its profiles are read from its own folder, and its rows say whose they are.
TEST_F(BrowserBookmarks, ChromiumProfilesAreReadAsChromiumBookmarks) {
    const QString home = test::homePath();
    writeBookmarksFile(
        home + QStringLiteral("/.config/chromium/Default/Bookmarks"),
        singleBookmarkRoots(QStringLiteral("Debian wiki"), QStringLiteral("https://wiki.debian.org/")));
    writeBookmarksFile(home + QStringLiteral("/.config/chromium/Profile 1/Bookmarks"),
                       singleBookmarkRoots(QStringLiteral("Debian packages"),
                                           QStringLiteral("https://packages.debian.org/")));
    auto s = fixture.sourcesConfiguration();
    s.browserBookmarkSources = StandardSourcesConfiguration::production(home).browserBookmarkSources;
    auto m = fixture.makeManager(s);
    m->refreshSourceCachesNow();

    const SearchResults rows = m->matchSource(QStringLiteral("browserBookmarks"), QStringLiteral("debian"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(test::filenames(rows),
              QStringList({QStringLiteral("Debian packages \u2014 packages.debian.org"),
                           QStringLiteral("Debian wiki \u2014 wiki.debian.org")}));
    for (const SearchResult &row : rows)
        EXPECT_EQ(row.directory(), QStringLiteral("Chromium bookmark \u00B7 Bookmarks Bar"));
}

TEST_F(BrowserBookmarks, DiscoveryReadsEverySourceAndProfileInOrder) {
    const QString home = test::homePath();
    writeBookmarksFile(
        home + QStringLiteral("/edge/Default/Bookmarks"),
        singleBookmarkRoots(QStringLiteral("Edge default"), QStringLiteral("https://shared.example")));
    writeBookmarksFile(
        home + QStringLiteral("/edge/Profile 1/Bookmarks"),
        singleBookmarkRoots(QStringLiteral("Edge default"), QStringLiteral("https://shared.example")));
    writeBookmarksFile(
        home + QStringLiteral("/edge/a/b/c/d/Bookmarks"),
        singleBookmarkRoots(QStringLiteral("Too deep"), QStringLiteral("https://deep.example")));
    writeBookmarksFile(
        home + QStringLiteral("/chrome/Default/Bookmarks"),
        singleBookmarkRoots(QStringLiteral("Chrome one"), QStringLiteral("https://chrome.example")));
    auto s = fixture.sourcesConfiguration();
    s.browserBookmarkSources = {{QStringLiteral("Edge"), home + QStringLiteral("/edge")},
                                {QStringLiteral("Brave"), home + QStringLiteral("/no-brave")},
                                {QStringLiteral("Chrome"), home + QStringLiteral("/chrome")}};
    auto m = fixture.makeManager(s);

    const auto bookmarks = BrowserBookmarksSource(s.browserBookmarkSources).discover();
    ASSERT_EQ(bookmarks.size(), 3);
    EXPECT_EQ(bookmarks[0], bookmarks[1]);
    EXPECT_EQ(bookmarks[2].browserName, QStringLiteral("Chrome"));

    // The same bookmark in two profiles gives two rows with one id.
    const auto rows = BrowserBookmarksSource::rows(m->searchContext(QStringLiteral("shared")), bookmarks);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].id(), rows[1].id());
}

TEST_F(BrowserBookmarks, RowsCarryTheBookmarkAndItsFolder) {
    auto m = fixture.makeManager();
    const auto rows = BrowserBookmarksSource::rows(
        m->searchContext(QStringLiteral("tracker")),
        {bookmark(QStringLiteral("Brave"), QStringLiteral("Tracker"),
                  QStringLiteral("https://track.example/board"), QStringLiteral("track.example"),
                  QStringLiteral("Bookmarks Bar / Work"))});
    ASSERT_EQ(rows.size(), 1);
    const SearchResultFields &f = rows[0].fields();
    EXPECT_EQ(f.id, stableNegativeID(QStringLiteral(
                        "action://browser-bookmark/Brave/Bookmarks Bar / Work/https://track.example/board")));
    EXPECT_EQ(f.filename, QStringLiteral("Tracker \u2014 track.example"));
    EXPECT_EQ(f.directory, QStringLiteral("Brave bookmark \u00b7 Bookmarks Bar / Work"));
    EXPECT_EQ(f.openCount, 0);
    EXPECT_EQ(f.snippet, QStringLiteral("https://track.example/board"));
    EXPECT_EQ(f.databaseID, std::nullopt);
    EXPECT_EQ(f.kind, SearchResultKind::action);
    EXPECT_EQ(f.action, SearchResultAction::openBrowserFavorite);
    EXPECT_EQ(f.actionURLString, QStringLiteral("https://track.example/board"));
    EXPECT_EQ(f.fallbackActionURLString, std::nullopt);
    EXPECT_EQ(f.usageKey, std::nullopt);
    EXPECT_EQ(f.relevanceScore, std::nullopt);

    const auto loose = BrowserBookmarksSource::rows(
        m->searchContext(QStringLiteral("loose")),
        {bookmark(QStringLiteral("Chrome"), QStringLiteral("loose.example"),
                  QStringLiteral("https://loose.example"), QStringLiteral("loose.example"), QString())});
    ASSERT_EQ(loose.size(), 1);
    EXPECT_EQ(loose[0].directory(), QStringLiteral("Chrome bookmark"));
    EXPECT_EQ(loose[0].filename(), QStringLiteral("loose.example \u2014 loose.example"));
}

TEST_F(BrowserBookmarks, RowsRankByTierIncludingTheFolderPathAndStopAtFifty) {
    auto m = fixture.makeManager();
    const QString chrome = QStringLiteral("Chrome");
    const QList<BrowserBookmarkShortcut> bookmarks = {
        bookmark(chrome, QStringLiteral("Address only"), QStringLiteral("https://x.test/recipes"),
                 QStringLiteral("x.test"), QStringLiteral("Misc")),
        bookmark(chrome, QStringLiteral("Soup"), QStringLiteral("https://y.test"), QStringLiteral("y.test"),
                 QStringLiteral("Bar / Recipes")),
        bookmark(chrome, QStringLiteral("Recipes"), QStringLiteral("https://z.test"),
                 QStringLiteral("z.test"), QString()),
        bookmark(chrome, QStringLiteral("Recipes of the week"), QStringLiteral("https://w.test"),
                 QStringLiteral("w.test"), QString()),
        bookmark(chrome, QStringLiteral("Unrelated"), QStringLiteral("https://u.test"),
                 QStringLiteral("u.test"), QString()),
    };
    const auto rows = BrowserBookmarksSource::rows(m->searchContext(QStringLiteral("recipes")), bookmarks);
    EXPECT_EQ(test::filenames(rows),
              QStringList({QStringLiteral("Recipes \u2014 z.test"),             // tier 4
                           QStringLiteral("Recipes of the week \u2014 w.test"), // tier 3
                           QStringLiteral("Soup \u2014 y.test"),                // tier 2: folder path
                           QStringLiteral("Address only \u2014 x.test")}));     // tier 1

    QList<BrowserBookmarkShortcut> many;
    for (int i = 0; i < 70; ++i)
        many.append(bookmark(chrome, QStringLiteral("Item %1").arg(i),
                             QStringLiteral("https://i.test/%1").arg(i), QStringLiteral("i.test"),
                             QString()));
    EXPECT_EQ(BrowserBookmarksSource::rows(m->searchContext(QStringLiteral("item")), many).size(), 50);
}

} // namespace
} // namespace orvex
