#include "search/LauncherLogic.h"

#include "fixtures/ResultNames.h"
#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

SearchResult fileRow(const QString &name, const QString &directory = QStringLiteral("/d"),
                     qint64 openCount = 0, std::optional<qint64> score = std::nullopt) {
    return SearchResult({.id = stableNegativeID(directory + name),
                         .filename = name,
                         .directory = directory,
                         .openCount = openCount,
                         .relevanceScore = score});
}

using test::filenames;

TEST(IncrementalSearchResultCache, StoresEvictsAndRefreshesByStoring) {
    IncrementalSearchResultCache cache(120);
    cache.store({fileRow(QStringLiteral("x"))}, QString());
    EXPECT_TRUE(cache.entries().isEmpty());

    cache.store({}, QStringLiteral("ab"));
    ASSERT_TRUE(cache.entries().contains(QStringLiteral("ab")));
    EXPECT_TRUE(cache.entries().value(QStringLiteral("ab")).isEmpty());

    cache.clear();
    for (int i = 1; i <= 120; ++i)
        cache.store({}, QStringLiteral("k%1").arg(i));
    cache.store({}, QStringLiteral("k1")); // storing again makes k1 the newest
    cache.store({}, QStringLiteral("k121"));
    EXPECT_EQ(cache.entries().size(), 120);
    EXPECT_TRUE(cache.entries().contains(QStringLiteral("k1")));
    EXPECT_FALSE(cache.entries().contains(QStringLiteral("k2")));
    EXPECT_EQ(cache.insertionOrder().size(), 120);
    EXPECT_EQ(cache.insertionOrder().last(), QStringLiteral("k121"));
}

TEST(IncrementalSearchResultCache, LongestProperPrefix) {
    IncrementalSearchResultCache cache;
    cache.store({fileRow(QStringLiteral("a"))}, QStringLiteral("a"));
    cache.store({fileRow(QStringLiteral("ab"))}, QStringLiteral("ab"));
    cache.store({fileRow(QStringLiteral("abc"))}, QStringLiteral("abc"));
    struct Case {
        QString query;
        std::optional<QString> expected;
    } cases[] = {
        {QStringLiteral("abcd"), QStringLiteral("abc")},
        {QStringLiteral("abc"), QStringLiteral("ab")},
        {QStringLiteral("b"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto &c : cases) {
        const auto hit = cache.longestPrefixResults(c.query);
        ASSERT_EQ(hit.has_value(), c.expected.has_value()) << c.query.toStdString();
        if (hit) {
            EXPECT_EQ(hit->first().filename(), *c.expected);
        }
    }
}

TEST(IncrementalSearchResultCache, PrefixComparesCanonicalEquivalents) {
    IncrementalSearchResultCache cache;
    // "é" stored precomposed, typed decomposed.
    cache.store({fileRow(QStringLiteral("hit"))}, QStringLiteral("caf\u00e9"));
    const auto hit = cache.longestPrefixResults(QStringLiteral("cafe\u0301s"));
    ASSERT_TRUE(hit.has_value());
    // A combining mark alone does not make a longer query: "cafe" + accent is the key itself.
    EXPECT_FALSE(cache.longestPrefixResults(QStringLiteral("cafe\u0301")).has_value());
}

TEST(LauncherLogic, IncrementalFilterLooksAtNameFolderSnippetAndPath) {
    const SearchResults rows = {fileRow(QStringLiteral("Report.pdf"), QStringLiteral("/Shared")),
                                fileRow(QStringLiteral("a.txt"), QStringLiteral("/Shared/Reports")),
                                fileRow(QStringLiteral("Notes.txt"), QStringLiteral("/Shared"))};
    EXPECT_EQ(filenames(filterSearchResultsForIncrementalQuery(rows, QStringLiteral("rep"))),
              (QStringList{QStringLiteral("Report.pdf"), QStringLiteral("a.txt")}));
    EXPECT_EQ(filterSearchResultsForIncrementalQuery(rows, QString()).size(), 3);
}

// An app found through its generic name or keywords does not carry them: it stays in the preview and
// the answer decides, instead of vanishing for a keystroke and coming back.
TEST(LauncherLogic, IncrementalFilterKeepsRowsFoundThroughOtherNames) {
    const SearchResults rows = {fileRow(QStringLiteral("Browser Notes.txt")),
                                fileRow(QStringLiteral("Firefox ESR")).withOtherNameMatch(),
                                fileRow(QStringLiteral("Notes.txt"))};
    EXPECT_EQ(filenames(filterSearchResultsForIncrementalQuery(rows, QStringLiteral("browse"))),
              (QStringList{QStringLiteral("Browser Notes.txt"), QStringLiteral("Firefox ESR")}));
}

// Names stored decomposed (as some file systems and archives write them) match a composed query, and
// the other way round, as they do in the search core's answer; the rows keep their own form.
TEST(LauncherLogic, IncrementalFilterMatchesInTheCoresUnicodeForm) {
    const SearchResults rows = {fileRow(QStringLiteral("Cafe\u0301 menu.pdf")),
                                fileRow(QStringLiteral("Caf\u00e9 plan.txt")),
                                fileRow(QStringLiteral("Cafeteria.txt"))};
    for (const QString &query : {QStringLiteral("caf\u00e9"), QStringLiteral("cafe\u0301")}) {
        SCOPED_TRACE(query.toStdString());
        EXPECT_EQ(filenames(filterSearchResultsForIncrementalQuery(rows, query)),
                  (QStringList{QStringLiteral("Cafe\u0301 menu.pdf"), QStringLiteral("Caf\u00e9 plan.txt")}));
    }
    EXPECT_EQ(filenames(filterSearchResultsForIncrementalQuery(rows, QStringLiteral("\u00e9 m"))),
              QStringList{QStringLiteral("Cafe\u0301 menu.pdf")});
}

TEST(LauncherLogic, DeduplicationByIdentity) {
    const SearchResult lower = fileRow(QStringLiteral("a.pdf"), QStringLiteral("/docs"));
    const SearchResult upper = fileRow(QStringLiteral("A.PDF"), QStringLiteral("/Docs"));
    EXPECT_EQ(filenames(deduplicatedSearchResults({lower, upper})), QStringList{QStringLiteral("a.pdf")});

    auto action = [](const QString &title, const QString &usageKey) {
        return SearchResult({.id = -1,
                             .filename = title,
                             .kind = SearchResultKind::action,
                             .action = SearchResultAction::openNotionPage,
                             .actionURLString = QStringLiteral("https://x/") + title,
                             .usageKey = usageKey});
    };
    // Same usage key in another case: the first stays, whatever the addresses.
    EXPECT_EQ(filenames(deduplicatedSearchResults(
                  {action(QStringLiteral("one"), QStringLiteral("notion://page/AB")),
                   action(QStringLiteral("two"), QStringLiteral("notion://page/ab"))})),
              QStringList{QStringLiteral("one")});
    // Without a usage key an action row is its address.
    const SearchResult settingsA({.id = -2,
                                  .filename = QStringLiteral("s1"),
                                  .kind = SearchResultKind::action,
                                  .action = SearchResultAction::openSettings});
    const SearchResult settingsB({.id = -3,
                                  .filename = QStringLiteral("s2"),
                                  .kind = SearchResultKind::action,
                                  .action = SearchResultAction::openSettings});
    EXPECT_EQ(deduplicatedSearchResults({settingsA, settingsB}).size(), 1);
    EXPECT_TRUE(deduplicatedSearchResults({}).isEmpty());
}

TEST(LauncherLogic, DisplayScoringKeepsGivenScoresAndSortsStably) {
    const SearchResults rows = {fileRow(QStringLiteral("one"), QStringLiteral("/a"), 1, 500),
                                fileRow(QStringLiteral("three"), QStringLiteral("/b"), 3, 500),
                                fileRow(QStringLiteral("unscored"), QStringLiteral("/c"), 0)};
    const auto scored =
        scoredSearchResultsForDisplay(rows, QStringLiteral("q"), [](const SearchResult &) { return 700; });
    EXPECT_EQ(filenames(scored),
              (QStringList{QStringLiteral("unscored"), QStringLiteral("three"), QStringLiteral("one")}));

    // Names that differ only in case keep their input order.
    const SearchResults ties = {fileRow(QStringLiteral("Alpha"), QStringLiteral("/1"), 0, 10),
                                fileRow(QStringLiteral("alpha"), QStringLiteral("/2"), 0, 10)};
    EXPECT_EQ(filenames(scoredSearchResultsForDisplay(ties, QStringLiteral("q"),
                                                      [](const SearchResult &) { return 0; })),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("alpha")}));

    // An empty query de-duplicates only.
    EXPECT_EQ(
        filenames(scoredSearchResultsForDisplay(rows, QString(), [](const SearchResult &) { return 700; })),
        filenames(rows));
}

TEST(LauncherLogic, PromotionRescoresEveryMatchingRow) {
    // The score function stands in for relevance scoring: opens and the recent flag raise the score.
    const ScoreProvider score = [](const SearchResult &r) {
        return std::min<qint64>(r.openCount(), 50) * 40 + (r.isRecentActivation() ? 800 : 0);
    };
    const SearchResult a = fileRow(QStringLiteral("a"), QStringLiteral("/x"), 30, 1200);
    const SearchResult b = fileRow(QStringLiteral("b"), QStringLiteral("/x"), 2, 80);
    const auto promoted = searchResultsPromotingActivatedResult({a, b}, b, QStringLiteral("q"), score);
    ASSERT_EQ(promoted.size(), 2);
    // b: 3 opens + recent = 920 < a's fresh 1200: re-scored, not forced to the top.
    EXPECT_EQ(filenames(promoted), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(promoted[1].openCount(), 3);
    EXPECT_TRUE(promoted[1].isRecentActivation());
    EXPECT_EQ(promoted[1].relevanceScore(), 920);
    EXPECT_EQ(promoted[0].relevanceScore(), 1200);

    const SearchResult max =
        fileRow(QStringLiteral("m"), QStringLiteral("/x"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(searchResultsPromotingActivatedResult({max}, max, QStringLiteral("q"), score)[0].openCount(),
              std::numeric_limits<qint64>::max());

    const auto untouched = searchResultsPromotingActivatedResult({a, b}, b, QString(), score);
    EXPECT_EQ(untouched[1].openCount(), 2);
    EXPECT_EQ(untouched[1].relevanceScore(), 80);
}

TEST(LauncherLogic, PromotedListIsStoredInBothCachesOnlyWhenEligible) {
    UserDefaults defaults;
    const auto store =
        PersistentQueryResultCacheStoreRegistry::store(QStringLiteral("promotion.queryResults"), defaults);
    IncrementalSearchResultCache cache;
    const auto score = [](const SearchResult &r, const QString &) {
        return std::min<qint64>(r.openCount(), 50) * 40 + (r.isRecentActivation() ? 800 : 0);
    };
    const auto key = [](const QString &q) { return q + QStringLiteral("|K"); };
    const auto eligible = [](const QString &q) { return !q.startsWith(QStringLiteral("cc ")); };
    const SearchResult a = fileRow(QStringLiteral("a"), QStringLiteral("/x"), 5, 200);
    const SearchResult b = fileRow(QStringLiteral("b"), QStringLiteral("/x"), 1, 40);
    const Date now(1000.0);

    struct Refused {
        QString query;
        SearchResults rows;
    } refused[] = {
        {QStringLiteral("   "), {a, b}}, {QStringLiteral("q"), {}}, {QStringLiteral("cc haus"), {a, b}}};
    for (const auto &c : refused) {
        EXPECT_FALSE(storePromotedSearchResultsAfterActivation(c.query, c.rows, b, cache, *store, key,
                                                               eligible, score, now))
            << c.query.toStdString();
    }
    EXPECT_TRUE(cache.entries().isEmpty());

    const auto stored = storePromotedSearchResultsAfterActivation(QStringLiteral("  Q \n"), {a, b}, b, cache,
                                                                  *store, key, eligible, score, now);
    ASSERT_TRUE(stored);
    EXPECT_EQ(filenames(*stored), (QStringList{QStringLiteral("b"), QStringLiteral("a")}))
        << "2 opens + recent beats 5 opens";
    EXPECT_EQ(filenames(cache.entries().value(QStringLiteral("q"))), filenames(*stored));
    const auto persisted = store->cachedSearchResults(QStringLiteral("q|K"), now, false);
    ASSERT_TRUE(persisted);
    EXPECT_EQ(filenames(persisted->results), filenames(*stored));
}

} // namespace
} // namespace orvex
