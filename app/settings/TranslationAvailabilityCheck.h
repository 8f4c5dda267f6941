#pragma once

#include "settings/TranslationSettingsControlsView.h"

#include <QObject>

#include <functional>
#include <optional>
#include <stop_token>

namespace orvex {

// The translation engines' availability as the settings window shows it. Apple Translation's is known
// at once; Argos's comes from its runtime check, which starts an interpreter and may take more than a
// second, so it runs on a worker the first time the table is asked for, and changed() tells the window
// to draw the answer. Until then the Argos row says that it is being checked. A check still running when
// the window or the launcher goes is stopped, so that neither waits for it. GUI thread only.
class TranslationAvailabilityCheck : public QObject {
    Q_OBJECT

public:
    static inline const QString checkingMessage = QStringLiteral("Checking whether Argos can run\u2026");

    // Runs on a worker; nothing when the stop was requested before it knew.
    using ArgosCheck = std::function<std::optional<TranslationEngineAvailability>(std::stop_token)>;

    // The launcher's: the translation lookup's own checks, stopped when the application quits.
    static TranslationAvailabilityCheck &shared();

    // `appleCheck` runs where the table is asked for, `argosCheck` on a worker, until it has answered.
    TranslationAvailabilityCheck(std::function<TranslationEngineAvailability()> appleCheck,
                                 ArgosCheck argosCheck, QObject *parent = nullptr);
    // Stops a check still running.
    ~TranslationAvailabilityCheck() override;

    // Starts the Argos check when none runs and none has answered; returns at once.
    TranslationEngineAvailabilityTable table();
    bool isArgosKnown() const { return argos_.has_value(); }
    bool isArgosBeingChecked() const { return running_.has_value(); }
    // Stops the running check: it answers nothing, and the next table() checks again.
    void cancel();
    // Calls `redraw` while `context` lives whenever the answer comes; once the last such context is gone,
    // a check still running is stopped.
    void observe(QObject *context, std::function<void()> redraw);

Q_SIGNALS:
    void changed();

private:
    std::function<TranslationEngineAvailability()> appleCheck_;
    ArgosCheck argosCheck_;
    std::optional<TranslationEngineAvailability> argos_;
    // The running check's.
    std::optional<std::stop_source> running_;
    int observers_ = 0;
};

} // namespace orvex
