#include "search/IndexQuery.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <system_error>
#include <thread>

namespace orvex {

namespace {

// Idle connections kept for reuse: one for the next search, one for a search that overlaps it.
constexpr size_t maxIdleConnections = 2;

// The process's running queries. A search at the limit waits for a slot: a query that was just stopped
// frees its own at its next check, and on a busy machine its thread may not have run yet.
std::mutex slotsMutex;
std::condition_variable slotFreed;
int runningQueries = 0; // guarded by slotsMutex

bool takeSlot(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(slotsMutex);
    if (!slotFreed.wait_until(lock, deadline, [] { return runningQueries < IndexQuery::maxRunning; }))
        return false;
    ++runningQueries;
    return true;
}

void releaseSlot() {
    {
        std::lock_guard lock(slotsMutex);
        --runningQueries;
    }
    slotFreed.notify_all();
}

QString errorText(sqlite3 *db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Columns are read as the storage type they must have; anything else counts as absent.
qint64 integerColumn(sqlite3_stmt *statement, int column) {
    return sqlite3_column_type(statement, column) == SQLITE_INTEGER ? sqlite3_column_int64(statement, column)
                                                                    : 0;
}

// An open count at the largest integer becomes a REAL after the indexer's "open_count + 1": it is
// still the largest count, not an unreadable one.
qint64 countColumn(sqlite3_stmt *statement, int column) {
    if (sqlite3_column_type(statement, column) != SQLITE_FLOAT)
        return integerColumn(statement, column);
    const double value = sqlite3_column_double(statement, column);
    if (!(value > 0)) // NaN too
        return 0;
    if (value >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(value);
}

std::optional<QString> textColumn(sqlite3_stmt *statement, int column) {
    if (sqlite3_column_type(statement, column) != SQLITE_TEXT)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

IndexRow readIndexRow(sqlite3_stmt *statement) {
    return IndexRow{.id = integerColumn(statement, 0),
                    .filename = textColumn(statement, 1).value_or(QString()),
                    .directory = textColumn(statement, 2).value_or(QString()),
                    .openCount = countColumn(statement, 3),
                    .snippet = textColumn(statement, 4)};
}

// One prepared statement, finalised when it goes out of scope.
class Statement {
public:
    Statement(sqlite3 *db, const QByteArray &sql) {
        sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isPrepared() const { return statement_ != nullptr; }
    sqlite3_stmt *get() const { return statement_; }
    void bind(int index, const std::optional<QString> &text) {
        if (!text) {
            sqlite3_bind_null(statement_, index);
            return;
        }
        const QByteArray utf8 = text->toUtf8();
        sqlite3_bind_text64(statement_, index, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                            SQLITE_TRANSIENT, SQLITE_UTF8);
    }

private:
    sqlite3_stmt *statement_ = nullptr;
};

} // namespace

// ---- Connections ----

IndexConnectionPool::IndexConnectionPool(QByteArray nativePath, bool readonly, int busyTimeoutMilliseconds)
    : nativePath_(std::move(nativePath)), readonly_(readonly),
      busyTimeoutMilliseconds_(std::max(0, busyTimeoutMilliseconds)) {}

std::shared_ptr<IndexConnectionPool> IndexConnectionPool::open(const QByteArray &nativePath, bool readonly,
                                                               int busyTimeoutMilliseconds, QString *error) {
    std::shared_ptr<IndexConnectionPool> pool(
        new IndexConnectionPool(nativePath, readonly, busyTimeoutMilliseconds));
    sqlite3 *first = pool->openConnection(error);
    if (!first)
        return nullptr;
    pool->idle_.push_back(first);
    return pool;
}

IndexConnectionPool::~IndexConnectionPool() {
    for (sqlite3 *db : idle_)
        sqlite3_close_v2(db);
}

sqlite3 *IndexConnectionPool::openConnection(QString *error) const {
    // Never SQLITE_OPEN_CREATE: the file belongs to the indexer, and a missing one stays missing.
    const int flags = readonly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(nativePath_.constData(), &db, flags, nullptr) != SQLITE_OK) {
        if (error)
            *error = db ? errorText(db) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyTimeoutMilliseconds_);
    return db;
}

sqlite3 *IndexConnectionPool::acquire(QString *error) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            if (error)
                *error = QStringLiteral("the index connection is closed");
            return nullptr;
        }
        if (!idle_.empty()) {
            sqlite3 *db = idle_.back();
            idle_.pop_back();
            return db;
        }
    }
    return openConnection(error);
}

void IndexConnectionPool::release(sqlite3 *db) {
    if (!db)
        return;
    // As the next user expects it, whatever the last one changed.
    sqlite3_busy_timeout(db, busyTimeoutMilliseconds_);
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    {
        std::lock_guard lock(mutex_);
        if (!closed_ && idle_.size() < maxIdleConnections) {
            idle_.push_back(db);
            return;
        }
    }
    sqlite3_close_v2(db);
}

bool IndexConnectionPool::hasQueryPastItsDeadline() const {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    return std::any_of(runningQueries_.begin(), runningQueries_.end(),
                       [&](const auto &running) { return running.second <= now; });
}

void IndexConnectionPool::queryStarted(const IndexQuery *query,
                                       std::chrono::steady_clock::time_point deadline) {
    std::lock_guard lock(mutex_);
    runningQueries_.emplace_back(query, deadline);
}

void IndexConnectionPool::queryEnded(const IndexQuery *query) {
    std::lock_guard lock(mutex_);
    std::erase_if(runningQueries_, [&](const auto &running) { return running.first == query; });
}

void IndexConnectionPool::close() {
    std::vector<sqlite3 *> idle;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        idle.swap(idle_);
    }
    for (sqlite3 *db : idle)
        sqlite3_close_v2(db);
}

// ---- One search's statements ----

IndexQuery::IndexQuery(Statements statements, std::chrono::steady_clock::time_point deadline)
    : statements_(std::move(statements)), deadline_(deadline) {}

IndexQuery::~IndexQuery() = default;

std::shared_ptr<IndexQuery> IndexQuery::start(std::shared_ptr<IndexConnectionPool> pool,
                                              Statements statements,
                                              std::chrono::steady_clock::time_point deadline) {
    if (!pool)
        return nullptr;
    // Stalled queries each keep a thread busy until they end; past the limit the index is asked only
    // once one ends before the deadline.
    if (!takeSlot(deadline))
        return nullptr;
    auto query = std::make_shared<IndexQuery>(std::move(statements), deadline);
    pool->queryStarted(query.get(), deadline);
    try {
        // Detached: a stalled statement must hold up neither the search nor the manager's shutdown.
        // The thread owns what it uses (the query and the pool), so it may outlive both.
        std::thread([query, pool] {
            QString error;
            const StepEnd end = query->run(*pool, error);
            // The connection and the slot are given back before the search learns of the end, so that
            // the next search finds them free.
            pool->queryEnded(query.get());
            releaseSlot();
            query->finish(end, error);
        }).detach();
    } catch (const std::system_error &) {
        pool->queryEnded(query.get());
        releaseSlot();
        return nullptr;
    }
    return query;
}

IndexQuery::StepEnd IndexQuery::run(IndexConnectionPool &pool, QString &error) {
    sqlite3 *db = pool.acquire(&error);
    if (!db)
        return StepEnd::failed;
    sqlite3_progress_handler(db, 1000, &IndexQuery::progressHandler, this);
    const Statements &s = statements_;
    StepEnd end = StepEnd::done;
    if (s.likePattern)
        end = stepStatement(db, s.likeSql, {s.likePattern, s.likePattern, s.likePattern, s.likePattern},
                            false, error);
    if (end == StepEnd::done && s.ftsQuery)
        end = stepStatement(db, s.ftsSql, {s.likePattern, *s.ftsQuery}, true, error);
    pool.release(db);
    return end;
}

IndexQuery::StepEnd IndexQuery::stepStatement(sqlite3 *db, const QByteArray &sql,
                                              const std::vector<std::optional<QString>> &bindings, bool fts,
                                              QString &error) {
    Statement statement(db, sql);
    if (!statement.isPrepared()) {
        error = errorText(db);
        return StepEnd::failed;
    }
    for (size_t i = 0; i < bindings.size(); ++i)
        statement.bind(static_cast<int>(i) + 1, bindings[i]);
    for (;;) {
        const int rc = sqlite3_step(statement.get());
        if (rc == SQLITE_DONE)
            return StepEnd::done;
        if (rc != SQLITE_ROW) {
            // Interrupted by the progress handler: stopped or past the deadline, not a failure.
            if (rc == SQLITE_INTERRUPT && (stopRequested_.load() || pastDeadline()))
                return StepEnd::interrupted;
            error = errorText(db);
            return StepEnd::failed;
        }
        IndexRow row = readIndexRow(statement.get());
        std::lock_guard lock(mutex_);
        if (taken_)
            return StepEnd::interrupted; // nobody waits for the rows any more
        (fts ? outcome_.ftsRows : outcome_.likeRows).push_back(std::move(row));
    }
}

bool IndexQuery::pastDeadline() const {
    return std::chrono::steady_clock::now() >= deadline_;
}

int IndexQuery::progressHandler(void *query) {
    const auto *self = static_cast<const IndexQuery *>(query);
    return self->stopRequested_.load(std::memory_order_relaxed) || self->pastDeadline() ? 1 : 0;
}

void IndexQuery::finish(StepEnd end, const QString &error) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        if (!taken_) {
            if (end == StepEnd::failed) {
                outcome_.error = error;
            } else if (end == StepEnd::interrupted) {
                outcome_.stopped = stopRequested_.load();
                outcome_.deadlinePassed = !outcome_.stopped;
            }
        }
    }
    changed_.notify_all();
}

IndexQueryOutcome IndexQuery::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline_, [this] { return ended_ || stopRequested_.load(); });
    IndexQueryOutcome answer = std::move(outcome_);
    if (!ended_) {
        answer.stopped = stopRequested_.load();
        answer.deadlinePassed = !answer.stopped;
    }
    taken_ = true;
    // Whatever still runs stops at its next check.
    stopRequested_.store(true);
    return answer;
}

void IndexQuery::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_.store(true);
    }
    changed_.notify_all();
}

} // namespace orvex
