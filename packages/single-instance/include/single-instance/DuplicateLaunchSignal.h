#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <variant>

namespace orvex {

// A running observation of the wake-up signal: a Unix datagram socket and the thread that reads it.
// Each datagram calls the handler once, on that thread. Cancelling (or destroying) it stops the thread
// and removes the socket file; never cancel from inside the handler.
class DuplicateLaunchSignalObservation {
public:
    ~DuplicateLaunchSignalObservation();
    DuplicateLaunchSignalObservation(const DuplicateLaunchSignalObservation &) = delete;
    DuplicateLaunchSignalObservation &operator=(const DuplicateLaunchSignalObservation &) = delete;

    // Stops observing; later calls do nothing.
    void cancel();
    bool isCancelled() const { return cancelled_; }

    QString name() const { return name_; }
    // Where the socket was bound (for diagnostics and tests).
    QString socketPath() const { return socketPath_; }

private:
    friend class DuplicateLaunchSignal;
    DuplicateLaunchSignalObservation() = default;
    void readLoop();

    QString name_;
    QString socketPath_;
    std::function<void()> handler_;
    int folder_ = -1;
    int socket_ = -1;
    int stop_ = -1;
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
    std::thread reader_;
    bool cancelled_ = false;
};

// The wake-up signal that a second launch sends to the running instance: a datagram on a Unix socket
// named after the signal. The socket lives in $XDG_RUNTIME_DIR, or in `fallbackFolder` when that
// folder is missing, not private to this user, or would make the address too long. Only a folder that
// this user owns and nobody else may enter (0700) is used, and the socket is 0600, so no other user
// can receive or send the signal.
class DuplicateLaunchSignal {
public:
    // Sends the signal; true when an observer's socket took it. Never blocks longer than a second.
    static bool post(const QString &name, const QString &fallbackFolder);

    // Binds the signal's socket, first removing one that a crashed observer left, and calls `handler`
    // on a reader thread for each signal. Only the holder of the instance lock may observe. The
    // failure says why no socket could be bound.
    static std::variant<std::unique_ptr<DuplicateLaunchSignalObservation>, QString>
    observe(const QString &name, const QString &fallbackFolder, std::function<void()> handler);

    DuplicateLaunchSignal() = delete;
};

} // namespace orvex
