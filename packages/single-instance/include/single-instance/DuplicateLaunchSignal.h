#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

namespace orvex {

// A running observation of the wake-up signal: a Unix datagram socket and the thread that reads it.
// Signals come in bursts (a script that starts the program in a loop, or a flood of datagrams): the
// reader takes every datagram waiting at once, and a burst lasts while signals keep arriving less than
// `quietTime` apart (by when they arrived, however late the reader gets to them). The handler is called at
// the start of a burst and, when more signals came since its last call, at most every `longestBurst` while
// the burst lasts and once at its end. It runs on the reader thread. Cancelling (or destroying) the
// observation stops the thread and removes the socket file; never cancel from inside the handler.
class DuplicateLaunchSignalObservation {
public:
    // How the handler was called: for the first signal of a burst, or for those that followed it (and
    // for poke()).
    enum class Call { burstBegan, burstContinued };
    using Handler = std::function<void(Call)>;

    static constexpr std::chrono::milliseconds quietTime{50};
    static constexpr std::chrono::milliseconds longestBurst{1000};

    ~DuplicateLaunchSignalObservation();
    DuplicateLaunchSignalObservation(const DuplicateLaunchSignalObservation &) = delete;
    DuplicateLaunchSignalObservation &operator=(const DuplicateLaunchSignalObservation &) = delete;

    // Makes the reader call the handler with Call::burstContinued, as for signals that came during a
    // burst, without any signal.
    void poke();
    // Stops observing; later calls do nothing.
    void cancel();
    bool isCancelled() const { return cancelled_; }

    QString name() const { return name_; }
    // Where the socket was bound (for diagnostics and tests).
    QString socketPath() const { return socketPath_; }

private:
    friend class DuplicateLaunchSignal;
    DuplicateLaunchSignalObservation() = default;
    // What drain() took: when each datagram arrived, oldest first, and whether there was a poke.
    struct Drained {
        std::vector<std::chrono::system_clock::time_point> arrivals;
        bool poked = false;
    };

    void readLoop();
    // Takes every datagram waiting, and the pokes.
    Drained drain();

    QString name_;
    QString socketPath_;
    Handler handler_;
    int folder_ = -1;
    int socket_ = -1;
    int wake_ = -1;
    std::atomic<bool> stopping_{false};
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
    std::thread reader_;
    bool cancelled_ = false;
};

// The wake-up signal that a second launch sends to the running instance: a datagram on a Unix socket
// named after the signal. The socket lives in $XDG_RUNTIME_DIR, or in `fallbackFolder` when that
// folder is missing, not private to this user, would make the address too long, or holds something
// else under the signal's name. Only a folder that this user owns and nobody else may enter (0700) is
// used, and the socket is 0600, so no other user can receive or send the signal.
class DuplicateLaunchSignal {
public:
    // Sends the signal to every place an observer may listen, in the order observe() tries them, until
    // one takes it; true when one did. Only a socket of this user's counts: a link or anything else at
    // the name is passed by. Never blocks longer than a second a place.
    static bool post(const QString &name, const QString &fallbackFolder);

    // Where an observer of the signal may listen, in the order they are tried (for messages and tests).
    static QStringList socketPaths(const QString &name, const QString &fallbackFolder);

    // Binds the signal's socket in the first place that takes it, first removing one that a crashed
    // observer left, and calls `handler` on a reader thread for each burst of signals. A foreign entry
    // under the name in $XDG_RUNTIME_DIR is left alone and the fallback folder used; in the fallback
    // folder (the program's own) anything but a folder is replaced. Only the holder of the instance lock
    // may observe. The failure says why no socket could be bound.
    static std::variant<std::unique_ptr<DuplicateLaunchSignalObservation>, QString>
    observe(const QString &name, const QString &fallbackFolder,
            DuplicateLaunchSignalObservation::Handler handler);

    DuplicateLaunchSignal() = delete;
};

} // namespace orvex
