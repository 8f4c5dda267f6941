#include "search/ShortcutRootWatcher.h"

#include "platform/FileEventStream.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include <pthread.h>

namespace orvex {

// The watcher's serial queue: one thread that runs the debounced callback. The thread holds its own
// reference, so the queue outlives a watcher that is torn down from inside the callback.
struct ShortcutRootWatcher::Queue {
    using SteadyClock = std::chrono::steady_clock;

    std::function<void()> onChange;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<SteadyClock::time_point> pendingCallback;
    bool stopping = false;
    std::mutex controlMutex; // stop()
    std::thread thread;

    static void run(const std::shared_ptr<Queue> &queue) {
        const std::shared_ptr<Queue> q = queue;
        // The queue is "orvex-launcher.shortcut-root-watcher"; thread names stop at 15 bytes.
        ::pthread_setname_np(::pthread_self(), "shortcut-watch");
        std::unique_lock lock(q->mutex);
        while (!q->stopping) {
            if (!q->pendingCallback) {
                q->wake.wait(lock);
                continue;
            }
            const auto due = *q->pendingCallback;
            if (SteadyClock::now() < due) {
                q->wake.wait_until(lock, due);
                continue;
            }
            q->pendingCallback.reset();
            lock.unlock();
            try {
                q->onChange();
            } catch (...) {
                // The callback's failure stays with it; the watcher keeps watching.
            }
            lock.lock();
        }
    }

    void stop() {
        std::lock_guard control(controlMutex);
        {
            std::lock_guard guard(mutex);
            stopping = true;
            pendingCallback.reset();
        }
        wake.notify_all();
        if (!thread.joinable())
            return;
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
};

std::unique_ptr<ShortcutRootWatcher> ShortcutRootWatcher::create(const QStringList &roots,
                                                                 double coalescingDelay,
                                                                 std::function<void()> onChange) {
    const QStringList paths = existingDirectoryPaths(roots);
    if (paths.isEmpty())
        return nullptr;

    std::unique_ptr<ShortcutRootWatcher> watcher(
        new ShortcutRootWatcher(coalescingDelay, std::move(onChange)));
    try {
        watcher->queue_->thread = std::thread(&Queue::run, watcher->queue_);
    } catch (const std::exception &) {
        return nullptr;
    }

    FileEventStream::Options options;
    options.latency = std::chrono::milliseconds(std::llround(std::max(coalescingDelay, 0.0) * 1000));
    options.maxWatches = maxWatchedFolders;
    // The stream is stopped before the watcher's fields go, so the raw pointer never dangles.
    watcher->stream_ = std::make_unique<FileEventStream>(
        paths, options,
        [self = watcher.get()](const QList<FileEventStream::Event> &) { self->scheduleChangeCallback(); });
    if (!watcher->stream_->start())
        return nullptr;
    return watcher;
}

ShortcutRootWatcher::ShortcutRootWatcher(double coalescingDelay, std::function<void()> onChange)
    : coalescingDelay_(coalescingDelay), queue_(std::make_shared<Queue>()) {
    queue_->onChange = std::move(onChange);
}

ShortcutRootWatcher::~ShortcutRootWatcher() {
    stop();
}

void ShortcutRootWatcher::stop() {
    // The stream first, so nothing arms a callback while the queue winds down.
    if (stream_)
        stream_->stop();
    queue_->stop();
}

void ShortcutRootWatcher::scheduleChangeCallback() {
    const auto delay = std::chrono::duration_cast<Queue::SteadyClock::duration>(
        std::chrono::duration<double>(std::max(coalescingDelay_, 0.0)));
    {
        std::lock_guard guard(queue_->mutex);
        if (queue_->stopping)
            return;
        queue_->pendingCallback = Queue::SteadyClock::now() + delay;
    }
    queue_->wake.notify_all();
}

QStringList ShortcutRootWatcher::existingDirectoryPaths(const QStringList &roots) {
    QStringList paths;
    for (const QString &root : roots) {
        if (root.isEmpty())
            continue;
        const QString path = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
        if (QFileInfo(path).isDir() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

} // namespace orvex
