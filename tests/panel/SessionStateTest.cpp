// Query history, its stored form, the session time-out and history browsing with the arrow keys.
#include "SearchControllerTestSupport.h"

#include "panel/PanelNotifications.h"
#include "panel/SessionState.h"
#include "search/LauncherNotifications.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex::test::panelmodel {
namespace {

using namespace std::chrono_literals;

QStringList historyQueries(const SessionState &session) {
    QStringList queries;
    for (const SearchHistoryEntry &entry : session.history)
        queries.append(entry.query);
    return queries;
}

std::optional<QStringList> storedQueries(const UserDefaults &defaults) {
    const std::optional<PlistValue::Array> stored = defaults.arrayValue(SessionState::historyQueriesKey);
    if (!stored)
        return std::nullopt;
    QStringList queries;
    for (const PlistValue &value : *stored)
        queries.append(value.toString().value_or(QStringLiteral("<not a text>")));
    return queries;
}

TEST(SessionState, SavingTheSameQueryAgainReplacesTheNewestEntry) {
    ControllerHarness h;
    h.search.answer(QStringLiteral("Notes"), {fileRow(QStringLiteral("Old"))});
    h.typeAndSettle(QStringLiteral("Notes"));
    h.controller->saveSession();
    h.search.answer(QStringLiteral("Notes"), {fileRow(QStringLiteral("New"))});
    h.center.post(NotificationName::launcherSearchDataRefreshed);
    ASSERT_TRUE(h.settle());
    h.controller->saveSession();

    const SessionState &session = h.controller->session();
    ASSERT_EQ(historyQueries(session), QStringList{QStringLiteral("Notes")});
    EXPECT_EQ(filenames(session.history.first().results), QStringList{QStringLiteral("New")});
    EXPECT_FALSE(session.history.first().resultsArePreview);
    EXPECT_EQ(storedQueries(h.defaults), QStringList{QStringLiteral("Notes")});
}

TEST(SessionState, KeepsTheTwentyNewestQueriesOldestFirstInTheStoredList) {
    ControllerHarness h;
    QStringList typed;
    for (int i = 1; i <= 21; ++i) {
        typed.append(QStringLiteral("query %1").arg(i));
        h.controller->setQuery(typed.last());
        h.controller->saveSession();
    }
    const QStringList expected = typed.mid(1);
    EXPECT_EQ(historyQueries(h.controller->session()), expected);
    EXPECT_EQ(storedQueries(h.defaults), expected);
}

TEST(SessionState, BlankQueryIsNeverSavedAndNeverStampsAHide) {
    ControllerHarness h;
    h.controller->setQuery(QStringLiteral("  \n "));
    h.controller->saveSession();
    h.center.post(NotificationName::launcherWindowHidden);

    EXPECT_TRUE(h.controller->session().history.isEmpty());
    EXPECT_EQ(h.controller->session().lastDismissedAt, std::nullopt);
    EXPECT_EQ(storedQueries(h.defaults), std::nullopt);
}

TEST(SessionState, HidingWithAQueryStoresItAndStampsTheTime) {
    ControllerHarness h;
    h.controller->setQuery(QStringLiteral("report "));
    h.center.post(NotificationName::launcherWindowHidden);
    EXPECT_EQ(historyQueries(h.controller->session()), QStringList{QStringLiteral("report ")});
    EXPECT_EQ(h.controller->session().lastDismissedAt, h.clock->monotonicNow());

    // Hidden again with an empty field: the stamp moves, the history stays.
    h.controller->setQuery(QString());
    h.clock->advance(3);
    h.center.post(NotificationName::launcherWindowHidden);
    EXPECT_EQ(h.controller->session().lastDismissedAt, h.clock->monotonicNow());
    EXPECT_EQ(h.controller->session().history.size(), 1);
}

TEST(SessionState, ShowingThePanelAppliesTheTimeOut) {
    const struct {
        const char *name;
        qint64 persistenceSeconds;
        double hiddenFor;
        bool clearFieldBeforeShowing;
        QString expectedQuery;
        bool expectedStampKept;
    } cases[] = {
        {"within the time, query kept", 10, 10.0, false, QStringLiteral("Report"), true},
        {"within the time, empty field gets the newest entry back", 10, 4.0, true, QStringLiteral("Report"),
         true},
        {"expired, query cleared", 10, 10.5, false, QString(), false},
        {"expired, empty field stays empty", 10, 11.0, true, QString(), false},
        {"zero seconds, no time passed", 0, 0.0, false, QStringLiteral("Report"), true},
        {"zero seconds, any time passed", 0, 0.001, false, QString(), false},
        {"stored time above the limit counts as 120", 500, 121.0, false, QString(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ControllerHarness h;
        h.search.answer(QStringLiteral("Report"), {fileRow(QStringLiteral("Report.pdf"))});
        h.defaults.set(QStringLiteral("launcherSessionPersistenceSeconds"), c.persistenceSeconds);
        h.center.post(NotificationName::launcherSessionPersistenceChanged);
        h.typeAndSettle(QStringLiteral("Report"));
        h.center.post(NotificationName::launcherWindowHidden);
        if (c.clearFieldBeforeShowing)
            h.controller->setQuery(QString());
        h.clock->advance(c.hiddenFor);

        h.center.post(NotificationName::launcherWindowAppeared);

        EXPECT_EQ(h.controller->query(), c.expectedQuery);
        EXPECT_EQ(h.controller->session().lastDismissedAt.has_value(), c.expectedStampKept);
        EXPECT_EQ(h.controller->session().history.size(), 1) << "the time-out never clears the history";
        if (c.expectedQuery == QLatin1String("Report")) {
            EXPECT_EQ(h.shownNames(), QStringList{QStringLiteral("Report.pdf")});
            EXPECT_FALSE(h.controller->state().resultsArePreview);
        }
    }
}

TEST(SessionState, AfterARestartUpPutsTheNewestStoredQueryInTheFieldAndSearchesItAfresh) {
    ControllerHarness h;
    h.defaults.set(SessionState::historyQueriesKey, PlistValue::Array{PlistValue(QStringLiteral("older")),
                                                                      PlistValue(QStringLiteral("Newest"))});
    h.controller->loadPersistedHistory();
    ASSERT_EQ(historyQueries(h.controller->session()),
              (QStringList{QStringLiteral("older"), QStringLiteral("Newest")}));

    h.search.answer(QStringLiteral("Newest"), {fileRow(QStringLiteral("Newest.txt"))});
    h.controller->moveSelection(true);
    EXPECT_EQ(h.controller->query(), QStringLiteral("Newest"));
    EXPECT_EQ(h.controller->session().historyIndex, 1);
    h.timer->advance(50ms);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.shownNames(), QStringList{QStringLiteral("Newest.txt")});

    // Up on row 0 while browsing steps back; past the oldest entry nothing changes.
    h.controller->moveSelection(true);
    EXPECT_EQ(h.controller->query(), QStringLiteral("older"));
    EXPECT_FALSE(h.controller->restorePreviousHistoryEntry());
    EXPECT_EQ(h.controller->query(), QStringLiteral("older"));
    EXPECT_EQ(h.controller->session().historyIndex, 0);
}

TEST(SessionState, StoredListsThatAreNotAListOfTextsAreReadSafely) {
    PlistValue::Array thirty;
    for (int i = 0; i < 30; ++i)
        thirty.append(PlistValue(QStringLiteral("q%1").arg(i)));
    QStringList newestTwenty;
    for (int i = 10; i < 30; ++i)
        newestTwenty.append(QStringLiteral("q%1").arg(i));
    const struct {
        const char *name;
        std::optional<PlistValue> stored;
        QStringList expected;
    } cases[] = {
        {"absent", std::nullopt, {}},
        {"a text", PlistValue(QStringLiteral("q")), {}},
        {"empty list", PlistValue(PlistValue::Array{}), {}},
        {"values that are not texts skipped",
         PlistValue(PlistValue::Array{PlistValue(qint64(4)), PlistValue(QStringLiteral("kept")),
                                      PlistValue(PlistValue::Array{})}),
         {QStringLiteral("kept")}},
        {"longer than twenty", PlistValue(thirty), newestTwenty},
        {"an entry longer than a query",
         PlistValue(
             PlistValue::Array{PlistValue(QString(SearchState::maxQueryLength + 5, QLatin1Char('q')))}),
         {QString(SearchState::maxQueryLength, QLatin1Char('q'))}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults defaults;
        if (c.stored)
            defaults.set(SessionState::historyQueriesKey, *c.stored);
        SessionState session;
        session.loadPersistedQueries(defaults);
        EXPECT_EQ(historyQueries(session), c.expected);
        for (const SearchHistoryEntry &entry : session.history) {
            EXPECT_TRUE(entry.results.isEmpty());
            EXPECT_FALSE(entry.resultsArePreview);
        }
    }

    // Loading never replaces a history of this run.
    UserDefaults defaults;
    defaults.set(SessionState::historyQueriesKey, PlistValue::Array{PlistValue(QStringLiteral("stored"))});
    SessionState session;
    session.record({.query = QStringLiteral("typed"), .results = {}, .resultsArePreview = false});
    session.loadPersistedQueries(defaults);
    EXPECT_EQ(historyQueries(session), QStringList{QStringLiteral("typed")});
}

// Up and Down with the history behind the first row.
TEST(SessionState, ArrowKeysMoveWithinTheListAndStepBackThroughTheHistory) {
    const SearchResults threeRows = {fileRow(QStringLiteral("a")), fileRow(QStringLiteral("b")),
                                     fileRow(QStringLiteral("c"))};
    const struct {
        const char *name;
        QStringList history;
        QString query;
        SearchResults rows;
        std::optional<qsizetype> selected;
        bool up;
        QString expectedQuery;
        std::optional<qsizetype> expectedSelection;
        qsizetype expectedHistoryIndex;
    } cases[] = {
        {"Up, no rows, no history", {}, QString(), {}, std::nullopt, true, QString(), std::nullopt, -1},
        {"Down, no rows, with history",
         {QStringLiteral("old")},
         QString(),
         {},
         std::nullopt,
         false,
         QString(),
         std::nullopt,
         -1},
        {"Down on the last row stays",
         {},
         QStringLiteral("x"),
         threeRows,
         2,
         false,
         QStringLiteral("x"),
         2,
         -1},
        {"Up on row 0 without history stays",
         {},
         QStringLiteral("x"),
         threeRows,
         0,
         true,
         QStringLiteral("x"),
         0,
         -1},
        {"Up without selection selects row 0",
         {},
         QStringLiteral("x"),
         threeRows,
         std::nullopt,
         true,
         QStringLiteral("x"),
         0,
         -1},
        {"Down without selection selects row 1",
         {},
         QStringLiteral("x"),
         threeRows,
         std::nullopt,
         false,
         QStringLiteral("x"),
         1,
         -1},
        {"Up on row 0 saves the query, then shows the one before",
         {QStringLiteral("old")},
         QStringLiteral("x"),
         threeRows,
         0,
         true,
         QStringLiteral("old"),
         0,
         0},
        {"Up on row 0 when the only entry is this query restores nothing",
         {QStringLiteral("x")},
         QStringLiteral("x"),
         threeRows,
         0,
         true,
         QStringLiteral("x"),
         0,
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ControllerHarness h;
        for (const QString &query : c.history) {
            h.controller->setQuery(query);
            h.controller->saveSession();
        }
        h.controller->setQuery(c.query);
        h.controller->applySearchResults(c.rows, false, false);
        h.controller->setSelectedIndex(c.selected);

        h.controller->moveSelection(c.up);

        EXPECT_EQ(h.controller->query(), c.expectedQuery);
        EXPECT_EQ(h.controller->selectedIndex(), c.expectedSelection);
        EXPECT_EQ(h.controller->session().historyIndex, c.expectedHistoryIndex);
    }
}

TEST(SessionState, RestoredRowsComeBackAsTheFinalAnswerAndTypingSomethingElseEndsBrowsing) {
    ControllerHarness h;
    h.search.answer(QStringLiteral("first"), {fileRow(QStringLiteral("First.txt"))});
    h.typeAndSettle(QStringLiteral("first"));
    h.controller->saveSession();
    h.controller->incrementalSearchResultCache().clear();
    h.controller->setQuery(QStringLiteral("second"));

    h.controller->moveSelection(true);
    EXPECT_EQ(h.controller->query(), QStringLiteral("first"));
    EXPECT_EQ(h.shownNames(), QStringList{QStringLiteral("First.txt")});
    EXPECT_FALSE(h.controller->state().resultsArePreview);
    EXPECT_EQ(h.controller->session().historyIndex, 0);

    h.controller->setQuery(QStringLiteral("first!"));
    EXPECT_EQ(h.controller->session().historyIndex, -1);
}

} // namespace
} // namespace orvex::test::panelmodel
