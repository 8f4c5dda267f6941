#pragma once

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QObject>

class QLineEdit;
class QMenu;

namespace orvex {

// The context menu of the panel's search field: the field's own editing commands, then a separator,
// "Show Tray Icon" (checked while the status item is shown) and "Settings…". Owned by the panel
// window and reused for the window's life.
class SettingsFieldEditor : public QObject {
    Q_OBJECT

public:
    SettingsFieldEditor(QLineEdit &field, UserDefaults &defaults, NotificationCenter &center,
                        QObject *parent = nullptr);

    // A new menu for the field; the caller owns it.
    QMenu *menu();

    // Flips the stored menu-bar icon visibility and posts "LauncherMenuBarIconVisibilityChanged"; the
    // application adds or removes the status item on it.
    void toggleMenuBarIcon();
    // The application's settings window, through the installed panel host; nothing without one.
    void openSettings();

private:
    QLineEdit &field_;
    UserDefaults &defaults_;
    NotificationCenter &center_;
};

} // namespace orvex
