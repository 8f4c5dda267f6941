#pragma once

#include "single-instance/DuplicateLaunchRequest.h"
#include "single-instance/DuplicateLaunchSignal.h"
#include "single-instance/InstanceLock.h"
#include "single-instance/SingleInstanceConfiguration.h"

#include <QList>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace orvex {

class SingleInstanceController;

// How a start ended: this process runs (with its controller), another instance runs and got the
// launch, another instance holds the lock but no wake-up reached it, or the lock could not be taken for
// another reason.
struct SingleInstanceStartupResult {
    enum class Kind { run, failed, alreadyRunning, unreachable };

    Kind kind;
    std::shared_ptr<SingleInstanceController> controller; // for run
    std::optional<SingleInstanceError> error;             // for failed
};

// Decides at start-up whether this process is the one running instance, and afterwards hands every
// later launch's wake-up to the handler that the application installs. One per process; it holds the
// lock and the signal observation for as long as it lives. Handlers are set and called on the thread
// of the application's event loop. Requests are read and deleted on the signal's reader thread (those
// waiting at start-up by start(), before there is a loop), so a folder full of them never holds up that
// loop; a burst of wake-ups is one activation, and requests
// that arrive later in the burst are one more.
class SingleInstanceController {
public:
    using DuplicateLaunchHandler = std::function<void(const QList<DuplicateLaunchRequest> &)>;

    // How long a second launch keeps trying to reach an instance that holds the lock but has not yet
    // opened its signal (it may be starting at this very moment).
    static constexpr std::chrono::milliseconds defaultHandOverTimeout{5000};

    // Takes the lock, or hands `request` and the wake-up signal to the instance that holds it. While a
    // hand-over finds no signal to reach, the lock is tried again: an instance that just quit leaves
    // the launch to this process; after `handOverTimeout` the answer is unreachable (a stored request
    // stays for the instance's next wake-up). An instance that finds requests waiting when it starts
    // takes them as one wake-up, so a request is not stranded by a signal that came too early.
    static SingleInstanceStartupResult
    start(const SingleInstanceConfiguration &configuration, const DuplicateLaunchRequest &request,
          std::chrono::milliseconds handOverTimeout = defaultHandOverTimeout);

    ~SingleInstanceController();
    SingleInstanceController(const SingleInstanceController &) = delete;
    SingleInstanceController &operator=(const SingleInstanceController &) = delete;

    // Installs a handler for later launches that ignores their requests. A wake-up that came before
    // any handler is delivered to it once, at once.
    void setActivationHandler(std::function<void()> handler);
    // The same, with the requests of the launches, oldest first.
    void setDuplicateLaunchHandler(DuplicateLaunchHandler handler);

    bool isEnforcingSingleInstance() const { return lock_ != nullptr; }
    bool hasPendingActivation() const { return pendingActivation_; }
    const SingleInstanceConfiguration &configuration() const { return configuration_; }
    // Why later launches cannot wake this instance, when its signal could not be observed.
    std::optional<QString> observationError() const { return observationError_; }
    // Where the wake-up signal is received, when it is.
    QString signalSocketPath() const;

private:
    // What the reader thread has taken in and the event loop's thread not yet delivered.
    struct Inbox {
        std::mutex mutex;
        QList<DuplicateLaunchRequest> requests;
        bool activated = false;
        // A delivery is queued onto the event loop (or was dropped, before there was one).
        bool deliveryQueued = false;
    };

    explicit SingleInstanceController(SingleInstanceConfiguration configuration);
    void observeSignal();
    void deliverArrivedSignal();
    // Whether the inbox held an activation; its requests join the pending ones.
    bool takeInbox();
    void callHandler();

    SingleInstanceConfiguration configuration_;
    // Declared before the observation, so the observation stops before the lock goes.
    std::unique_ptr<InstanceLock> lock_;
    std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
    std::unique_ptr<DuplicateLaunchSignalObservation> observation_;
    std::optional<QString> observationError_;
    DuplicateLaunchHandler handler_;
    bool pendingActivation_ = false;
    QList<DuplicateLaunchRequest> pendingRequests_;
    std::weak_ptr<SingleInstanceController> self_;
};

// Convenience over SingleInstanceController::start: the controller when this process runs, nothing
// otherwise; `onFailure` hears of a failed start.
namespace SingleInstanceStartup {
std::shared_ptr<SingleInstanceController>
start(const SingleInstanceConfiguration &configuration, const DuplicateLaunchRequest &request,
      const std::function<void(const SingleInstanceError &)> &onFailure);
} // namespace SingleInstanceStartup

} // namespace orvex
