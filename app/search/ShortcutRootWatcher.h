#pragma once

#include <QStringList>

#include <functional>
#include <memory>

namespace orvex {

class FileEventStream;

// Watches the shortcut roots and reports changes below them, coalesced, on its own thread: events
// arrive in batches at most every `coalescingDelay` seconds, and `onChange` runs once
// `coalescingDelay` seconds after the last batch of a burst.
class ShortcutRootWatcher {
public:
    // Kernel watches are shared by every program of the user: at most this many folders are watched,
    // the ones nearest the roots first. Changes deeper down wait for the shortcut cache's time to live.
    static constexpr int maxWatchedFolders = 4096;

    // Nothing when no root exists as a folder or the event stream cannot be started.
    static std::unique_ptr<ShortcutRootWatcher> create(const QStringList &roots, double coalescingDelay,
                                                       std::function<void()> onChange);
    // Stops first: no callback runs once the watcher is gone.
    ~ShortcutRootWatcher();

    ShortcutRootWatcher(const ShortcutRootWatcher &) = delete;
    ShortcutRootWatcher &operator=(const ShortcutRootWatcher &) = delete;

    // Synchronous: drops a pending callback, stops the stream and the watcher's thread; once it returns
    // `onChange` is never called again (not even one that was about to run). Not meant to be called
    // from `onChange` itself, where it only asks the thread to end.
    void stop();

    // The roots, made absolute and clean, that exist as folders; each path text once, in order.
    static QStringList existingDirectoryPaths(const QStringList &roots);

private:
    struct Queue;

    ShortcutRootWatcher(double coalescingDelay, std::function<void()> onChange);
    // Trailing debounce: (re)arms the one pending callback for now + the coalescing delay.
    void scheduleChangeCallback();

    double coalescingDelay_;
    std::shared_ptr<Queue> queue_;
    std::unique_ptr<FileEventStream> stream_;
};

} // namespace orvex
