#include "settings/TranslationAvailabilityCheck.h"

#include "platform/MainQueue.h"
#include "sources/TranslationLookupArgos.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace orvex {

namespace {

std::optional<TranslationEngineAvailability> argosAvailability(std::stop_token stop) {
    const std::optional<ArgosRuntimeStatus> status = ArgosRuntime::argosRuntimeStatus(stop);
    if (!status)
        return std::nullopt;
    return ArgosRuntime::availability(*status);
}

} // namespace

TranslationAvailabilityCheck &TranslationAvailabilityCheck::shared() {
    // Never destroyed: a check still running at exit has somewhere to answer.
    static auto *check = [] {
        auto *made =
            new TranslationAvailabilityCheck(&TranslationLookup::appleAvailability, &argosAvailability);
        // Quitting waits for the worker threads; the check's interpreter must not hold it up.
        if (QCoreApplication *application = QCoreApplication::instance())
            QObject::connect(application, &QCoreApplication::aboutToQuit, made,
                             &TranslationAvailabilityCheck::cancel);
        return made;
    }();
    return *check;
}

TranslationAvailabilityCheck::TranslationAvailabilityCheck(
    std::function<TranslationEngineAvailability()> appleCheck, ArgosCheck argosCheck, QObject *parent)
    : QObject(parent), appleCheck_(std::move(appleCheck)), argosCheck_(std::move(argosCheck)) {}

TranslationAvailabilityCheck::~TranslationAvailabilityCheck() {
    cancel();
}

void TranslationAvailabilityCheck::cancel() {
    if (!running_)
        return;
    running_->request_stop();
    running_.reset();
}

void TranslationAvailabilityCheck::observe(QObject *context, std::function<void()> redraw) {
    connect(this, &TranslationAvailabilityCheck::changed, context, std::move(redraw));
    ++observers_;
    // Nobody is left to wait for the answer.
    connect(context, &QObject::destroyed, this, [this] {
        if (--observers_ == 0)
            cancel();
    });
}

TranslationEngineAvailabilityTable TranslationAvailabilityCheck::table() {
    if (!argos_ && !running_) {
        running_.emplace();
        // The guard is made here, on the GUI thread; the worker only carries it back.
        QThreadPool::globalInstance()->start([guard = QPointer<TranslationAvailabilityCheck>(this),
                                              check = argosCheck_, stop = running_->get_token()] {
            std::optional<TranslationEngineAvailability> answer = check(stop);
            if (!answer)
                return;
            MainQueue::post([guard, stop, answer = std::move(*answer)] {
                // A check stopped after it answered is forgotten all the same.
                if (!guard || stop.stop_requested())
                    return;
                guard->argos_ = answer;
                guard->running_.reset();
                Q_EMIT guard->changed();
            });
        });
    }
    return TranslationEngineAvailabilityTable{
        {TranslationEngineID::apple, appleCheck_()},
        {TranslationEngineID::argos, argos_.value_or(TranslationEngineAvailability{true, checkingMessage})},
    };
}

} // namespace orvex
