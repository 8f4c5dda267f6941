#pragma once

#include "panel/ResultActivationMode.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace orvex {

// Follows the Control key while the panel is shown, so that the selected row can say whether
// activating it would open or reveal (Control held reveals).
// Watches the application's key events once installed; GUI thread only. A key released while another
// client holds the keyboard (the hot key's own grab, for one) sends the panel no event, so while the
// panel is shown and Control counts as held, the keyboard's real state is read again every little while
// until the key is up.
class ResultActivationModeMonitor : public QObject {
    Q_OBJECT

public:
    // Reads which modifiers the keyboard holds now.
    using ModifierQuery = std::function<Qt::KeyboardModifiers()>;
    static constexpr std::chrono::milliseconds heldKeyInterval{50};

    // Refreshes from the keyboard on every "WindowAppeared" while installed, and stops reading it on
    // "WindowHidden". An empty query asks the window system (the X server's keyboard state).
    explicit ResultActivationModeMonitor(NotificationCenter &center = NotificationCenter::defaultCenter(),
                                         QObject *parent = nullptr, ModifierQuery query = {});
    ~ResultActivationModeMonitor() override;

    ResultActivationMode activeModifierMode() const { return mode_; }

    // Reads the keyboard's modifiers now and starts following key events (when not already). The panel
    // counts as shown from here until "WindowHidden".
    void install();
    void remove();
    bool isInstalled() const { return installed_; }
    // Whether the keyboard is being read again for a key release that may not come as an event.
    bool isWatchingHeldKey() const { return heldKeyTimer_.isActive(); }

    // Sets the mode from the keyboard's modifiers as they are now.
    void refresh();
    void refresh(Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    void activeModifierModeChanged(ResultActivationMode mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateHeldKeyWatch();

    NotificationCenter &center_;
    ModifierQuery query_;
    QList<NotificationCenter::ObserverToken> observers_;
    QTimer heldKeyTimer_;
    ResultActivationMode mode_ = ResultActivationMode::open;
    bool installed_ = false;
    bool panelShown_ = false;
};

} // namespace orvex
