#include "settings/TranslationAvailabilityCheck.h"

#include "platform/MainQueue.h"

#include <QPointer>
#include <QThreadPool>

namespace orvex {

TranslationAvailabilityCheck &TranslationAvailabilityCheck::shared() {
    // Never destroyed: a check still running at exit has somewhere to answer.
    static auto *check = new TranslationAvailabilityCheck(&TranslationLookup::appleAvailability,
                                                          &TranslationLookup::argosAvailability);
    return *check;
}

TranslationAvailabilityCheck::TranslationAvailabilityCheck(
    std::function<TranslationEngineAvailability()> appleCheck,
    std::function<TranslationEngineAvailability()> argosCheck, QObject *parent)
    : QObject(parent), appleCheck_(std::move(appleCheck)), argosCheck_(std::move(argosCheck)) {}

TranslationEngineAvailabilityTable TranslationAvailabilityCheck::table() {
    if (!started_) {
        started_ = true;
        // The guard is made here, on the GUI thread; the worker only carries it back.
        QThreadPool::globalInstance()->start(
            [guard = QPointer<TranslationAvailabilityCheck>(this), check = argosCheck_] {
                TranslationEngineAvailability answer = check();
                MainQueue::post([guard, answer = std::move(answer)] {
                    if (!guard)
                        return;
                    guard->argos_ = answer;
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
