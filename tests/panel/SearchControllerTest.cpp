// The keystroke road: instant answers, the debounce, the worker search and the answers it installs.
#include "SearchControllerTestSupport.h"

#include "search/LauncherNotifications.h"
#include "search/LauncherSettingsStores.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex::test::panelmodel {
namespace {

using namespace std::chrono_literals;

QString currentRankingKey(ControllerHarness &h, const QString &normalizedQuery) {
    return normalizedQuery + QLatin1Char('|') + SearchRankingSettingsStore(h.defaults).load().cacheKey();
}

struct InstantAnswerCase {
    const char *name;
    std::function<void(ControllerHarness &)> setUp;
    QString typed;
    QStringList expectedNames;
    bool expectedPreview;
    bool expectedSearching;
};

void PrintTo(const InstantAnswerCase &c, std::ostream *os) {
    *os << c.name;
}

class InstantAnswerTest : public ::testing::TestWithParam<InstantAnswerCase> {};

TEST_P(InstantAnswerTest, ShowsItsListWithItsPreviewFlagThenAsksTheCore) {
    const InstantAnswerCase &c = GetParam();
    ControllerHarness h;
    c.setUp(h);
    const qsizetype callsBefore = h.search.calls().size();

    h.controller->setQuery(c.typed);

    EXPECT_EQ(h.shownNames(), c.expectedNames);
    EXPECT_EQ(h.controller->state().resultsArePreview, c.expectedPreview);
    EXPECT_EQ(h.controller->state().isSearching, c.expectedSearching);
    EXPECT_EQ(h.search.calls().size(), callsBefore) << "nothing is asked before the pause";

    // Then the core is asked once, with the trimmed text in its own letter case.
    h.timer->advance(std::chrono::milliseconds(h.controller->searchDebounceMilliseconds()));
    ASSERT_TRUE(h.settle());
    const QList<FakeSearch::Call> calls = h.search.calls();
    ASSERT_EQ(calls.size(), callsBefore + 1);
    EXPECT_EQ(calls.constLast().query, c.typed.trimmed());
    EXPECT_TRUE(calls.constLast().allowPersistentQueryCache);
    EXPECT_FALSE(h.controller->state().resultsArePreview);
}

INSTANTIATE_TEST_SUITE_P(
    SearchController, InstantAnswerTest,
    ::testing::Values(
        InstantAnswerCase{"IncrementalHitIsFinal",
                          [](ControllerHarness &h) {
                              h.search.answer(QStringLiteral("chrome"), {fileRow(QStringLiteral("Chrome"))});
                              h.typeAndSettle(QStringLiteral("chrome"));
                              h.controller->setQuery(QStringLiteral("zzz"));
                          },
                          QStringLiteral("Chrome "),
                          {QStringLiteral("Chrome")},
                          false,
                          false},
        InstantAnswerCase{"PersistentHitUnderTheseRulesIsFinal",
                          [](ControllerHarness &h) {
                              h.store->storeResults({fileRow(QStringLiteral("Report.pdf"))},
                                                    currentRankingKey(h, QStringLiteral("report")),
                                                    h.clock->now());
                          },
                          QStringLiteral("Report"),
                          {QStringLiteral("Report.pdf")},
                          false,
                          false},
        InstantAnswerCase{"PersistentHitUnderOtherRulesIsAPreview",
                          [](ControllerHarness &h) {
                              h.store->storeResults({fileRow(QStringLiteral("Report.pdf"))},
                                                    QStringLiteral("report|other-rules"), h.clock->now());
                          },
                          QStringLiteral("report"),
                          {QStringLiteral("Report.pdf")},
                          true,
                          true},
        InstantAnswerCase{"LongestCachedPrefixFilteredIsAPreview",
                          [](ControllerHarness &h) {
                              h.search.answer(QStringLiteral("ch"), {fileRow(QStringLiteral("Chess")),
                                                                     fileRow(QStringLiteral("Chrome"))});
                              h.typeAndSettle(QStringLiteral("ch"));
                              h.controller->setQuery(QStringLiteral("zzz"));
                          },
                          QStringLiteral("chr"),
                          {QStringLiteral("Chrome")},
                          true,
                          true},
        InstantAnswerCase{"ShownRowsFilteredWhenTheQueryGrowsAreAPreview",
                          [](ControllerHarness &h) {
                              h.store->storeResults(
                                  {fileRow(QStringLiteral("Docs"), QStringLiteral("/d")),
                                   fileRow(QStringLiteral("Downloads"), QStringLiteral("/d"))},
                                  QStringLiteral("do|other-rules"), h.clock->now());
                              h.controller->setQuery(QStringLiteral("do"));
                          },
                          QStringLiteral("doc"),
                          {QStringLiteral("Docs")},
                          true,
                          true},
        // The search core matches names in one Unicode form: so does the preview.
        InstantAnswerCase{"ADecomposedNameStaysInThePreview",
                          [](ControllerHarness &h) {
                              h.search.answer(QStringLiteral("caf"),
                                              {fileRow(QStringLiteral("Cafe\u0301 menu.pdf")),
                                               fileRow(QStringLiteral("Cafeteria.txt"))});
                              h.typeAndSettle(QStringLiteral("caf"));
                              h.controller->setQuery(QStringLiteral("zzz"));
                          },
                          QStringLiteral("Caf\u00e9"),
                          {QStringLiteral("Cafe\u0301 menu.pdf")},
                          true,
                          true},
        // Kept rows belong to another query: shown, but marked so that nothing caches them for this one.
        InstantAnswerCase{"NothingKnownKeepsTheRowsAsAPreview",
                          [](ControllerHarness &h) {
                              h.search.answer(QStringLiteral("alpha"), {fileRow(QStringLiteral("Alpha"))});
                              h.typeAndSettle(QStringLiteral("alpha"));
                          },
                          QStringLiteral("beta"),
                          {QStringLiteral("Alpha")},
                          true,
                          true}),
    [](const ::testing::TestParamInfo<InstantAnswerCase> &info) { return std::string(info.param.name); });

TEST(SearchController, BlankQueryEmptiesTheListAtOnceAndStartsNoSearch) {
    ControllerHarness h;
    h.search.answer(QStringLiteral("alpha"), {fileRow(QStringLiteral("Alpha"))});
    h.typeAndSettle(QStringLiteral("alpha"));

    h.controller->setQuery(QStringLiteral(" \n\t"));

    EXPECT_TRUE(h.controller->results().isEmpty());
    EXPECT_EQ(h.controller->selectedIndex(), std::nullopt);
    EXPECT_FALSE(h.controller->state().resultsArePreview);
    EXPECT_FALSE(h.controller->state().isSearching);
    EXPECT_FALSE(h.timer->isPending());
    EXPECT_EQ(h.controller->state().lastTypedNormalizedQuery, QString());

    // A single letter next has no earlier text to extend, so the empty list stays until the answer.
    h.controller->setQuery(QStringLiteral("a"));
    EXPECT_TRUE(h.controller->results().isEmpty());
    EXPECT_TRUE(h.controller->state().isSearching);
}

TEST(SearchController, ExactPersistentHitKeepsTheScoresStoredWithIt) {
    ControllerHarness h;
    h.store->storeResults({fileRow(QStringLiteral("Low"), QStringLiteral("/d"), 5),
                           fileRow(QStringLiteral("High"), QStringLiteral("/d"), 777)},
                          currentRankingKey(h, QStringLiteral("report")), h.clock->now());

    h.controller->setQuery(QStringLiteral("report"));

    ASSERT_EQ(h.shownNames(), (QStringList{QStringLiteral("High"), QStringLiteral("Low")}));
    EXPECT_EQ(h.controller->results().first().relevanceScore(), 777);
    EXPECT_TRUE(h.controller->incrementalSearchResultCache().entries().contains(QStringLiteral("report")));
}

TEST(SearchController, TenKeystrokesWithinThePauseGiveOneSearch) {
    ControllerHarness h;
    const QString word = QStringLiteral("Abcdefghij");
    for (qsizetype length = 1; length <= word.size(); ++length) {
        h.controller->setQuery(word.left(length));
        h.timer->advance(std::chrono::milliseconds(h.controller->searchDebounceMilliseconds() - 1));
    }
    EXPECT_TRUE(h.search.calls().isEmpty());

    h.timer->advance(1ms);
    ASSERT_TRUE(h.settle());
    const QList<FakeSearch::Call> calls = h.search.calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.first().query, word);
}

TEST(SearchController, PauseIsTheStoredSettingClampedTo10To500Milliseconds) {
    const struct {
        qint64 stored;
        qint64 expected;
    } cases[] = {{0, 10}, {9, 10}, {50, 50}, {500, 500}, {1000, 500}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        ControllerHarness h;
        h.defaults.set(QStringLiteral("launcherSearchDebounceMilliseconds"), c.stored);
        h.center.post(NotificationName::launcherSearchDebounceChanged);
        ASSERT_EQ(h.controller->searchDebounceMilliseconds(), c.expected);

        h.controller->setQuery(QStringLiteral("x"));
        EXPECT_EQ(h.timer->lastDelay, std::chrono::milliseconds(c.expected));
        h.timer->advance(std::chrono::milliseconds(c.expected - 1));
        EXPECT_TRUE(h.search.calls().isEmpty());
        h.timer->advance(1ms);
        EXPECT_TRUE(h.search.waitForCall(QStringLiteral("x")));
    }
}

TEST(SearchController, SelectionFollowsTheRowIdentityAcrossAnAppliedList) {
    const SearchResult a = fileRow(QStringLiteral("a"));
    const SearchResult b = fileRow(QStringLiteral("b"));
    const SearchResult c = fileRow(QStringLiteral("c"));
    const SearchResult bInOtherCase = fileRow(QStringLiteral("B"));
    const SearchResult tabOne =
        actionRow(QStringLiteral("Tab"), SearchResultAction::focusBrowserTab,
                  QStringLiteral("https://one.example/"), std::nullopt, QStringLiteral("tab-key"));
    const SearchResult tabMoved =
        actionRow(QStringLiteral("Tab"), SearchResultAction::focusBrowserTab,
                  QStringLiteral("https://two.example/"), std::nullopt, QStringLiteral("tab-key"));
    const struct {
        const char *name;
        SearchResults before;
        qsizetype selected;
        SearchResults after;
        std::optional<qsizetype> expected;
    } cases[] = {
        {"row moves down", {a, b, c}, 1, {c, a, b}, 2},
        {"row gone", {a, b, c}, 1, {c, a}, 0},
        {"identity is exact text", {a, b}, 1, {a, bInOtherCase}, 0},
        {"action rows follow their usage key", {a, tabOne}, 1, {tabMoved, a}, 0},
        {"empty list", {a, b}, 1, {}, std::nullopt},
        {"selection outside the old list", {a, b}, 5, {b, a}, 0},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.name);
        ControllerHarness h;
        h.controller->applySearchResults(t.before, false, false);
        h.controller->setSelectedIndex(t.selected);
        h.controller->setHoveredResultIdentity(QStringLiteral("/somewhere"));

        h.controller->applySearchResults(t.after, true, false);

        EXPECT_EQ(h.controller->selectedIndex(), t.expected);
        EXPECT_EQ(h.controller->hoveredResultIdentity(), std::nullopt);
    }
}

// Return takes the row that is selected: unless the user moved the selection during this query, that is
// the best match of the newest answer, whatever was selected in an earlier query's list.
TEST(SearchController, ASelectionTheUserNeverMovedIsTheFirstRowOfEveryNewAnswer) {
    const QString dir = QStringLiteral("/apps");
    const SearchResult manager = fileRow(QStringLiteral("Velox File Manager"), dir, 900);
    const SearchResult settings = fileRow(QStringLiteral("File Manager Settings"), dir, 950);
    const struct {
        const char *name;
        // Cached answers the keystrokes find at once (an activation's promoted rows, say).
        QHash<QString, SearchResults> cached;
    } cases[] = {
        {"answers of the search core", {}},
        {"an exact cached answer", {{QStringLiteral("file"), {settings, manager}}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ControllerHarness h;
        h.search.answer(QStringLiteral("velox"), {manager});
        h.search.answer(QStringLiteral("f"),
                        {fileRow(QStringLiteral("Velox File Manager"), dir, 990), settings});
        h.search.answer(QStringLiteral("fi"),
                        {manager, fileRow(QStringLiteral("File Manager Settings"), dir, 10)});
        h.search.answer(QStringLiteral("fil"),
                        {manager, fileRow(QStringLiteral("File Manager Settings"), dir, 10)});
        h.search.answer(QStringLiteral("file"), {settings, manager});
        for (auto entry = c.cached.cbegin(); entry != c.cached.cend(); ++entry)
            h.controller->incrementalSearchResultCache().store(entry.value(), entry.key());

        h.typeAndSettle(QStringLiteral("velox"));
        ASSERT_EQ(h.controller->selectedResult()->filename(), manager.filename());
        for (const QString &typed :
             {QStringLiteral("f"), QStringLiteral("fi"), QStringLiteral("fil"), QStringLiteral("file")}) {
            SCOPED_TRACE(typed.toStdString());
            h.controller->setQuery(typed);
            EXPECT_EQ(h.controller->selectedIndex(),
                      h.controller->results().isEmpty() ? std::nullopt : std::optional<qsizetype>(0))
                << "at once";
            h.timer->advance(std::chrono::milliseconds(h.controller->searchDebounceMilliseconds()));
            ASSERT_TRUE(h.settle());
            EXPECT_EQ(h.controller->selectedIndex(), 0) << "after the answer";
        }
        EXPECT_EQ(h.controller->selectedResult()->filename(), settings.filename());
    }
}

// What the user chose stays chosen while the query stays, through every later answer to it; any other
// selection is the first row of each list applied, a refresh of the same answer included.
TEST(SearchController, AChosenRowKeepsItsIdentityForTheSameQueryAndEveryOtherAnswerSelectsItsFirstRow) {
    const QString dir = QStringLiteral("/d");
    const SearchResult a = fileRow(QStringLiteral("Alpha"), dir, 300);
    const SearchResult b = fileRow(QStringLiteral("Beta"), dir, 200);
    const SearchResult c = fileRow(QStringLiteral("Gamma"), dir, 100);
    const SearchResult aLow = fileRow(QStringLiteral("Alpha"), dir, 50);
    const SearchResult bTop = fileRow(QStringLiteral("Beta"), dir, 900);
    const SearchResult cTop = fileRow(QStringLiteral("Gamma"), dir, 900);
    const struct {
        const char *name;
        // Down presses in the answer for "al".
        int downs;
        // What happens next, and the row expected to be selected afterwards.
        std::function<void(ControllerHarness &)> then;
        QString expected;
    } cases[] = {
        {"late data for the same query keeps the chosen row", 1,
         [&](ControllerHarness &h) {
             h.search.answer(QStringLiteral("al"), {cTop, aLow, b}, false);
             h.center.post(NotificationName::launcherSearchDataRefreshed);
         },
         QStringLiteral("Beta")},
        {"late data that ranks another row first selects it", 0,
         [&](ControllerHarness &h) {
             h.search.answer(QStringLiteral("al"), {bTop, a}, false);
             h.center.post(NotificationName::launcherSearchDataRefreshed);
         },
         QStringLiteral("Beta")},
        {"a trailing space is the same query", 1,
         [&](ControllerHarness &h) {
             h.search.answer(QStringLiteral("al"), {c, a, b});
             h.typeAndSettle(QStringLiteral("al "));
         },
         QStringLiteral("Beta")},
        {"a longer query selects its own first row", 1,
         [&](ControllerHarness &h) {
             h.search.answer(QStringLiteral("alp"), {cTop, a, b});
             h.typeAndSettle(QStringLiteral("alp"));
         },
         QStringLiteral("Gamma")},
        // The cached answer shown at once selects its first row; the search core's answer to the same
        // query, ranked afresh, then selects its own.
        {"typing back to the query is a new search", 1,
         [&](ControllerHarness &h) {
             h.search.answer(QStringLiteral("alp"), {a, b});
             h.typeAndSettle(QStringLiteral("alp"));
             h.search.answer(QStringLiteral("al"), {cTop, a, b});
             h.typeAndSettle(QStringLiteral("al"));
         },
         QStringLiteral("Gamma")},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.name);
        ControllerHarness h;
        h.search.answer(QStringLiteral("al"), {a, b, c});
        h.typeAndSettle(QStringLiteral("al"));
        for (int press = 0; press < t.downs; ++press)
            h.controller->moveSelection(false);

        t.then(h);
        ASSERT_TRUE(h.settle());

        ASSERT_TRUE(h.controller->selectedResult());
        EXPECT_EQ(h.controller->selectedResult()->filename(), t.expected)
            << h.shownNames().join(',').toStdString();
    }
}

TEST(SearchController, AppliedRowsAreDeduplicatedAndRowsWithoutAScoreAreScoredForTheQuery) {
    ControllerHarness h;
    h.search.answer(QStringLiteral("notes"),
                    {fileRow(QStringLiteral("Kept score"), QStringLiteral("/d"), 5),
                     fileRow(QStringLiteral("notes.txt"), QStringLiteral("/d"), std::nullopt),
                     fileRow(QStringLiteral("NOTES.TXT"), QStringLiteral("/D"), std::nullopt)});

    h.typeAndSettle(QStringLiteral("notes"));

    const SearchResults shown = h.controller->results();
    ASSERT_EQ(filenames(shown), (QStringList{QStringLiteral("notes.txt"), QStringLiteral("Kept score")}));
    EXPECT_GT(shown.first().relevanceScore().value_or(0), 5) << "scored against the query";
    EXPECT_EQ(shown.last().relevanceScore(), 5);
}

// ---- Answers arriving out of order ----

TEST(SearchControllerSuperseded, AnAnswerForAnEarlierKeystrokeIsNeverShown) {
    for (const bool slowFirstAnswersLast : {true, false}) {
        SCOPED_TRACE(slowFirstAnswersLast ? "'a' answers after 'ab'" : "'a' answers before 'ab'");
        ControllerHarness h;
        h.search.answer(QStringLiteral("a"), {fileRow(QStringLiteral("Answer for a"))});
        h.search.answer(QStringLiteral("ab"), {fileRow(QStringLiteral("Answer for ab"))});
        h.search.block(QStringLiteral("a"));
        h.search.block(QStringLiteral("ab"));

        h.controller->setQuery(QStringLiteral("a"));
        h.timer->advance(50ms);
        ASSERT_TRUE(h.search.waitForCall(QStringLiteral("a")));
        h.controller->setQuery(QStringLiteral("ab"));
        h.timer->advance(50ms);
        ASSERT_TRUE(h.search.waitForCall(QStringLiteral("ab")));

        const QString first = slowFirstAnswersLast ? QStringLiteral("ab") : QStringLiteral("a");
        const QString second = slowFirstAnswersLast ? QStringLiteral("a") : QStringLiteral("ab");
        h.search.release(first);
        ASSERT_TRUE(waitUntil([&] { return h.controller->searchesInFlight() == 1; }));
        h.search.release(second);
        ASSERT_TRUE(h.settle());

        EXPECT_EQ(h.shownNames(), QStringList{QStringLiteral("Answer for ab")});
        EXPECT_FALSE(h.controller->incrementalSearchResultCache().entries().contains(QStringLiteral("a")));
    }
}

// The core lets a newer search supersede an older one, which then answers an empty list. A typed search
// and a re-run after late data share one keystroke, so the identifier alone cannot tell them apart.
TEST(SearchControllerSuperseded, ASupersededSearchOfTheSameKeystrokeNeitherEmptiesNorCachesTheList) {
    const SearchResults fresh = {fileRow(QStringLiteral("Notes")), fileRow(QStringLiteral("Notion page"))};
    for (const bool typedFirst : {true, false}) {
        SCOPED_TRACE(typedFirst ? "typed search started first" : "re-run started first");
        ControllerHarness h;
        const QString query = QStringLiteral("no");
        h.search.answer(query, typedFirst ? SearchResults{} : fresh, true);
        h.search.answer(query, typedFirst ? fresh : SearchResults{}, false);
        h.search.block(query, typedFirst);

        h.controller->setQuery(query);
        if (typedFirst) {
            h.timer->advance(50ms);
            ASSERT_TRUE(h.search.waitForCall(query));
            h.center.post(NotificationName::launcherSearchDataRefreshed);
        } else {
            h.center.post(NotificationName::launcherSearchDataRefreshed);
            ASSERT_TRUE(h.search.waitForCall(query));
            h.timer->advance(50ms);
        }
        ASSERT_TRUE(waitUntil([&] { return h.shownNames() == filenames(fresh); }));
        h.search.release(query);
        ASSERT_TRUE(h.settle());

        EXPECT_EQ(h.shownNames(), filenames(fresh));
        EXPECT_EQ(filenames(h.controller->incrementalSearchResultCache().entries().value(query)),
                  filenames(fresh));
    }
}

// ---- Re-runs after late data ----

TEST(SearchController, LateDataReRunsTheQueryWithoutThePersistentCache) {
    ControllerHarness h;
    h.center.post(NotificationName::launcherSearchDataRefreshed);
    EXPECT_TRUE(h.search.calls().isEmpty()) << "an empty field is not searched";

    h.search.answer(QStringLiteral("Notes"), {fileRow(QStringLiteral("Notes"))});
    h.typeAndSettle(QStringLiteral(" Notes "));
    const quint64 searchId = h.controller->state().searchId;
    h.search.answer(QStringLiteral("Notes"),
                    {fileRow(QStringLiteral("Notes")), fileRow(QStringLiteral("Notes 2"))});

    h.center.post(NotificationName::launcherSearchDataRefreshed);
    ASSERT_TRUE(h.settle());

    const QList<FakeSearch::Call> calls = h.search.calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls.last().query, QStringLiteral("Notes"));
    EXPECT_FALSE(calls.last().allowPersistentQueryCache);
    EXPECT_EQ(h.shownNames(), (QStringList{QStringLiteral("Notes"), QStringLiteral("Notes 2")}));
    EXPECT_EQ(h.controller->state().searchId, searchId);
}

TEST(SearchControllerSuperseded, AKeystrokeDuringAReRunWins) {
    ControllerHarness h;
    h.search.answer(QStringLiteral("notes"), {fileRow(QStringLiteral("Notes"))});
    h.typeAndSettle(QStringLiteral("notes"));
    h.search.answer(QStringLiteral("notes"), {fileRow(QStringLiteral("Stale re-run"))}, false);
    h.search.block(QStringLiteral("notes"), false);

    h.center.post(NotificationName::launcherSearchDataRefreshed);
    ASSERT_TRUE(h.search.waitForCall(QStringLiteral("notes"), 2));
    h.controller->setQuery(QStringLiteral("notesx"));
    h.search.release(QStringLiteral("notes"));
    ASSERT_TRUE(h.settle());

    // The preview of the new text (nothing of "notes" contains it), not the re-run's answer.
    EXPECT_TRUE(h.controller->results().isEmpty());
    EXPECT_TRUE(h.controller->state().resultsArePreview);
}

TEST(SearchController, ChangedRankingRulesEmptyTheIncrementalCacheAndReRun) {
    ControllerHarness h;
    h.search.answer(QStringLiteral("other"), {fileRow(QStringLiteral("Other"))});
    h.search.answer(QStringLiteral("notes"), {fileRow(QStringLiteral("Notes"))});
    h.typeAndSettle(QStringLiteral("other"));
    h.typeAndSettle(QStringLiteral("notes"));

    h.center.post(NotificationName::launcherRankingSettingsChanged);
    ASSERT_TRUE(h.settle());

    EXPECT_FALSE(h.search.calls().last().allowPersistentQueryCache);
    EXPECT_EQ(h.controller->incrementalSearchResultCache().insertionOrder(),
              QStringList{QStringLiteral("notes")});
}

} // namespace
} // namespace orvex::test::panelmodel
