#pragma once

#include "settings/NotionSettingsModel.h"
#include "settings/SettingsStores.h"
#include "settings/TranslationSettingsControlsView.h"

#include "platform/NotificationCenter.h"

#include "launch-at-login/LaunchAtLoginManager.h"

#include <functional>
#include <memory>
#include <optional>

namespace orvex {

// Everything the settings view is built from: the stores it edits, where the Notion test goes, the
// centre its notifications are posted on and where the translation engines' availability comes from.
// production() is the launcher's; tests build theirs over their own defaults database.
struct SettingsEnvironment {
    SettingsStores stores;
    NotionSettingsStore notionStore;
    NotionConnectionTestConfiguration notionConnection;
    NotificationCenter *center = nullptr;
    // Asked each time the translation controls are drawn.
    std::function<TranslationEngineAvailabilityTable()> translationAvailability;
    // Calls `redraw` (while `context` lives) whenever the availability has news, and stops a check still
    // running once no such context is left; none: it never has.
    std::function<void(QObject *context, std::function<void()> redraw)> observeTranslationAvailability;
    // Registers the launcher to start at login and reports whether it is.
    std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager;
    // Called with true when the shortcut recorder starts and false when it ends: the shell suspends its
    // global key grab meanwhile (GlobalHotKeyManager::setSuspended), so the current hot key reaches the
    // recorder instead of toggling the panel.
    std::function<void(bool recording)> hotKeyRecordingChanged;
    // Why the launcher's last hot-key registration failed, in words that follow "Reason: " ("another
    // program holds it"); asked when a failure is reported. None, or an answer of none: not known.
    std::function<std::optional<QString>()> hotKeyRegistrationFailureReason;

    static SettingsEnvironment production();
    // Every store on `defaults`; the engines' availability as given (none: every engine available,
    // without a message line); the Notion test goes to a closed loopback port until the caller says where.
    static SettingsEnvironment
    over(UserDefaults &defaults, NotificationCenter &center,
         std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager,
         std::function<TranslationEngineAvailabilityTable()> translationAvailability = {});

    // Apple Translation's and Argos's availability as the translation lookup reports them, Argos's once
    // its check on a worker has answered (TranslationAvailabilityCheck::shared()).
    static TranslationEngineAvailabilityTable systemTranslationAvailability();
};

} // namespace orvex
