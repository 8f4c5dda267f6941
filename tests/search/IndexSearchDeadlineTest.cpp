// One indexed document that repeats the query word tens of thousands of times makes FTS5's snippet()
// run for minutes inside one SQLite step, out of reach of the progress handler and of
// sqlite3_interrupt(). The search waits for the index only up to its deadline, with the manager's
// lock released, and answers with what the other sources and the index gave by then.
#include "fixtures/IndexDatabaseFixture.h"
#include "fixtures/ResultNames.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace orvex {
namespace {

using namespace std::chrono_literals;

QStringList names(const SearchResults &rows) {
    QStringList list = test::filenames(rows);
    list.sort();
    return list;
}

class IndexSearchDeadline : public ::testing::Test, public test::IndexDatabaseFixture {
protected:
    // A file whose name holds the word, one whose text repeats it 40 000 times (its snippet takes
    // about two minutes), and a pinned folder named after it: a source other than the index.
    void SetUp() override {
        createIndex({{.id = 1,
                      .filename = QStringLiteral("zeppelin notes.txt"),
                      .directory = QStringLiteral("/docs"),
                      .content = QStringLiteral("notes about airships")},
                     {.id = 2,
                      .filename = QStringLiteral("flight log.txt"),
                      .directory = QStringLiteral("/docs"),
                      .content = QStringLiteral("zeppelin ").repeated(40000)}});
        builder->close();
        hangar = test::homePath() + QStringLiteral("/Zeppelin hangar");
        test::makeDirectory(hangar);
    }

    DatabaseManagerConfiguration configurationWithDeadline(std::chrono::milliseconds deadline) const {
        DatabaseManagerConfiguration c = configuration();
        c.pinnedFolderPaths = {hangar};
        c.indexSearchDeadline = deadline;
        return c;
    }

    QString hangar;
};

TEST_F(IndexSearchDeadline, AStalledFullTextStatementCostsTheSearchOnlyItsDeadline) {
    auto manager = makeManager(configurationWithDeadline(1s));
    {
        test::CapturedStdout out;
        // The name match was read before the full-text statement stalled; the pinned folder answers.
        EXPECT_EQ(names(manager->search(QStringLiteral("zeppelin"))),
                  QStringList({QStringLiteral("Zeppelin hangar"), QStringLiteral("zeppelin notes.txt")}));
        EXPECT_EQ(out.text(),
                  "Search query stopped after 1000 ms: the index contributes the rows it read by then\n");
    }
    // An incomplete answer is not cached: it would stand for the whole one.
    EXPECT_FALSE(manager->cachedQueryResults(
        QStringLiteral("zeppelin|") + SearchRankingSettingsStore(*defaults).load().cacheKey(), true));

    // While the stalled statement still runs, the next searches leave the full-text statement out
    // (it would stall on the same document) and answer at once from names and tags.
    test::CapturedStdout out;
    EXPECT_EQ(names(manager->searchFresh(QStringLiteral("zeppelin"))),
              QStringList({QStringLiteral("Zeppelin hangar"), QStringLiteral("zeppelin notes.txt")}));
    EXPECT_EQ(names(manager->searchIndexedFiles(QStringLiteral("notes"))),
              QStringList({QStringLiteral("zeppelin notes.txt")}));
    EXPECT_EQ(out.text(), "");
}

// While a search waits for the index, the manager's lock is free: an activation, a refresh and the
// next keystroke's search go on, and the waiting search, now superseded, ends at once.
TEST_F(IndexSearchDeadline, ASearchWaitingForTheIndexHoldsUpNobody) {
    std::promise<void> waiting;
    std::atomic<bool> signalled{false};
    auto c = configurationWithDeadline(10min); // only the next keystroke ends this wait
    c.searchWillReadIndex = [&](const QString &query) {
        if (query == QLatin1String("zeppelin") && !signalled.exchange(true))
            waiting.set_value();
    };
    auto manager = makeManager(c);
    const SearchResults hangarRows = manager->searchFresh(QStringLiteral("hangar"));
    ASSERT_EQ(hangarRows.size(), 1);

    std::atomic<bool> olderAnswered{false};
    SearchResults olderRows;
    std::thread older([&] {
        olderRows = manager->search(QStringLiteral("zeppelin"));
        olderAnswered = true;
    });
    waiting.get_future().wait();

    // Each of these needs the manager's lock; none waits for the stalled statement.
    manager->recordActivation(hangarRows.front());
    manager->refreshSourceCachesNow();
    EXPECT_EQ(manager->learnedOpenCount(hangarRows.front(), 0), 1);
    EXPECT_FALSE(olderAnswered.load());

    // The next keystroke: it answers in full, and the older search gives up its wait.
    const SearchResults newer = manager->search(QStringLiteral("zeppelin n"));
    older.join();
    EXPECT_TRUE(olderRows.isEmpty());
    EXPECT_EQ(names(newer), QStringList({QStringLiteral("zeppelin notes.txt")}));
}

} // namespace
} // namespace orvex
