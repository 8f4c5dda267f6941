#pragma once

#include "platform/Clock.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace orvex {

class IndexConnectionPool;

// The outside indexer's database file as the manager reads it: the connections to it, and which file
// they were opened on. The indexer may rebuild its file and rename the new one over the old, and the
// file may come and go; the connections follow the path, which is looked at again at most every few
// seconds. The look (a stat) and the opening run with no lock held, so that a file another process
// holds locked, or a slow disk, stalls only the search that looked; the mutex guards the swap of the
// connections and what was last said about the index. Thread-safe.
class IndexDatabase {
public:
    // `path` empty: there is no index, and nothing is ever opened.
    IndexDatabase(QString path, bool readonly, int busyTimeoutMilliseconds, std::shared_ptr<Clock> clock);
    // Closes the connections (statements still running close theirs when they end).
    ~IndexDatabase();
    IndexDatabase(const IndexDatabase &) = delete;
    IndexDatabase &operator=(const IndexDatabase &) = delete;

    enum class Look {
        whenDue, // a search: the path is looked at when the last look is a few seconds old
        now,     // a write, which would be lost in a replaced (unlinked) file
    };
    struct Connections {
        // Null when there is no file at the path or it cannot be opened.
        std::shared_ptr<IndexConnectionPool> pool;
        // A file was opened anew by this look: answers read before it are out of date.
        bool reopened = false;
        // Why the file at the path could not be opened by this look.
        std::optional<QString> failure;
    };
    // The connections to the file at the path, opened again first when the look finds a new file there
    // (or a file where there was none, or a file that could not be opened before). Never creates it.
    Connections connections(Look look);
    // Closes the connections; later looks open nothing.
    void close();

    const QString &path() const { return path_; }

    // Whether `problem` is news: something else, or nothing, was said about the index since it last
    // answered cleanly (or its file was opened anew). Noted as said when it is.
    bool isNewProblem(const QString &problem);
    // The index answered a search in full: a problem said before is over.
    void answeredCleanly();

private:
    // What a stat of the path found.
    struct FileLook {
        enum State { absent, notRegular, regular, unknown } state = absent;
        std::pair<quint64, quint64> identity{0, 0}; // device and inode of a regular file
    };
    FileLook lookAtFile() const;

    const QString path_;
    const bool readonly_;
    const int busyTimeoutMilliseconds_;
    const std::shared_ptr<Clock> clock_;

    std::mutex mutex_;
    // Guarded by mutex_:
    std::shared_ptr<IndexConnectionPool> pool_;
    std::pair<quint64, quint64> identity_{0, 0}; // of the file pool_ was opened on
    std::optional<Clock::MonotonicTime> lookedAt_;
    bool closed_ = false;
    std::optional<QString> saidProblem_;
};

} // namespace orvex
