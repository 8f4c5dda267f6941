#include "single-instance/SingleInstanceController.h"

#include "single-instance/DuplicateLaunchRequestStore.h"

#include "platform/MainQueue.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace orvex {

namespace {

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
                                            configuration.lockFolderPath()) ||
                deadline.hasExpired())
                return {SingleInstanceStartupResult::Kind::alreadyRunning, nullptr, std::nullopt};
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
    // The reader thread only counts and queues; the controller is looked up on the main thread, so
    // that thread never ends up owning (and destroying) the controller that joins it.
    auto handler = [weak = self_, arrived = arrivedSignals_] {
        arrived->fetch_add(1);
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
        const QDir requests(configuration_.duplicateLaunchRequestsPath());
        if (!requests.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Hidden).isEmpty())
            arrivedSignals_->fetch_add(1);
        return;
    }
    observationError_ = std::get<QString>(observed);
    std::printf("Duplicate launches cannot reach this instance: %s\n", qPrintable(*observationError_));
    std::fflush(stdout);
}

QString SingleInstanceController::signalSocketPath() const {
    return observation_ ? observation_->socketPath() : QString();
}

void SingleInstanceController::deliverArrivedSignal() {
    int arrived = arrivedSignals_->load();
    do {
        // Already delivered together with an earlier one.
        if (arrived <= 0)
            return;
    } while (!arrivedSignals_->compare_exchange_weak(arrived, arrived - 1));
    if (handler_)
        callHandler();
    else
        pendingActivation_ = true;
}

void SingleInstanceController::callHandler() {
    // Copied: the handler may replace itself.
    const DuplicateLaunchHandler handler = handler_;
    handler(DuplicateLaunchRequestStore::consumePending(configuration_));
}

void SingleInstanceController::setDuplicateLaunchHandler(DuplicateLaunchHandler handler) {
    const bool replacing = static_cast<bool>(handler_);
    handler_ = std::move(handler);
    // With a handler in place, queued signals reach whichever handler is current when they run.
    if (!handler_ || replacing)
        return;
    // Signals that came before any handler, whether or not their delivery is already queued, make
    // one activation.
    const bool arrived = arrivedSignals_->exchange(0) > 0;
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
