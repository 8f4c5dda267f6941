// A search superseded by a newer one stops early: it answers an empty list, stores nothing in the query
// caches and prints nothing; the newest search always runs to its end.
#include "fixtures/IndexDatabaseFixture.h"
#include "fixtures/ResultNames.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace orvex {
namespace {

using test::IndexedFile;

using test::filenames;

class SupersededSearchTest : public ::testing::Test, public test::IndexDatabaseFixture {
protected:
    // Enough index rows that a statement runs past the progress handler's interval; folders that the
    // walk finds for both queries.
    void SetUp() override {
        QList<IndexedFile> files;
        for (int i = 1; i <= 3000; ++i)
            files.append({.id = i,
                          .filename = QStringLiteral("%1 notes %2.pdf")
                                          .arg(i % 2 ? QStringLiteral("alpha") : QStringLiteral("beta"))
                                          .arg(i),
                          .directory = test::homePath() + QStringLiteral("/Documents"),
                          .indexedAt = i,
                          .content = QStringLiteral("alpha beta gamma text %1").arg(i)});
        createIndex(files);
        for (const char *folder : {"Documents/alpha plans", "Documents/beta plans"})
            test::makeDirectory(test::homePath() + QLatin1Char('/') + QLatin1String(folder));
    }

    DatabaseManagerConfiguration configurationWithHook(std::function<void(const QString &)> hook) const {
        DatabaseManagerConfiguration c = configuration();
        c.folderSearchRoots = {test::homePath()};
        c.searchWillGatherSources = std::move(hook);
        return c;
    }

    QString cacheKey(const QString &query) const {
        return query.toLower() + QLatin1Char('|') + SearchRankingSettingsStore(*defaults).load().cacheKey();
    }
};

// The newer search runs inside the older one's gathering, which is where a keystroke's search lands
// while the previous one still runs.
TEST_F(SupersededSearchTest, OlderSearchAnswersNothingAndCachesNothing) {
    for (const QString &newer : {QStringLiteral("beta"), QStringLiteral("   ")}) {
        SCOPED_TRACE(newer.toStdString());
        // Fresh defaults: no persistent answer of the previous round.
        defaults = std::make_unique<UserDefaults>();
        DatabaseManager *self = nullptr;
        bool superseding = true;
        SearchResults newerRows;
        auto manager = makeManager(configurationWithHook([&](const QString &query) {
            if (superseding && query == QLatin1String("alpha")) {
                superseding = false;
                newerRows = self->search(newer);
            }
        }));
        self = manager.get();
        manager->refreshSourceCachesNow();

        test::CapturedStdout out;
        EXPECT_TRUE(manager->search(QStringLiteral("alpha")).isEmpty());
        EXPECT_EQ(out.text(), "");
        EXPECT_FALSE(manager->cachedQueryResults(cacheKey(QStringLiteral("alpha")), true).has_value());
        if (newer.trimmed().isEmpty())
            continue;
        // The newest search ran to its end and stored its answer.
        ASSERT_FALSE(newerRows.isEmpty());
        const auto cached = manager->cachedQueryResults(cacheKey(newer), true);
        ASSERT_TRUE(cached.has_value());
        EXPECT_EQ(filenames(*cached), filenames(newerRows));
        EXPECT_EQ(filenames(manager->searchFresh(newer)), filenames(newerRows));
        // Asked again with nothing newer around, the older query answers in full.
        EXPECT_FALSE(manager->searchFresh(QStringLiteral("alpha")).isEmpty());
    }
}

// Once superseded, even the index statements of the running search are interrupted: they answer
// nothing and print no failure. Outside a search the same call answers in full.
TEST_F(SupersededSearchTest, IndexStatementsOfASupersededSearchAreInterrupted) {
    DatabaseManager *self = nullptr;
    bool superseding = true;
    DatabaseManagerConfiguration c = configurationWithHook({});
    c.searchWillReadIndex = [&](const QString &query) {
        if (superseding && query == QLatin1String("alpha")) {
            superseding = false;
            self->search(QStringLiteral("beta"));
        }
    };
    auto manager = makeManager(std::move(c));
    self = manager.get();

    test::CapturedStdout out;
    EXPECT_TRUE(manager->search(QStringLiteral("alpha")).isEmpty());
    // The same for a search's context that a newer search has overtaken.
    std::atomic<quint64> newest{2};
    const SearchContext superseded(QStringLiteral("notes"), {.generation = 1, .currentGeneration = &newest});
    EXPECT_TRUE(manager->searchIndexedFiles(superseded).isEmpty());
    EXPECT_EQ(manager->searchIndexedFiles(QStringLiteral("notes")).size(), 250);
    EXPECT_EQ(out.text(), "");
}

// Keystrokes from many workers at once: whichever search began last answers in full; every other one
// answers either its full list or nothing, and a search that answered nothing left no cache entry.
TEST_F(SupersededSearchTest, ConcurrentSearchesAnswerInFullOrNothing) {
    auto manager = makeManager(configurationWithHook({}));
    manager->refreshSourceCachesNow();
    const QStringList queries = {"a", "al", "alp", "alph", "alpha", "alpha n", "alpha no", "alpha not"};
    QList<QStringList> expected;
    for (const QString &q : queries)
        expected.append(filenames(manager->searchFresh(q)));
    manager->invalidateQueryResultCache();

    std::vector<SearchResults> answers(size_t(queries.size()));
    std::vector<std::thread> workers;
    std::atomic<bool> go{false};
    for (qsizetype i = 0; i < queries.size(); ++i) {
        workers.emplace_back([&, i] {
            while (!go.load())
                std::this_thread::yield();
            answers[size_t(i)] = manager->search(queries.at(i));
        });
    }
    go.store(true);
    for (std::thread &worker : workers)
        worker.join();

    int answered = 0;
    for (qsizetype i = 0; i < queries.size(); ++i) {
        SCOPED_TRACE(queries.at(i).toStdString());
        const SearchResults &rows = answers[size_t(i)];
        if (rows.isEmpty()) {
            EXPECT_FALSE(manager->cachedQueryResults(cacheKey(queries.at(i).trimmed()), true).has_value());
            continue;
        }
        ++answered;
        EXPECT_EQ(filenames(rows), expected.at(i));
    }
    EXPECT_GE(answered, 1);
}

} // namespace
} // namespace orvex
