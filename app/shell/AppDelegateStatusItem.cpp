// The status item and its menu.
#include "shell/AppDelegate.h"

#include "shell/LauncherBranding.h"

#include "search/LauncherNotifications.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace orvex {

namespace {

const QString showSnippetsKey = QStringLiteral("showSnippets");

} // namespace

void AppDelegate::updateMenuBarIconVisibility() {
    if (!showMenuBarIcon_) {
        delete statusItem_;
        statusItem_ = nullptr;
        return;
    }
    if (!statusItem_) {
        statusItem_ = new QSystemTrayIcon(this);
        // Both buttons open the same menu, built anew on every click.
        connect(statusItem_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
                        statusBarButtonClicked();
                });
    }
    statusItem_->setIcon(LauncherBranding::statusBarImage());
    statusItem_->setToolTip(applicationName);
    statusItem_->show();
}

QMenu *AppDelegate::buildStatusMenu() {
    auto *menu = new QMenu;
    menu->setObjectName(QStringLiteral("StatusMenu"));
    connect(menu->addAction(QStringLiteral("Show Launcher")), &QAction::triggered, this,
            &AppDelegate::showWindow);
    QAction *settings = menu->addAction(QStringLiteral("Settings\u2026"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &AppDelegate::showSettingsWindow);
    connect(menu->addAction(QStringLiteral("Permission Setup\u2026")), &QAction::triggered, this,
            &AppDelegate::showPermissionsOnboardingWindow);
    menu->addSeparator();
    auto addToggle = [&](const QString &title, bool checked, void (AppDelegate::*toggle)()) {
        QAction *action = menu->addAction(title);
        action->setCheckable(true);
        action->setChecked(checked);
        connect(action, &QAction::triggered, this, toggle);
    };
    addToggle(QStringLiteral("Show Search Snippets"), defaults_.boolValue(showSnippetsKey).value_or(false),
              &AppDelegate::toggleSnippets);
    addToggle(QStringLiteral("Show Version Number"), showVersionNumber_, &AppDelegate::toggleVersionNumber);
    addToggle(QStringLiteral("Show Tray Icon"), showMenuBarIcon_, &AppDelegate::toggleMenuBarIcon);
    menu->addSeparator();
    QAction *quit = menu->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, [this] { terminate_(); });
    return menu;
}

void AppDelegate::statusBarButtonClicked() {
    QMenu *menu = buildStatusMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(QCursor::pos());
}

void AppDelegate::toggleSnippets() {
    defaults_.set(showSnippetsKey, PlistValue(!defaults_.boolValue(showSnippetsKey).value_or(false)));
    center_.post(QString(NotificationName::launcherShowSnippetsChanged));
}

void AppDelegate::toggleVersionNumber() {
    defaults_.set(stores_.versionVisibilityStore.showVersionNumberKey, PlistValue(!showVersionNumber_));
    center_.post(QString(NotificationName::launcherVersionVisibilityChanged));
}

void AppDelegate::toggleMenuBarIcon() {
    defaults_.set(stores_.menuBarIconVisibilityStore.showMenuBarIconKey, PlistValue(!showMenuBarIcon_));
    center_.post(QString(NotificationName::launcherMenuBarIconVisibilityChanged));
}

} // namespace orvex
