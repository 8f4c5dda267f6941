#include "single-instance/SingleInstanceController.h"

#include "single-instance/DuplicateLaunchRequestStore.h"

#include "platform/ConsoleLog.h"
#include "platform/MainQueue.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <utility>

namespace orvex {

namespace {

Q_LOGGING_CATEGORY(instanceLog, "orvex.instance", QtInfoMsg)

constexpr std::chrono::milliseconds handOverRetryInterval{10};

} // namespace

SingleInstanceController::SingleInstanceController(SingleInstanceConfiguration configuration)
    : configuration_(std::move(configuration)) {}

SingleInstanceController::~SingleInstanceController() = default;

SingleInstanceStartupResult SingleInstanceController::start(const SingleInstanceConfiguration &configuration,
                                                            const DuplicateLaunchRequest &request,
                                                            std::chrono::milliseconds handOverTimeout) {
    auto make = [&configuration] {
        std::shared_ptr<SingleInstanceController> controller(new SingleInstanceController(configuration));
        controller->self_ = controller;
        return controller;
    };
    if (configuration.policy.allowsMultipleInstances())
        return {SingleInstanceStartupResult::Kind::run, make(), std::nullopt};

    auto acquired = InstanceLock::acquire(configuration.lockPath());
    const auto *error = std::get_if<SingleInstanceError>(&acquired);
    if (error && *error != SingleInstanceError(InstanceLockError::alreadyRunning())) {
        DuplicateLaunchRequestStore::post(request, configuration);
        return {SingleInstanceStartupResult::Kind::failed, nullptr, *error};
    }

    if (error) {
        // Another instance holds the lock. Its signal may not be open yet when it is starting too, so
        // keep trying for a while; if the holder quits meanwhile, this process takes over.
        QString storedRequest;
        if (!request.isEmpty())
            storedRequest = DuplicateLaunchRequestStore::enqueue(request, configuration).path;
        const QDeadlineTimer deadline(handOverTimeout);
        for (;;) {
            if (DuplicateLaunchSignal::post(configuration.activationSignalName,
                                            configuration.lockFolderPath()))
                return {SingleInstanceStartupResult::Kind::alreadyRunning, nullptr, std::nullopt};
            if (deadline.hasExpired())
                return {SingleInstanceStartupResult::Kind::unreachable, nullptr, std::nullopt};
            QThread::msleep(static_cast<unsigned long>(handOverRetryInterval.count()));
            acquired = InstanceLock::acquire(configuration.lockPath());
            if (std::holds_alternative<std::unique_ptr<InstanceLock>>(acquired)) {
                // This launch is the instance now; its own request is not for anyone.
                if (!storedRequest.isEmpty())
                    QFile::remove(storedRequest);
                break;
            }
        }
    }

    std::shared_ptr<SingleInstanceController> controller = make();
    controller->lock_ = std::move(std::get<std::unique_ptr<InstanceLock>>(acquired));
    controller->observeSignal();
    return {SingleInstanceStartupResult::Kind::run, controller, std::nullopt};
}

void SingleInstanceController::observeSignal() {
    // The reader thread reads the requests and queues one delivery at a time; the controller is looked
    // up on the main thread, so that the reader never ends up owning (and destroying) the controller
    // that joins it.
    auto handler = [weak = self_, inbox = inbox_,
                    configuration = configuration_](DuplicateLaunchSignalObservation::Call call) {
        QList<DuplicateLaunchRequest> requests = DuplicateLaunchRequestStore::consumePending(configuration);
        // What follows the first signal of a burst only matters when it brought requests.
        if (call == DuplicateLaunchSignalObservation::Call::burstContinued && requests.isEmpty())
            return;
        {
            const std::lock_guard lock(inbox->mutex);
            inbox->requests.append(std::move(requests));
            inbox->activated = true;
            if (inbox->deliveryQueued)
                return;
            inbox->deliveryQueued = true;
        }
        MainQueue::post([weak] {
            if (const std::shared_ptr<SingleInstanceController> controller = weak.lock())
                controller->deliverArrivedSignal();
        });
    };
    auto observed = DuplicateLaunchSignal::observe(configuration_.activationSignalName,
                                                   configuration_.lockFolderPath(), std::move(handler));
    if (auto *observation = std::get_if<std::unique_ptr<DuplicateLaunchSignalObservation>>(&observed)) {
        observation_ = std::move(*observation);
        // A launch that handed over while this instance was still opening its signal may have given
        // up on the signal, but its request is there: it counts as a wake-up.
        observation_->poke();
        return;
    }
    observationError_ = std::get<QString>(observed);
    printLine(instanceLog(),
              QStringLiteral("Duplicate launches cannot reach this instance: ") + *observationError_);
}

QString SingleInstanceController::signalSocketPath() const {
    return observation_ ? observation_->socketPath() : QString();
}

bool SingleInstanceController::takeInbox() {
    QList<DuplicateLaunchRequest> requests;
    {
        const std::lock_guard lock(inbox_->mutex);
        if (!inbox_->activated)
            return false;
        requests = std::exchange(inbox_->requests, {});
        inbox_->activated = false;
        // From here on a new signal queues a delivery of its own.
        inbox_->deliveryQueued = false;
    }
    pendingRequests_.append(std::move(requests));
    return true;
}

void SingleInstanceController::deliverArrivedSignal() {
    if (!takeInbox())
        return;
    if (handler_)
        callHandler();
    else
        pendingActivation_ = true;
}

void SingleInstanceController::callHandler() {
    // Copied: the handler may replace itself.
    const DuplicateLaunchHandler handler = handler_;
    QList<DuplicateLaunchRequest> requests = std::exchange(pendingRequests_, {});
    // Each reading is oldest first; several readings together are sorted again.
    std::stable_sort(requests.begin(), requests.end(),
                     [](const DuplicateLaunchRequest &a, const DuplicateLaunchRequest &b) {
                         return a.createdAt < b.createdAt;
                     });
    handler(requests);
}

void SingleInstanceController::setDuplicateLaunchHandler(DuplicateLaunchHandler handler) {
    const bool replacing = static_cast<bool>(handler_);
    handler_ = std::move(handler);
    // With a handler in place, queued signals reach whichever handler is current when they run.
    if (!handler_ || replacing)
        return;
    // Signals that came before any handler, whether or not their delivery is already queued (or was
    // dropped, before the event loop existed), make one activation.
    const bool arrived = takeInbox();
    if (pendingActivation_ || arrived) {
        pendingActivation_ = false;
        callHandler();
    }
}

void SingleInstanceController::setActivationHandler(std::function<void()> handler) {
    if (!handler) {
        setDuplicateLaunchHandler({});
        return;
    }
    setDuplicateLaunchHandler(
        [handler = std::move(handler)](const QList<DuplicateLaunchRequest> &) { handler(); });
}

std::shared_ptr<SingleInstanceController>
SingleInstanceStartup::start(const SingleInstanceConfiguration &configuration,
                             const DuplicateLaunchRequest &request,
                             const std::function<void(const SingleInstanceError &)> &onFailure) {
    SingleInstanceStartupResult result = SingleInstanceController::start(configuration, request);
    if (result.kind == SingleInstanceStartupResult::Kind::failed && onFailure)
        onFailure(*result.error);
    return result.controller;
}

} // namespace orvex
