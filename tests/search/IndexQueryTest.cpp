// The index's statements run on threads of their own, a bounded number at once in the process. A
// search at the bound waits for a slot instead of answering without the index: a query that was just
// stopped frees its slot a moment later, once its thread next checks.
#include "search/IndexQuery.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

namespace orvex {
namespace {

using namespace std::chrono_literals;

// A statement that never ends by itself; only the progress handler's check stops it.
IndexQuery::Statements endlessStatements() {
    return {.likeSql = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                       "SELECT count(*) FROM n",
            .ftsSql = {},
            .likePattern = QStringLiteral("%"),
            .ftsQuery = std::nullopt};
}

std::shared_ptr<IndexConnectionPool> openEmptyIndex() {
    const QByteArray path = QFile::encodeName(test::homePath() + QStringLiteral("/index.db"));
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              SQLITE_OK);
    sqlite3_close_v2(db);
    QString error;
    auto pool = IndexConnectionPool::open(path, true, 50, &error);
    EXPECT_TRUE(pool) << error.toStdString();
    return pool;
}

TEST(IndexQuery, AQueryAtTheBoundWaitsForAStoppedOneToFreeItsSlot) {
    const auto pool = openEmptyIndex();
    ASSERT_TRUE(pool);
    const auto farDeadline = [] { return std::chrono::steady_clock::now() + 60s; };
    std::vector<std::shared_ptr<IndexQuery>> running;
    for (int i = 0; i < IndexQuery::maxRunning; ++i) {
        running.push_back(IndexQuery::start(pool, endlessStatements(), farDeadline()));
        ASSERT_TRUE(running.back());
    }

    auto next = std::async(std::launch::async,
                           [&] { return IndexQuery::start(pool, endlessStatements(), farDeadline()); });
    EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout) << "every slot is taken";
    running.front()->stop();
    ASSERT_EQ(next.wait_for(30s), std::future_status::ready);
    const std::shared_ptr<IndexQuery> started = next.get();
    EXPECT_TRUE(started);
    if (started)
        running.push_back(started);

    // With every slot still taken at its deadline, the index is not asked.
    EXPECT_FALSE(IndexQuery::start(pool, endlessStatements(), std::chrono::steady_clock::now() + 50ms));

    for (const auto &query : running) {
        query->stop();
        EXPECT_TRUE(query->wait().stopped);
    }
}

} // namespace
} // namespace orvex
