#include "fixtures/ResultNames.h"
#include "fixtures/SearchPipelineFixture.h"
#include "fixtures/TranslationFakeEngines.h"
#include "search/Ranking.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

#include <limits>

namespace orvex {
namespace {

class SearchPipelineTest : public test::SearchPipelineFixture {
protected:
    SearchPipelineTest() { test::makeDirectory(home + QStringLiteral("/Documents")); }
};

using test::filenames;

TEST_F(SearchPipelineTest, BlankQueryAnswersNothing) {
    EXPECT_TRUE(manager().search(QStringLiteral("   \t ")).isEmpty());
    EXPECT_TRUE(manager().search(QString()).isEmpty());
}

TEST_F(SearchPipelineTest, TrimmingAndCaseShareOneCacheEntryForFiveSeconds) {
    // Paths are case-sensitive here, so only a cache hit can answer "~/documents" with the row that
    // "~/DOCUMENTS" found.
    test::makeDirectory(home + QStringLiteral("/DOCUMENTS"));
    const auto first = manager().search(QStringLiteral("  ~/DOCUMENTS \t"));
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].filename(), QStringLiteral("DOCUMENTS"));

    fixture.clock->advance(5.0);
    EXPECT_EQ(filenames(manager().search(QStringLiteral("~/documents"))),
              QStringList{QStringLiteral("DOCUMENTS")})
        << "five seconds old is still fresh";

    fixture.clock->advance(0.001);
    EXPECT_TRUE(manager().search(QStringLiteral("~/documents")).isEmpty()) << "then the sources answer again";
}

TEST_F(SearchPipelineTest, FreshSearchRecomputes) {
    const QString folder = home + QStringLiteral("/Projects");
    test::makeDirectory(folder);
    EXPECT_EQ(manager().search(QStringLiteral("~/Projects")).size(), 1);
    QDir(folder).removeRecursively();
    EXPECT_EQ(manager().search(QStringLiteral("~/Projects")).size(), 1) << "cached";
    EXPECT_TRUE(manager().searchFresh(QStringLiteral("~/Projects")).isEmpty());
    EXPECT_TRUE(manager().search(QStringLiteral("~/Projects")).isEmpty()) << "the fresh answer was stored";
}

TEST_F(SearchPipelineTest, CacheKeepsTheNewest120Keys) {
    for (int i = 0; i <= 120; ++i) {
        manager().search(QStringLiteral("query%1").arg(i));
        fixture.clock->advance(0.01);
    }
    const auto prefs = SearchRankingSettingsStore(*fixture.defaults).load();
    const auto key = [&](int i) { return QStringLiteral("query%1|").arg(i) + prefs.cacheKey(); };
    EXPECT_FALSE(manager().cachedQueryResults(key(0), true).has_value());
    EXPECT_TRUE(manager().cachedQueryResults(key(1), true).has_value());
    EXPECT_TRUE(manager().cachedQueryResults(key(120), true).has_value());
}

TEST_F(SearchPipelineTest, TranslationCommandsBypassTheQueryCache) {
    auto engines = std::make_shared<test::FakeTranslationEngines>();
    engines->hold();
    sources.translationEngines = engines;
    const auto first = manager().search(QStringLiteral("cc Haus"));
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first[0].relevanceScore(), 9500) << "the pending row leads";

    const auto prefs = SearchRankingSettingsStore(*fixture.defaults).load();
    EXPECT_FALSE(
        manager().cachedQueryResults(QStringLiteral("cc haus|") + prefs.cacheKey(), true).has_value());

    engines->setAnswer(TranslationEngineID::apple, QStringLiteral("de"), QStringLiteral("en"),
                       QStringLiteral("Haus"), QStringLiteral("house"));
    engines->release();
    manager().waitForBackgroundTasks();
    // Recomputed at once, not served from a cached answer of the first call.
    const auto second = manager().search(QStringLiteral("cc Haus"));
    ASSERT_FALSE(second.isEmpty());
    EXPECT_EQ(second[0].filename(), QStringLiteral("house"));
    EXPECT_EQ(second[0].relevanceScore(), 10000);
    engines->release();
    manager().shutdown();
}

TEST_F(SearchPipelineTest, DirectPaths) {
    test::makeDirectory(home + QStringLiteral("/Documents/Sub Folder"));
    test::makeDirectory(home + QStringLiteral("/Tools.app"));
    test::writeFile(home + QStringLiteral("/Documents/note.txt"), "x");
    struct Case {
        QString typed;
        std::optional<QString> resolved;
    } cases[] = {
        {QStringLiteral("~"), home},
        {QStringLiteral("~/Documents"), home + QStringLiteral("/Documents")},
        {QStringLiteral("\"~/Documents/\""), home + QStringLiteral("/Documents")},
        {QStringLiteral("'~/Documents'"), home + QStringLiteral("/Documents")},
        {QStringLiteral("file://") + home + QStringLiteral("/Documents/Sub%20Folder"),
         home + QStringLiteral("/Documents/Sub Folder")},
        {QStringLiteral("~/Documents/../Documents//./note.txt"),
         home + QStringLiteral("/Documents/note.txt")},
        {QStringLiteral("  /tmp/  \n"), QStringLiteral("/tmp")},
        {QStringLiteral("Documents"), std::nullopt},
        {QStringLiteral("./Documents"), std::nullopt},
        {QStringLiteral("\""), std::nullopt},
        {QStringLiteral("~nosuchuser-xyz/x"), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(manager().resolveDirectPath(c.typed), c.resolved) << c.typed.toStdString();

    struct RowCase {
        QString typed;
        SearchResultKind kind;
        QString name;
    } rows[] = {
        {QStringLiteral("~/Documents"), SearchResultKind::folder, QStringLiteral("Documents")},
        {QStringLiteral("~/Tools.app"), SearchResultKind::app, QStringLiteral("Tools.app")},
        {QStringLiteral("~/Documents/note.txt"), SearchResultKind::file, QStringLiteral("note.txt")},
    };
    for (const auto &c : rows) {
        const auto found = manager().searchDirectPathResults(c.typed);
        ASSERT_EQ(found.size(), 1) << c.typed.toStdString();
        EXPECT_EQ(found[0].kind(), c.kind);
        EXPECT_EQ(found[0].filename(), c.name);
        EXPECT_TRUE(found[0].isDirectPathMatch());
        EXPECT_LT(found[0].id(), 0);
    }
    EXPECT_TRUE(manager().searchDirectPathResults(QStringLiteral("~/missing")).isEmpty());

    const auto answer = manager().search(QStringLiteral("~/Documents"));
    ASSERT_EQ(answer.size(), 1);
    EXPECT_EQ(answer[0].relevanceScore(), 5000);
    EXPECT_EQ(answer[0].directory(), home);
}

TEST_F(SearchPipelineTest, SettingsRowKeywordRules) {
    struct Case {
        const char *query;
        bool matches;
    } cases[] = {
        {"sett", true},    {"settings", true},      {"open settings now", true},
        {"options", true}, {"show launcher", true}, {"zq", false},
        {"x", false},
    };
    for (const auto &c : cases) {
        const auto rows = manager().searchActionResults(QString::fromLatin1(c.query));
        const bool found = std::any_of(rows.begin(), rows.end(), [](const SearchResult &r) {
            return r.action() == SearchResultAction::openSettings;
        });
        EXPECT_EQ(found, c.matches) << c.query;
    }
    const auto settingsRows = manager().searchLauncherActionResults(QStringLiteral("settings"));
    ASSERT_EQ(settingsRows.size(), 1);
    const SearchResult &row = settingsRows[0];
    EXPECT_EQ(row.filename(), QStringLiteral("Show Launcher Settings"));
    EXPECT_EQ(row.directory(), QStringLiteral("Configure hotkey and launcher options"));
    EXPECT_EQ(row.id(), stableNegativeID(QStringLiteral("action://open-settings")));
    EXPECT_EQ(row.fullPath(), QStringLiteral("action://openSettings"));
}

TEST_F(SearchPipelineTest, PinnedFoldersGiveWayToWalkedRows) {
    const QString pinned = home + QStringLiteral("/Pinned");
    test::makeDirectory(pinned);
    config.pinnedFolderPaths = {pinned, home + QStringLiteral("/absent"), home + QStringLiteral("/file.txt")};
    test::writeFile(home + QStringLiteral("/file.txt"), "x");
    const auto rows = manager().pinnedFolderResults();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].id(), stableNegativeID(QStringLiteral("folder:") + pinned));
    EXPECT_EQ(rows[0].kind(), SearchResultKind::folder);

    const SearchResult walked({.id = -9,
                               .filename = QStringLiteral("PINNED"),
                               .directory = home,
                               .kind = SearchResultKind::folder});
    const auto merged = DatabaseManager::mergedUniqueByPath({walked, rows[0]});
    ASSERT_EQ(merged.size(), 1);
    EXPECT_EQ(merged[0].id(), -9);
}

TEST_F(SearchPipelineTest, WalkedListFilterKeepsBestEighty) {
    const auto prefs = SearchRankingSettingsStore(*fixture.defaults).load();
    SearchResults rows;
    for (int i = 0; i < 200; ++i)
        rows.append(
            SearchResult({.id = -1 - i,
                          .filename = QStringLiteral("x report %1.pdf").arg(i, 3, 10, QLatin1Char('0')),
                          .directory = QStringLiteral("/d")}));
    rows.append(SearchResult(
        {.id = -500, .filename = QStringLiteral("report-b.txt"), .directory = QStringLiteral("/d")}));
    rows.append(SearchResult(
        {.id = -501, .filename = QStringLiteral("Report.pdf"), .directory = QStringLiteral("/d")}));
    rows.append(SearchResult(
        {.id = -502, .filename = QStringLiteral("report-a.txt"), .directory = QStringLiteral("/d")}));
    rows.append(SearchResult(
        {.id = -503, .filename = QStringLiteral("unrelated"), .directory = QStringLiteral("/report")}));

    const auto kept = manager().filterAndSortPathResults(rows, QStringLiteral("report"), prefs);
    ASSERT_EQ(kept.size(), 80);
    EXPECT_EQ(kept[0].filename(), QStringLiteral("Report.pdf")) << "exact basename first";
    EXPECT_EQ(kept[1].filename(), QStringLiteral("report-a.txt")) << "then prefixes, by name";
    EXPECT_EQ(kept[2].filename(), QStringLiteral("report-b.txt"));
    EXPECT_EQ(kept[3].filename(), QStringLiteral("x report 000.pdf"));
}

TEST_F(SearchPipelineTest, ScoreExamples) {
    const auto prefs = SearchRankingSettingsStore(*fixture.defaults).load();
    const qint64 appBoost = prefs.extensionBoost(
        SearchResult({.id = -1, .filename = QStringLiteral("Mail.app"), .kind = SearchResultKind::app}));
    const SearchResult walkedApp({.id = -1,
                                  .filename = QStringLiteral("Mail.app"),
                                  .directory = QStringLiteral("/Applications"),
                                  .openCount = 10,
                                  .kind = SearchResultKind::app});
    EXPECT_EQ(relevanceScore(walkedApp, QStringLiteral("mail"), prefs), 2800 + appBoost);
    const SearchResult indexedApp({.id = 7,
                                   .filename = QStringLiteral("Mail.app"),
                                   .directory = QStringLiteral("/Applications"),
                                   .openCount = 10,
                                   .kind = SearchResultKind::app});
    EXPECT_EQ(relevanceScore(indexedApp, QStringLiteral("mail"), prefs), 2000 + appBoost);

    auto scoreWithOpens = [&](qint64 opens) {
        return relevanceScore(walkedApp.withOpenCount(opens), QStringLiteral("mail"), prefs);
    };
    EXPECT_EQ(scoreWithOpens(50), scoreWithOpens(51));
    EXPECT_EQ(scoreWithOpens(std::numeric_limits<qint64>::max()), scoreWithOpens(50));
    EXPECT_EQ(scoreWithOpens(-5), scoreWithOpens(0));
    EXPECT_EQ(scoreWithOpens(std::numeric_limits<qint64>::min()), scoreWithOpens(0));

    const SearchResult direct(
        {.id = -2, .filename = QStringLiteral("mail"), .openCount = 40, .isDirectPathMatch = true});
    EXPECT_EQ(relevanceScore(direct, QStringLiteral("mail"), prefs), 5000);

    const SearchResult recentInFolder({.id = 3,
                                       .filename = QStringLiteral("x.doc"),
                                       .directory = QStringLiteral("/Mail/box"),
                                       .isRecentActivation = true});
    EXPECT_EQ(relevanceScore(recentInFolder, QStringLiteral("mail"), prefs), 250 + 800);

    const SearchResult pending({.id = -4,
                                .filename = QStringLiteral("t"),
                                .directory = QStringLiteral("Translating LOCALLY …"),
                                .kind = SearchResultKind::action,
                                .action = SearchResultAction::openBrowserFavorite});
    EXPECT_EQ(relevanceScore(pending, QStringLiteral("x"), prefs), 9500);
}

TEST_F(SearchPipelineTest, SearchableBasename) {
    const QStringList suffixes = {QStringLiteral(".gsheet.url"), QStringLiteral(".url"),
                                  QStringLiteral(".pdf")};
    struct Case {
        const char *name, *basename;
    } cases[] = {
        {"Budget.gsheet.url", "budget"},   {"Link.URL", "link"},     {".url", ".url"},
        {"archive.tar.gz", "archive.tar"}, {".profile", ".profile"}, {"README", "readme"},
        {"Report.PDF", "report"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(searchableBasename(QString::fromLatin1(c.name), suffixes), QString::fromLatin1(c.basename))
            << c.name;
}

} // namespace
} // namespace orvex
