#include "search/IndexDatabase.h"

#include "search/IndexQuery.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <sys/stat.h>

namespace orvex {

namespace {

// One stat every few seconds keeps the look off the keystroke's cost.
constexpr std::chrono::seconds lookInterval{3};

} // namespace

IndexDatabase::IndexDatabase(QString path, bool readonly, int busyTimeoutMilliseconds,
                             std::shared_ptr<Clock> clock)
    : path_(std::move(path)), readonly_(readonly), busyTimeoutMilliseconds_(busyTimeoutMilliseconds),
      clock_(std::move(clock)) {}

IndexDatabase::~IndexDatabase() {
    close();
}

IndexDatabase::FileLook IndexDatabase::lookAtFile() const {
    struct stat info {};
    if (::stat(QFile::encodeName(path_).constData(), &info) != 0)
        return {errno == ENOENT || errno == ENOTDIR ? FileLook::absent : FileLook::unknown};
    // The indexer's file only: a FIFO or a device here would block the first query forever.
    if (!S_ISREG(info.st_mode))
        return {FileLook::notRegular};
    return {FileLook::regular, {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)}};
}

IndexDatabase::Connections IndexDatabase::connections(Look look) {
    std::shared_ptr<IndexConnectionPool> current;
    std::pair<quint64, quint64> currentIdentity;
    {
        std::lock_guard guard(mutex_);
        current = pool_;
        if (path_.isEmpty() || closed_)
            return {current};
        const auto now = clock_->monotonicNow();
        if (look == Look::whenDue && lookedAt_ && now - *lookedAt_ < lookInterval)
            return {current};
        lookedAt_ = now;
        currentIdentity = identity_;
    }

    // No lock held from here on.
    const FileLook file = lookAtFile();
    switch (file.state) {
    case FileLook::absent:
        // No index is a normal state (the indexer is optional): nothing to say, and the path is looked
        // at again later. Removed under open connections: they still answer what they knew.
        return {current};
    case FileLook::notRegular:
        if (current)
            return {current};
        return {nullptr, false, path_ + QStringLiteral(" is not a regular file")};
    case FileLook::regular:
        if (current && file.identity == currentIdentity)
            return {current};
        break;
    case FileLook::unknown:
        // Cannot tell whether it is the same file: what is open stays; without connections, the open
        // below says why there are none.
        if (current)
            return {current};
        break;
    }

    QString error;
    std::shared_ptr<IndexConnectionPool> fresh =
        IndexConnectionPool::open(QFile::encodeName(path_), readonly_, busyTimeoutMilliseconds_, &error);
    std::shared_ptr<IndexConnectionPool> retired;
    {
        std::lock_guard guard(mutex_);
        if (closed_ || pool_ != current) {
            // Closed meanwhile, or another look put its connections in first: those stand.
            if (fresh)
                fresh->close();
            return {pool_};
        }
        // A replaced file that cannot be opened leaves no connections: the old ones read a file
        // nobody writes any more, and the next look tries again.
        retired = std::exchange(pool_, fresh);
        identity_ = fresh ? file.identity : std::pair<quint64, quint64>{0, 0};
        if (fresh)
            saidProblem_.reset(); // a new file: its trouble is news
    }
    // Connections still in use on the old file close when their statements end.
    if (retired)
        retired->close();
    if (!fresh)
        return {nullptr, false, path_ + QStringLiteral(": ") + error};
    return {fresh, true};
}

void IndexDatabase::close() {
    std::shared_ptr<IndexConnectionPool> pool;
    {
        std::lock_guard guard(mutex_);
        closed_ = true;
        pool = std::move(pool_);
    }
    if (pool)
        pool->close();
}

bool IndexDatabase::isNewProblem(const QString &problem) {
    std::lock_guard guard(mutex_);
    if (saidProblem_ == problem)
        return false;
    saidProblem_ = problem;
    return true;
}

void IndexDatabase::answeredCleanly() {
    std::lock_guard guard(mutex_);
    saidProblem_.reset();
}

} // namespace orvex
