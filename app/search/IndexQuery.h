#pragma once

// The index's search statements, run on a thread and a connection of their own. FTS5's snippet() over
// a document that repeats the query word tens of thousands of times runs for minutes inside one
// SQLite step, where neither the progress handler nor sqlite3_interrupt() reach it: the search waits
// for its statements only up to a deadline, holding none of the manager's locks, and goes on with the
// rows read by then while a stalled statement finishes on its own.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct sqlite3;

namespace orvex {

class IndexQuery;

// One row of either statement, its columns read by storage type.
struct IndexRow {
    qint64 id = 0;
    QString filename;
    QString directory;
    qint64 openCount = 0;
    std::optional<QString> snippet;
};

// The connections to one index file. Each user takes one of its own and gives it back; an idle one is
// kept for the next user, and once the pool is closed every connection is closed as it comes back.
// Thread-safe; statements that outlive the manager keep the pool alive.
class IndexConnectionPool {
public:
    // Opens a first connection (never creating the file): nothing, and the error in `error`, when the
    // file cannot be opened.
    static std::shared_ptr<IndexConnectionPool> open(const QByteArray &nativePath, bool readonly,
                                                     int busyTimeoutMilliseconds, QString *error);
    ~IndexConnectionPool();
    IndexConnectionPool(const IndexConnectionPool &) = delete;
    IndexConnectionPool &operator=(const IndexConnectionPool &) = delete;

    // An idle connection or a new one, with the pool's busy time-out; null (and `error`) when none can
    // be opened.
    sqlite3 *acquire(QString *error);
    // Takes a connection back; it is kept only while the pool is open and has few idle ones.
    void release(sqlite3 *db);
    // Closes the idle connections now and every other one when it comes back.
    void close();

    int busyTimeoutMilliseconds() const { return busyTimeoutMilliseconds_; }

    // Whether a query on these connections still runs past its deadline: then it is stalled inside
    // one step (see above), and a new full-text statement would most likely stall on the same document.
    bool hasQueryPastItsDeadline() const;

private:
    friend class IndexQuery;
    void queryStarted(const IndexQuery *query, std::chrono::steady_clock::time_point deadline);
    void queryEnded(const IndexQuery *query);

    IndexConnectionPool(QByteArray nativePath, bool readonly, int busyTimeoutMilliseconds);
    sqlite3 *openConnection(QString *error) const;

    const QByteArray nativePath_;
    const bool readonly_;
    const int busyTimeoutMilliseconds_;
    mutable std::mutex mutex_;
    std::vector<sqlite3 *> idle_;
    bool closed_ = false;
    std::vector<std::pair<const IndexQuery *, std::chrono::steady_clock::time_point>> runningQueries_;
};

// What the statements of one index search read.
struct IndexQueryOutcome {
    std::vector<IndexRow> likeRows;
    std::vector<IndexRow> ftsRows;
    // A statement failed: the rows do not count. Its text is SQLite's message.
    std::optional<QString> error;
    // The deadline passed before both statements ended: the rows are those read by then.
    bool deadlinePassed = false;
    // The full-text statement was left out because an earlier one was stalled.
    bool fullTextSkipped = false;
    // stop() was called: the rows are what was read until then.
    bool stopped = false;
};

// The two statements of one index search, started at once on a thread of their own.
class IndexQuery {
public:
    struct Statements {
        QByteArray likeSql;
        QByteArray ftsSql;
        // Absent: the LIKE statement does not run, and the full-text one's name test matches nothing.
        std::optional<QString> likePattern;
        std::optional<QString> ftsQuery; // absent: only the LIKE statement runs
    };
    // At most this many queries run at once in the process; a stalled one counts until it ends.
    static constexpr int maxRunning = 6;

    // Starts the statements on a connection of the pool; nothing when `maxRunning` queries still run at
    // the deadline or no thread can be started.
    static std::shared_ptr<IndexQuery> start(std::shared_ptr<IndexConnectionPool> pool, Statements statements,
                                             std::chrono::steady_clock::time_point deadline);

    // Waits until both statements end, the deadline passes or stop() is called, and answers what was
    // read by then. Statements still running are stopped at their next check; one that cannot be
    // stopped finishes on its own and its rows are dropped. Called once.
    IndexQueryOutcome wait();
    // From any thread: the rows are no longer wanted; wait() returns at once.
    void stop();

    IndexQuery(Statements statements, std::chrono::steady_clock::time_point deadline);
    ~IndexQuery();
    IndexQuery(const IndexQuery &) = delete;
    IndexQuery &operator=(const IndexQuery &) = delete;

private:
    enum class StepEnd { done, failed, interrupted };
    // Steps both statements on a connection of the pool; `error` holds the failure's message.
    StepEnd run(IndexConnectionPool &pool, QString &error);
    // Steps one statement, publishing each row as it is read; `error` holds SQLite's message on failure.
    // An absent binding is NULL.
    StepEnd stepStatement(sqlite3 *db, const QByteArray &sql,
                          const std::vector<std::optional<QString>> &bindings, bool fts, QString &error);
    void finish(StepEnd end, const QString &error);
    bool pastDeadline() const;
    static int progressHandler(void *query);

    const Statements statements_;
    const std::chrono::steady_clock::time_point deadline_;
    // Checked by SQLite's progress handler every thousand steps.
    std::atomic<bool> stopRequested_{false};

    std::mutex mutex_;
    std::condition_variable changed_;
    IndexQueryOutcome outcome_; // guarded by mutex_
    bool ended_ = false;        // guarded by mutex_: the statements ended (or failed)
    bool taken_ = false;        // guarded by mutex_: wait() took the rows; later ones are dropped
};

} // namespace orvex
