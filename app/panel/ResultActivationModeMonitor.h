#pragma once

#include "platform/NotificationCenter.h"
#include "search/LauncherLogic.h"

#include <QObject>

namespace orvex {

// Follows the Control key while the panel is shown, so that the selected row can say whether
// activating it would open or reveal (Control held reveals).
// Watches the application's key events once installed; GUI thread only.
class ResultActivationModeMonitor : public QObject {
    Q_OBJECT

public:
    // Refreshes from the keyboard on every "WindowAppeared" while installed.
    explicit ResultActivationModeMonitor(NotificationCenter &center = NotificationCenter::defaultCenter(),
                                         QObject *parent = nullptr);
    ~ResultActivationModeMonitor() override;

    ResultActivationMode activeModifierMode() const { return mode_; }

    // Reads the keyboard's modifiers now and starts following key events (when not already).
    void install();
    void remove();
    bool isInstalled() const { return installed_; }

    // Sets the mode from the keyboard's modifiers as they are now.
    void refresh();
    void refresh(Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    void activeModifierModeChanged(ResultActivationMode mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    NotificationCenter &center_;
    NotificationCenter::ObserverToken appearedObserver_ = 0;
    ResultActivationMode mode_ = ResultActivationMode::open;
    bool installed_ = false;
};

} // namespace orvex
