// The hot key, the settings observers and start at login.
#include "shell/AppDelegate.h"

#include "search/LauncherNotifications.h"

#include <cstdio>

namespace orvex {

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
    postHotKeyRegistrationStatusChanged(success, center_);
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
        std::printf("Failed to update run-at-login state: %s\n",
                    qPrintable(result.error->localizedDescription()));
        std::fflush(stdout);
        return;
    }
    stores_.launchAtLoginSettingsStore.preferenceStore.save(result.state != LaunchAtLoginState::disabled);
}

} // namespace orvex
