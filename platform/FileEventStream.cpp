#include "FileEventStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr uint32_t watchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                               IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                               IN_EXCL_UNLINK;
// A root that is gone is looked for again this often.
constexpr auto missingRootCheckInterval = std::chrono::seconds(1);
// A batch with more distinct paths than this becomes one rescan event per root.
constexpr qsizetype maxBatchPaths = 4096;

bool isUnder(const QString &path, const QString &folder) {
    return path.size() > folder.size() && path.startsWith(folder) &&
           path.at(folder.size()) == QLatin1Char('/');
}

} // namespace

struct FileEventStream::State {
    QStringList roots;
    Options options;
    Callback callback;

    std::mutex controlMutex; // start() and stop()
    std::thread thread;
    int inotifyFd = -1;
    int wakeFd = -1;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    std::atomic<bool> degraded{false};

    // Touched only on the stream's thread.
    std::unordered_map<int, QString> pathByWatch;
    QHash<QString, int> watchByPath;
    std::vector<bool> rootWatched;
    std::optional<SteadyClock::time_point> nextMissingRootCheck;
    QList<Event> batch;
    QHash<QString, qsizetype> batchIndex;
    bool batchCollapsed = false;
    std::optional<SteadyClock::time_point> batchDeadline;

    ~State() {
        // Closed only here, once neither the owner nor the thread can use them.
        if (inotifyFd >= 0)
            ::close(inotifyFd);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    void note(const QString &path, unsigned flags) {
        if (batch.isEmpty() && !batchCollapsed)
            batchDeadline = SteadyClock::now() + options.latency;
        if (batchCollapsed)
            return;
        if (const auto it = batchIndex.constFind(path); it != batchIndex.cend()) {
            batch[*it].flags |= flags;
            return;
        }
        if (batch.size() >= maxBatchPaths) {
            // A flood: the caller has to look again anyway, so one event per root says it all.
            batch.clear();
            batchIndex.clear();
            for (qsizetype i = 0; i < roots.size(); ++i)
                batch.append({roots.at(i), mustRescan});
            batchCollapsed = true;
            return;
        }
        batchIndex.insert(path, batch.size());
        batch.append({path, flags});
    }

    // Watches one folder; false when it cannot be watched.
    bool addWatch(const QString &path, bool followLink) {
        const bool known = watchByPath.contains(path);
        if (!known && options.maxWatches > 0 &&
            static_cast<qsizetype>(pathByWatch.size()) >= options.maxWatches) {
            degraded.store(true);
            return false;
        }
        const uint32_t mask = watchMask | (followLink ? 0 : IN_DONT_FOLLOW);
        const int wd = ::inotify_add_watch(inotifyFd, QFile::encodeName(path).constData(), mask);
        if (wd < 0) {
            if (errno == ENOSPC)
                degraded.store(true);
            return false;
        }
        if (const auto old = pathByWatch.find(wd); old != pathByWatch.end() && old->second != path)
            watchByPath.remove(old->second);
        pathByWatch[wd] = path;
        watchByPath.insert(path, wd);
        return true;
    }

    // Watches `top` and every folder below it, never through a symbolic link. With `reportExisting`
    // every entry found is noted as created (it may have appeared before its folder was watched).
    // Answers whether `top` itself is watched.
    bool watchTree(const QString &top, bool isRoot, bool reportExisting, QSet<QString> *seen = nullptr) {
        if (!addWatch(top, isRoot))
            return false;
        if (seen)
            seen->insert(top);
        // Breadth first: with a watch limit, the folders nearest the top are the ones watched.
        std::deque<QString> pending{top};
        while (!pending.empty() && !stopRequested.load()) {
            const QString folder = pending.front();
            pending.pop_front();
            DIR *dir = ::opendir(QFile::encodeName(folder).constData());
            if (!dir)
                continue;
            while (const dirent *entry = ::readdir(dir)) {
                const char *name = entry->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                const QString path = folder + QLatin1Char('/') + QFile::decodeName(name);
                bool isFolder = entry->d_type == DT_DIR;
                if (entry->d_type == DT_UNKNOWN) {
                    struct stat st {};
                    isFolder = ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
                }
                if (reportExisting)
                    note(path, created | (isFolder ? isDirectory : 0u));
                // Once degraded no new folder is tried, but one already watched is kept: a rescan
                // passes here for every folder, and what it does not see it unwatches.
                if (isFolder && (!degraded.load() || watchByPath.contains(path)) && addWatch(path, false)) {
                    if (seen)
                        seen->insert(path);
                    pending.push_back(path);
                }
            }
            ::closedir(dir);
        }
        return true;
    }

    // Forgets the watches of `top` and below; `removeFromKernel` when the folders still exist.
    void unwatchTree(const QString &top, bool removeFromKernel) {
        QList<std::pair<QString, int>> gone;
        for (auto it = watchByPath.cbegin(); it != watchByPath.cend(); ++it) {
            if (it.key() == top || isUnder(it.key(), top))
                gone.append({it.key(), it.value()});
        }
        for (const auto &[path, wd] : gone) {
            if (removeFromKernel)
                ::inotify_rm_watch(inotifyFd, wd);
            watchByPath.remove(path);
            pathByWatch.erase(wd);
        }
    }

    void watchRoot(qsizetype index, bool report) {
        const QString &root = roots.at(index);
        if (!QFileInfo(root).isDir() || !watchTree(root, true, report)) {
            if (!nextMissingRootCheck)
                nextMissingRootCheck = SteadyClock::now() + missingRootCheckInterval;
            return;
        }
        rootWatched[index] = true;
        if (report)
            note(root, rootChanged | created | isDirectory);
    }

    void loseRoot(qsizetype index) {
        const QString &root = roots.at(index);
        unwatchTree(root, true);
        rootWatched[index] = false;
        note(root, rootChanged | removed | isDirectory);
        if (!nextMissingRootCheck)
            nextMissingRootCheck = SteadyClock::now() + missingRootCheckInterval;
    }

    qsizetype rootIndex(const QString &path) const {
        for (qsizetype i = 0; i < roots.size(); ++i) {
            if (rootWatched[i] && roots.at(i) == path)
                return i;
        }
        return -1;
    }

    // After lost events: watch what appeared unseen and forget what went away unseen.
    void rescan() {
        QSet<QString> seen;
        for (qsizetype i = 0; i < roots.size(); ++i) {
            if (rootWatched[i] && !watchTree(roots.at(i), true, false, &seen))
                loseRoot(i);
        }
        QList<QString> stale;
        for (auto it = watchByPath.cbegin(); it != watchByPath.cend(); ++it) {
            if (!seen.contains(it.key()))
                stale.append(it.key());
        }
        for (const QString &path : stale)
            unwatchTree(path, true);
    }

    void handle(const inotify_event &event, bool &mustRescanTrees) {
        if (event.mask & IN_Q_OVERFLOW) {
            for (qsizetype i = 0; i < roots.size(); ++i) {
                if (rootWatched[i])
                    note(roots.at(i), mustRescan);
            }
            mustRescanTrees = true;
            return;
        }
        const auto it = pathByWatch.find(event.wd);
        if (it == pathByWatch.end())
            return;
        const QString folder = it->second;

        if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
            if (const qsizetype root = rootIndex(folder); root >= 0) {
                loseRoot(root);
            } else if (event.mask & IN_IGNORED) {
                pathByWatch.erase(event.wd);
                if (watchByPath.value(folder, -1) == event.wd)
                    watchByPath.remove(folder);
            }
            return;
        }

        if (event.len == 0 || event.name[0] == 0) {
            if (event.mask & (IN_ATTRIB | IN_MODIFY))
                note(folder, modified | isDirectory);
            return;
        }
        const QString path = folder + QLatin1Char('/') + QFile::decodeName(event.name);
        const bool isFolder = event.mask & IN_ISDIR;
        const unsigned kind = isFolder ? isDirectory : 0u;
        if (event.mask & IN_CREATE) {
            note(path, created | kind);
            if (isFolder)
                watchTree(path, false, true);
        }
        if (event.mask & IN_MOVED_TO) {
            note(path, renamed | kind);
            if (isFolder)
                watchTree(path, false, true);
        }
        if (event.mask & IN_DELETE) {
            note(path, removed | kind);
            if (isFolder)
                unwatchTree(path, false);
        }
        if (event.mask & IN_MOVED_FROM) {
            note(path, renamed | kind);
            if (isFolder)
                unwatchTree(path, true);
        }
        if (event.mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB))
            note(path, modified | kind);
    }

    void readEvents() {
        alignas(inotify_event) char buffer[64 * 1024];
        bool mustRescanTrees = false;
        for (;;) {
            const ssize_t n = ::read(inotifyFd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                handle(*event, mustRescanTrees);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (mustRescanTrees)
            rescan();
    }

    void checkMissingRoots() {
        nextMissingRootCheck.reset();
        for (qsizetype i = 0; i < roots.size(); ++i) {
            if (!rootWatched[i])
                watchRoot(i, true);
        }
    }

    void deliver() {
        QList<Event> events = std::move(batch);
        batch.clear();
        batchIndex.clear();
        batchCollapsed = false;
        batchDeadline.reset();
        if (events.isEmpty())
            return;
        try {
            callback(events);
        } catch (...) {
            // A failing receiver must not take the stream's thread (and the process) down with it.
        }
    }

    int pollTimeoutMilliseconds() const {
        std::optional<SteadyClock::time_point> due = batchDeadline;
        if (nextMissingRootCheck && (!due || *nextMissingRootCheck < *due))
            due = nextMissingRootCheck;
        if (!due)
            return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - SteadyClock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
    }
};

FileEventStream::FileEventStream(const QStringList &roots, Options options, Callback callback)
    : state_(std::make_shared<State>()) {
    for (const QString &root : roots)
        state_->roots.append(QDir::cleanPath(QFileInfo(root).absoluteFilePath()));
    state_->options = options;
    state_->callback = std::move(callback);
    state_->rootWatched.assign(static_cast<size_t>(state_->roots.size()), false);
}

FileEventStream::~FileEventStream() {
    stop();
}

bool FileEventStream::start() {
    std::lock_guard guard(state_->controlMutex);
    if (state_->running.load())
        return true;
    if (state_->thread.joinable() || state_->inotifyFd >= 0)
        return false; // a stopped stream stays stopped
    state_->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (state_->inotifyFd < 0)
        return false;
    state_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (state_->wakeFd < 0)
        return false;
    // The roots themselves are watched before start() returns, so no change right at a root is missed;
    // the folders below follow on the stream's thread.
    for (const QString &root : std::as_const(state_->roots))
        state_->addWatch(root, true);
    state_->running.store(true);
    try {
        state_->thread = std::thread(&FileEventStream::run, state_);
    } catch (const std::exception &) {
        state_->running.store(false);
        return false;
    }
    return true;
}

void FileEventStream::stop() {
    std::lock_guard guard(state_->controlMutex);
    if (!state_->thread.joinable())
        return;
    state_->stopRequested.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(state_->wakeFd, &one, sizeof one);
    if (state_->thread.get_id() == std::this_thread::get_id()) {
        // Called from the callback: the thread holds its own reference to the state and ends when the
        // callback returns.
        state_->thread.detach();
        return;
    }
    state_->thread.join();
}

bool FileEventStream::isRunning() const {
    return state_->running.load();
}

bool FileEventStream::isDegraded() const {
    return state_->degraded.load();
}

void FileEventStream::run(const std::shared_ptr<State> &state) {
    // The thread keeps the state alive on its own, so a stop() from inside the callback is safe.
    const std::shared_ptr<State> s = state;
    for (qsizetype i = 0; i < s->roots.size() && !s->stopRequested.load(); ++i)
        s->watchRoot(i, false);

    while (!s->stopRequested.load()) {
        pollfd fds[2] = {{s->inotifyFd, POLLIN, 0}, {s->wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, s->pollTimeoutMilliseconds());
        if (s->stopRequested.load())
            break;
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && (fds[0].revents & POLLIN))
            s->readEvents();
        const auto now = SteadyClock::now();
        if (s->nextMissingRootCheck && now >= *s->nextMissingRootCheck)
            s->checkMissingRoots();
        if (s->batchDeadline && SteadyClock::now() >= *s->batchDeadline)
            s->deliver();
    }
    s->running.store(false);
}

} // namespace orvex
