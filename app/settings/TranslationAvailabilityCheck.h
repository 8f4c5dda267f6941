#pragma once

#include "settings/TranslationSettingsControlsView.h"

#include <QObject>

#include <functional>
#include <optional>

namespace orvex {

// The translation engines' availability as the settings window shows it. Apple Translation's is known
// at once; Argos's comes from its runtime check, which starts an interpreter and may take more than a
// second, so it runs on a worker the first time the table is asked for, and changed() tells the window
// to draw the answer. Until then the Argos row says that it is being checked. GUI thread only.
class TranslationAvailabilityCheck : public QObject {
    Q_OBJECT

public:
    static inline const QString checkingMessage = QStringLiteral("Checking whether Argos can run\u2026");

    // The launcher's: the translation lookup's own checks.
    static TranslationAvailabilityCheck &shared();

    // `appleCheck` runs where the table is asked for, `argosCheck` on a worker, once.
    TranslationAvailabilityCheck(std::function<TranslationEngineAvailability()> appleCheck,
                                 std::function<TranslationEngineAvailability()> argosCheck,
                                 QObject *parent = nullptr);

    // Starts the Argos check the first time; returns at once.
    TranslationEngineAvailabilityTable table();
    bool isArgosKnown() const { return argos_.has_value(); }

Q_SIGNALS:
    void changed();

private:
    std::function<TranslationEngineAvailability()> appleCheck_;
    std::function<TranslationEngineAvailability()> argosCheck_;
    std::optional<TranslationEngineAvailability> argos_;
    bool started_ = false;
};

} // namespace orvex
