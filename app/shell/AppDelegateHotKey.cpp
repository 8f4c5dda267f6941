// The hot key, the settings observers and start at login.
#include "shell/AppDelegate.h"

#include "search/LauncherNotifications.h"

#include "hotkey-core/KeyNames.h"
#include "platform/ConsoleLog.h"

#include <QTimer>

namespace orvex {

namespace {
Q_LOGGING_CATEGORY(shellLog, "orvex.shell", QtInfoMsg)
} // namespace

void AppDelegate::setupGlobalHotKey() {
    QPointer<AppDelegate> self(this);
    hotKeyManager_->onHotKeyPressed = [self] {
        if (!self)
            return;
        const quint32 timestamp = self->hotKeyManager_->lastPressTimestamp();
        self->later([self, timestamp] {
            if (!self)
                return;
            // The press is the user action the focus request answers.
            self->pendingActivationTimestamp_ = timestamp;
            self->toggleWindow();
            self->pendingActivationTimestamp_ = 0;
        });
    };
    hotKeyObserver_ = observe(NotificationName::launcherHotKeyChanged,
                              [this](const Notification &) { reloadGlobalHotKey(); });
    reloadGlobalHotKey();
}

void AppDelegate::reloadGlobalHotKey() {
    const HotKeySettings settings = stores_.hotKeyStore.load(HotKeySettings::defaultSettings());
    const bool success = hotKeyManager_->registerHotKey(settings);
    hotKeyFailing_ = !success;
    postHotKeyRegistrationStatusChanged(success, center_);
    if (!success)
        reportHotKeyFailure(settings);
    // Another program may let the key go later (an input method that is switched off, a desktop
    // shortcut that is removed): it is tried again now and then, so that it works once it is free.
    if (!hotKeyRetryTimer_) {
        hotKeyRetryTimer_ = new QTimer(this);
        hotKeyRetryTimer_->setInterval(environment_.hotKeyRetryInterval.value_or(hotKeyRetryInterval));
        connect(hotKeyRetryTimer_, &QTimer::timeout, this, [this] { retryGlobalHotKey(false); });
    }
    if (success)
        hotKeyRetryTimer_->stop();
    else
        hotKeyRetryTimer_->start();
}

void AppDelegate::retryGlobalHotKey(bool announceFailure) {
    if (!hotKeyFailing_ || terminated_)
        return;
    // The shortcut recorder has the keys for now; its end registers them.
    if (hotKeyManager_->isSuspended())
        return;
    const HotKeySettings settings = stores_.hotKeyStore.load(HotKeySettings::defaultSettings());
    const bool success = hotKeyManager_->registerHotKey(settings);
    if (success) {
        hotKeyFailing_ = false;
        if (hotKeyRetryTimer_)
            hotKeyRetryTimer_->stop();
    }
    if (success || announceFailure)
        postHotKeyRegistrationStatusChanged(success, center_);
}

void AppDelegate::reportHotKeyFailure(const HotKeySettings &settings) {
    const QString key = hotKeyDisplayString(settings);
    const QString reason =
        describe(hotKeyManager_->lastFailure().value_or(HotKeyRegistrationFailure::refusedByServer));
    printErrorLine(QStringLiteral("Orvex Launcher could not register the hot key %1: %2").arg(key, reason));
    environment_.notifyUser(
        QStringLiteral("Hot key %1 is not available").arg(key),
        QStringLiteral("It could not be registered: %1. Orvex Launcher tries again now and "
                       "then; starting it again shows the panel.")
            .arg(reason));
}

void AppDelegate::setupMenuBarIconVisibility() {
    showMenuBarIcon_ = stores_.menuBarIconVisibilityStore.load(true);
    updateMenuBarIconVisibility();
    menuBarIconObserver_ =
        observe(NotificationName::launcherMenuBarIconVisibilityChanged, [this](const Notification &) {
            showMenuBarIcon_ = stores_.menuBarIconVisibilityStore.load(true);
            updateMenuBarIconVisibility();
        });
}

void AppDelegate::setupVersionVisibility() {
    showVersionNumber_ = stores_.versionVisibilityStore.load(true);
    versionVisibilityObserver_ =
        observe(NotificationName::launcherVersionVisibilityChanged, [this](const Notification &) {
            showVersionNumber_ = stores_.versionVisibilityStore.load(true);
        });
}

void AppDelegate::reconcileLaunchAtLogin() {
    const LaunchAtLoginPreferenceStore &preference = stores_.launchAtLoginSettingsStore.preferenceStore;
    if (const std::optional<bool> stored = preference.storedValue()) {
        applyLaunchAtLoginPreference(*stored);
        return;
    }
    // Never chosen: take what the system says, changing nothing in it.
    preference.save(launchAtLoginManager_->currentState() != LaunchAtLoginState::disabled);
}

void AppDelegate::applyLaunchAtLoginPreference(bool enabled) {
    const LaunchAtLoginUpdateResult result = launchAtLoginManager_->update(enabled);
    if (result.error) {
        printLine(shellLog(), QStringLiteral("Failed to update run-at-login state: ") +
                                  result.error->localizedDescription());
        return;
    }
    stores_.launchAtLoginSettingsStore.preferenceStore.save(result.state != LaunchAtLoginState::disabled);
}

} // namespace orvex
