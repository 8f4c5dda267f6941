#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace orvex {

// Change notification for whole folder trees: inotify watches on every folder below the roots, added
// as folders appear, with the events delivered in batches on the stream's own thread.
class FileEventStream {
public:
    enum Flag : unsigned {
        created = 1u << 0,
        removed = 1u << 1,
        modified = 1u << 2,
        renamed = 1u << 3,     // moved within, into or out of a watched tree
        isDirectory = 1u << 4, // the entry is a folder
        rootChanged = 1u << 5, // a root went away, or came back
        mustRescan = 1u << 6,  // events were lost: anything below `path` may have changed
    };

    struct Event {
        QString path;
        unsigned flags = 0;
    };
    using Callback = std::function<void(const QList<Event> &events)>;

    struct Options {
        // A batch is delivered this long after its first event, never sooner.
        std::chrono::milliseconds latency{500};
        // At most this many folders are watched (0: as many as the system allows).
        int maxWatches = 0;
    };

    // Roots are made absolute and clean. Nothing runs before start().
    FileEventStream(const QStringList &roots, Options options, Callback callback);
    ~FileEventStream();

    FileEventStream(const FileEventStream &) = delete;
    FileEventStream &operator=(const FileEventStream &) = delete;

    // Watches the roots and starts the stream's thread, which adds the watches below them. False when
    // the system gives no inotify instance (or no thread). Roots that do not exist yet are watched from
    // when they appear.
    bool start();
    // Synchronous: once it returns, the callback is never called again. Safe from any thread but the
    // stream's own (from inside the callback it only asks the thread to end).
    void stop();
    bool isRunning() const;
    // True once some folder went unwatched (the system's watch limit or `maxWatches`): changes there
    // go unreported and the caller's time-based refresh has to catch them.
    bool isDegraded() const;

private:
    struct State;
    static void run(const std::shared_ptr<State> &state);

    std::shared_ptr<State> state_;
};

} // namespace orvex
