#include "shell/SettingsFieldEditor.h"

#include "panel/PanelHost.h"
#include "search/LauncherNotifications.h"
#include "settings/MenuBarIconVisibilityStore.h"

#include <QLineEdit>
#include <QMenu>

namespace orvex {

SettingsFieldEditor::SettingsFieldEditor(QLineEdit &field, UserDefaults &defaults, NotificationCenter &center,
                                         QObject *parent)
    : QObject(parent), field_(field), defaults_(defaults), center_(center) {}

QMenu *SettingsFieldEditor::menu() {
    QMenu *menu = field_.createStandardContextMenu();
    if (!menu)
        menu = new QMenu;
    menu->addSeparator();
    QAction *menuBarIcon = menu->addAction(QStringLiteral("Show Tray Icon"));
    menuBarIcon->setCheckable(true);
    menuBarIcon->setChecked(MenuBarIconVisibilityStore(defaults_).load(true));
    connect(menuBarIcon, &QAction::triggered, this, &SettingsFieldEditor::toggleMenuBarIcon);
    QAction *settings = menu->addAction(QStringLiteral("Settings\u2026"));
    connect(settings, &QAction::triggered, this, &SettingsFieldEditor::openSettings);
    return menu;
}

void SettingsFieldEditor::toggleMenuBarIcon() {
    const MenuBarIconVisibilityStore store(defaults_);
    defaults_.set(store.showMenuBarIconKey, PlistValue(!store.load(true)));
    center_.post(QString(NotificationName::launcherMenuBarIconVisibilityChanged));
}

void SettingsFieldEditor::openSettings() {
    if (PanelHost *host = PanelHost::current())
        host->showSettingsWindow();
}

} // namespace orvex
