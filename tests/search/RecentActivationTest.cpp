#include "fixtures/IndexDatabaseFixture.h"
#include "fixtures/ResultNames.h"
#include "fixtures/UsageFixture.h"
#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/RecentActivationRecord.h"
#include "search/SearchRankingSettings.h"
#include "sources/NotionSearch.h"
#include "support/TestEnvironment.h"

#include <QDir>

#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::appRow;
using test::bookmarkRow;
using test::filenames;
using test::folderRow;
using test::settingsActionRow;
using test::shortcutFileRow;

const QString kRecentKey = QStringLiteral("launcherPathOpenCounts.recentActivations");

SearchResults recentRows(DatabaseManager &manager, const QString &query = QString()) {
    return manager.searchRecentActivationResults(query, SearchRankingPreferences(ExtensionBoostRules{}));
}

TEST(RecentActivation, EachKindOfRowIsCountedAndRememberedAsDesigned) {
    struct Case {
        const char *name;
        SearchResult row;
        QMap<QString, qint64> counts;
        bool remembered;
    } cases[] = {
        {"app",
         appRow(QStringLiteral("Safari.app")),
         {{QStringLiteral("/applications/safari.app"), 1}},
         true},
        {"folder",
         folderRow(QStringLiteral("/home/u/Projects")),
         {{QStringLiteral("/home/u/projects"), 1}},
         true},
        {"shortcut file counted under its address",
         shortcutFileRow(QStringLiteral("/home/u/Docs/Plan.gdoc.url"),
                         QStringLiteral("https://Docs.example.com/d/1")),
         {{QStringLiteral("https://docs.example.com/d/1"), 1}},
         true},
        {"bookmark",
         bookmarkRow(QStringLiteral("Example"), QStringLiteral("https://Example.com/")),
         {{QStringLiteral("https://example.com/"), 1}},
         true},
        {"action without an address",
         settingsActionRow(),
         {{QStringLiteral("action://opensettings"), 1}},
         false},
        {"calculator answer",
         SearchResult({.id = -5,
                       .filename = QStringLiteral("4"),
                       .kind = SearchResultKind::action,
                       .action = SearchResultAction::copyToClipboard,
                       .actionURLString = QStringLiteral("4")}),
         {{QStringLiteral("4"), 1}},
         false},
        {"plain index file: only the index counts",
         SearchResult({.id = 5, .filename = QStringLiteral("a.pdf"), .directory = QStringLiteral("/d")}),
         {},
         false},
        {"index shortcut file: also counted under its address",
         SearchResult({.id = 6,
                       .filename = QStringLiteral("b.url"),
                       .directory = QStringLiteral("/d"),
                       .usageKey = QStringLiteral("https://b.example/")}),
         {{QStringLiteral("https://b.example/"), 1}},
         true},
        {"index row whose usage key is its path",
         SearchResult({.id = 7,
                       .filename = QStringLiteral("c.url"),
                       .directory = QStringLiteral("/d"),
                       .usageKey = QStringLiteral("/d/c.url")}),
         {},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::ManagerFixture fixture;
        auto manager = fixture.makeManager();
        manager->recordActivation(c.row);
        EXPECT_EQ(test::storedOpenCounts(fixture), c.counts);
        const SearchResults recent = recentRows(*manager);
        ASSERT_EQ(recent.size(), c.remembered ? 1 : 0);
        EXPECT_EQ(test::storedRecentActivations(fixture).size(), c.remembered ? 1 : 0);
        if (c.remembered) {
            EXPECT_TRUE(recent[0].isRecentActivation());
            EXPECT_EQ(recent[0].fullPath(), c.row.fullPath());
            EXPECT_EQ(recent[0].openCount(), 1);
        }
    }
}

TEST(RecentActivation, IndexRowsRaiseTheIndexCount) {
    test::IndexDatabaseFixture fixture;
    fixture.createIndex(
        {{.id = 5, .filename = QStringLiteral("a.pdf"), .directory = QStringLiteral("/d"), .openCount = 2},
         {.id = 6, .filename = QStringLiteral("b.url"), .directory = QStringLiteral("/d")}});
    auto manager = fixture.makeManager();
    manager->recordActivation(SearchResult(
        {.id = 5, .filename = QStringLiteral("a.pdf"), .directory = QStringLiteral("/d"), .openCount = 2}));
    manager->recordActivation(SearchResult({.id = 6,
                                            .filename = QStringLiteral("b.url"),
                                            .directory = QStringLiteral("/d"),
                                            .usageKey = QStringLiteral("https://b.example/")}));
    EXPECT_EQ(test::indexOpenCount(5), 3);
    EXPECT_EQ(test::indexOpenCount(6), 1);
    EXPECT_EQ(test::storedOpenCounts(fixture),
              (QMap<QString, qint64>{{QStringLiteral("https://b.example/"), 1}}));
    EXPECT_EQ(filenames(recentRows(*manager)), QStringList{QStringLiteral("b.url")});
}

TEST(RecentActivation, ADeletedFolderIsOfferedOnlyUntilTheFirstFolderCrawl) {
    test::ManagerFixture fixture;
    const QString folder = test::homePath() + QStringLiteral("/Projects/Alpha");
    test::makeDirectory(folder);
    auto configuration = fixture.configuration();
    configuration.folderSearchRoots = {test::homePath() + QStringLiteral("/Projects")};
    auto manager = fixture.makeManager(configuration);
    manager->recordActivation(folderRow(folder));

    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(recentRows(*manager, QStringLiteral("alpha")).size(), 1);
    manager->warmupFileSystemPermissions();
    EXPECT_TRUE(recentRows(*manager, QStringLiteral("alpha")).isEmpty());
}

TEST(RecentActivation, StoresTheDocumentedJsonForm) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    manager->recordActivation(bookmarkRow(QStringLiteral("Example"), QStringLiteral("https://example.com/"))
                                  .withRelevanceScore(700));
    const QJsonArray stored = test::storedRecentActivations(fixture);
    ASSERT_EQ(stored.size(), 1);
    const QJsonObject record = stored[0].toObject();
    QStringList keys = record.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"action", "actionURLString", "activatedAt", "directory", "filename", "id",
                                 "isDirectPathMatch", "kind", "openCount"}));
    EXPECT_EQ(record.value(QLatin1String("kind")).toString(), QStringLiteral("action"));
    EXPECT_EQ(record.value(QLatin1String("action")).toString(), QStringLiteral("openBrowserFavorite"));
    EXPECT_EQ(record.value(QLatin1String("openCount")).toInteger(), 1);
    EXPECT_DOUBLE_EQ(record.value(QLatin1String("activatedAt")).toDouble(),
                     fixture.clock->now().secondsSince2001());

    // Another process over the same defaults offers it again.
    manager.reset();
    manager = fixture.makeManager();
    EXPECT_EQ(filenames(recentRows(*manager)), QStringList{QStringLiteral("Example")});
}

TEST(RecentActivation, KeepsTheEightyNewestOnePerUsageIdentifier) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    for (int i = 0; i < 81; ++i) {
        manager->recordActivation(appRow(QStringLiteral("App%1.app").arg(i)));
        fixture.clock->advance(1);
    }
    SearchResults recent = recentRows(*manager);
    ASSERT_EQ(recent.size(), 80);
    EXPECT_EQ(recent.first().filename(), QStringLiteral("App80.app"));
    EXPECT_EQ(recent.last().filename(), QStringLiteral("App1.app"));

    // Activating a remembered app again moves it to the head with the new time and count; the usage
    // identifier ignores case.
    manager->recordActivation(appRow(QStringLiteral("APP5.APP"), 3));
    recent = recentRows(*manager);
    ASSERT_EQ(recent.size(), 80);
    EXPECT_EQ(recent.first().filename(), QStringLiteral("APP5.APP"));
    EXPECT_EQ(filenames(recent).filter(QStringLiteral("app5.app"), Qt::CaseInsensitive).size(), 1);
    const QJsonObject head = test::storedRecentActivations(fixture)[0].toObject();
    EXPECT_EQ(head.value(QLatin1String("openCount")).toInteger(), 4);
    EXPECT_DOUBLE_EQ(head.value(QLatin1String("activatedAt")).toDouble(),
                     fixture.clock->now().secondsSince2001());
    EXPECT_EQ(test::storedOpenCounts(fixture).value(QStringLiteral("/applications/app5.app")), 2);
}

TEST(RecentActivation, AnOldFormNotionRecordIsReplacedByTheSamePage) {
    test::ManagerFixture fixture;
    const QString page = QStringLiteral("0123456789abcdef0123456789abcdef");
    const SearchResult oldForm(
        {.id = -1,
         .filename = QStringLiteral("Roadmap"),
         .kind = SearchResultKind::action,
         .action = SearchResultAction::openNotionPage,
         .actionURLString = QStringLiteral("https://team.notion.site/Roadmap-") + page});
    const QJsonObject stored = RecentActivationRecord::fromResult(oldForm, Date(1))->toJson();
    fixture.defaults->set(kRecentKey, PlistValue(QJsonDocument(QJsonArray{stored}).toJson()));
    auto manager = fixture.makeManager();

    const SearchResults before = recentRows(*manager);
    ASSERT_EQ(before.size(), 1);
    EXPECT_EQ(before[0].usageKey(), QStringLiteral("notion://page/") + page); // offered in canonical form

    manager->recordActivation(normalizedNotionSearchResult(oldForm));
    EXPECT_EQ(recentRows(*manager).size(), 1);
    EXPECT_EQ(test::storedRecentActivations(fixture).size(), 1);
}

TEST(RecentActivation, MatchesTheQueryAgainstNamesPathsSnippetsAndAddresses) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    manager->recordActivation(appRow(QStringLiteral("Safari.app")));
    manager->recordActivation(
        bookmarkRow(QStringLiteral("Team wiki"), QStringLiteral("https://wiki.example.com/x")));
    manager->recordActivation(shortcutFileRow(QStringLiteral("/home/u/Drive/Budget.gsheet.url"),
                                              QStringLiteral("https://docs.example.com/s/9")));

    struct Case {
        const char *query;
        QStringList expected; // newest first
    } cases[] = {
        {"", {"Budget.gsheet.url", "Team wiki", "Safari.app"}},
        {"SAFARI", {"Safari.app"}},
        {"applications", {"Safari.app"}},
        {"wiki.example", {"Team wiki"}},
        {"drive/budget", {"Budget.gsheet.url"}},
        {"nothing like it", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(filenames(recentRows(*manager, QString::fromUtf8(c.query))), c.expected) << c.query;
}

// A folder opened by typing its path is remembered with the direct-path flag; offered again for a later
// query it stands for no typed path, so it must not take the typed path's fixed score.
TEST(RecentActivation, ARecentRowIsNeverADirectPathMatch) {
    test::ManagerFixture fixture;
    const QString folder = test::homePath() + QStringLiteral("/Projects/Alpha");
    test::makeDirectory(folder);
    test::makeDirectory(test::homePath() + QStringLiteral("/Projects/alphabet soup"));
    auto configuration = fixture.configuration();
    configuration.folderSearchRoots = {test::homePath() + QStringLiteral("/Projects")};
    auto manager = fixture.makeManager(configuration);
    manager->warmupFileSystemPermissions();

    const SearchResults typed = manager->search(QStringLiteral("~/Projects/Alpha"), false);
    ASSERT_FALSE(typed.isEmpty());
    ASSERT_TRUE(typed[0].isDirectPathMatch());
    EXPECT_EQ(typed[0].relevanceScore(), 5000);
    manager->recordActivation(typed[0]);
    EXPECT_TRUE(test::storedRecentActivations(fixture)
                    .at(0)
                    .toObject()
                    .value(QStringLiteral("isDirectPathMatch"))
                    .toBool())
        << "the stored record keeps what was activated";

    for (const char *query : {"alpha", "projects", "Pro"}) {
        const SearchResults rows = manager->search(QString::fromUtf8(query), false);
        const auto recent = std::find_if(rows.begin(), rows.end(),
                                         [](const SearchResult &r) { return r.isRecentActivation(); });
        ASSERT_NE(recent, rows.end()) << query;
        EXPECT_EQ(recent->fullPath(), folder) << query;
        EXPECT_FALSE(recent->isDirectPathMatch()) << query;
        EXPECT_LT(recent->relevanceScore().value_or(0), 5000) << query;
    }
    EXPECT_FALSE(recentRows(*manager, QStringLiteral("alpha")).at(0).isDirectPathMatch());
    // Typing the path again still gives the direct-path row first.
    const SearchResults again = manager->search(QStringLiteral("~/Projects/Alpha"), false);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_TRUE(again[0].isDirectPathMatch());
}

TEST(RecentActivation, RowsTakeTheLargerLearnedCount) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    manager->recordActivation(appRow(QStringLiteral("Safari.app")));
    manager.reset();
    fixture.defaults->set(
        QStringLiteral("launcherPathOpenCounts"),
        PlistValue(PlistValue::Dictionary{{QStringLiteral("/applications/safari.app"), 9}}));
    manager = fixture.makeManager();
    const SearchResults recent = recentRows(*manager);
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent[0].openCount(), 9);
}

TEST(RecentActivation, AnUnreadableStoredListReadsAsEmpty) {
    QJsonObject valid =
        RecentActivationRecord::fromResult(appRow(QStringLiteral("A.app")), Date(1))->toJson();
    QJsonObject withoutKind = valid;
    withoutKind.remove(QStringLiteral("kind"));
    QJsonObject textDate = valid;
    textDate.insert(QStringLiteral("activatedAt"), QStringLiteral("today"));
    const QByteArray payloads[] = {
        QJsonDocument(QJsonArray{valid, withoutKind}).toJson(),
        QJsonDocument(QJsonArray{textDate}).toJson(),
        QJsonDocument(QJsonObject{{QStringLiteral("a"), valid}}).toJson(),
        "garbage",
    };
    for (const QByteArray &payload : payloads) {
        SCOPED_TRACE(payload.toStdString());
        test::ManagerFixture fixture;
        fixture.defaults->set(kRecentKey, PlistValue(payload));
        auto manager = fixture.makeManager();
        EXPECT_TRUE(recentRows(*manager).isEmpty());
        // The next activation replaces the stored list.
        manager->recordActivation(appRow(QStringLiteral("B.app")));
        EXPECT_EQ(test::storedRecentActivations(fixture).size(), 1);
    }
}

TEST(RecentActivation, KeepsRecordsOfUnknownKindsWithoutOfferingThem) {
    test::ManagerFixture fixture;
    QJsonObject future =
        RecentActivationRecord::fromResult(appRow(QStringLiteral("A.app")), Date(1))->toJson();
    future.insert(QStringLiteral("kind"), QStringLiteral("widget"));
    fixture.defaults->set(kRecentKey, PlistValue(QJsonDocument(QJsonArray{future}).toJson()));
    auto manager = fixture.makeManager();
    EXPECT_TRUE(recentRows(*manager).isEmpty());
    manager->recordActivation(appRow(QStringLiteral("A.app")));
    const QJsonArray stored = test::storedRecentActivations(fixture);
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[1].toObject().value(QLatin1String("kind")).toString(), QStringLiteral("widget"));
}

TEST(RecentActivation, NothingIsRememberedUnderUnitTestsButCountsStillRise) {
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.runningUnitTests = true;
    auto manager = fixture.makeManager(configuration);
    manager->recordActivation(appRow(QStringLiteral("Safari.app")));
    EXPECT_TRUE(recentRows(*manager).isEmpty());
    EXPECT_FALSE(fixture.defaults->dataValue(kRecentKey));
    EXPECT_EQ(test::storedOpenCounts(fixture).value(QStringLiteral("/applications/safari.app")), 1);
}

TEST(RecentActivation, EveryWriterInvalidatesBothQueryCaches) {
    // The app writes the recent list and a count; the settings row writes only a count.
    const SearchResult rows[] = {appRow(QStringLiteral("Safari.app")), settingsActionRow()};
    for (const SearchResult &row : rows) {
        SCOPED_TRACE(row.filename().toStdString());
        test::ManagerFixture fixture;
        auto manager = fixture.makeManager();
        auto panelStore = PersistentQueryResultCacheStoreRegistry::store(
            QStringLiteral("launcherPathOpenCounts.queryResults"), *fixture.defaults);
        manager->storeQueryResultsInCache({appRow(QStringLiteral("Old.app"))}, QStringLiteral("o|K"));
        ASSERT_TRUE(manager->cachedQueryResults(QStringLiteral("o|K"), true));

        fixture.clock->advance(1);
        manager->recordActivation(row);
        EXPECT_EQ(panelStore->actorInvalidatedAt(), fixture.clock->now());
        EXPECT_FALSE(manager->cachedQueryResults(QStringLiteral("o|K"), true));
        EXPECT_FALSE(manager->persistentCachedQueryResults(QStringLiteral("o|K")));
        EXPECT_TRUE(panelStore->cachedSearchResults(QStringLiteral("o|K"), fixture.clock->now(), false));
    }
}

} // namespace
} // namespace orvex
