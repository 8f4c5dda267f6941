#pragma once

#include "platform/NotificationCenter.h"

#include <QLatin1StringView>

#include <optional>

namespace orvex {

// Names of the process-wide change notifications through which the settings window, the application
// shell, the launcher panel and the search core tell each other that something changed (the panel's own
// window and theme notifications are in panel/PanelNotifications.h). The raw texts are fixed;
// "ShowSnippetsChanged" carries no "Launcher" prefix.
namespace NotificationName {

inline constexpr QLatin1StringView launcherIconSettingsChanged("LauncherIconSettingsChanged");
inline constexpr QLatin1StringView launcherWindowSnapChanged("LauncherWindowSnapChanged");
inline constexpr QLatin1StringView
    launcherMenuBarIconVisibilityChanged("LauncherMenuBarIconVisibilityChanged");
inline constexpr QLatin1StringView launcherVersionVisibilityChanged("LauncherVersionVisibilityChanged");
inline constexpr QLatin1StringView launcherScoreVisibilityChanged("LauncherScoreVisibilityChanged");
// Posted by the search core on the main thread after source data changed; the panel searches again.
inline constexpr QLatin1StringView launcherSearchDataRefreshed("LauncherSearchDataRefreshed");
inline constexpr QLatin1StringView launcherSearchDebounceChanged("LauncherSearchDebounceChanged");
inline constexpr QLatin1StringView launcherRankingSettingsChanged("LauncherRankingSettingsChanged");
inline constexpr QLatin1StringView launcherHotKeyChanged("LauncherHotKeyChanged");
// Carries NotificationUserInfoKey::success.
inline constexpr QLatin1StringView
    launcherHotKeyRegistrationStatusChanged("LauncherHotKeyRegistrationStatusChanged");
inline constexpr QLatin1StringView launcherSessionPersistenceChanged("LauncherSessionPersistenceChanged");
// Carries NotificationUserInfoKey::hasResults.
inline constexpr QLatin1StringView launcherResultsVisibilityChanged("LauncherResultsVisibilityChanged");
inline constexpr QLatin1StringView launcherShowSnippetsChanged("ShowSnippetsChanged");

} // namespace NotificationName

// Keys of the Boolean payloads that two of the notifications carry.
namespace NotificationUserInfoKey {

inline constexpr QLatin1StringView success("success");
inline constexpr QLatin1StringView hasResults("hasResults");

} // namespace NotificationUserInfoKey

// Posts "LauncherHotKeyRegistrationStatusChanged" with its "success" payload.
void postHotKeyRegistrationStatusChanged(bool success,
                                         NotificationCenter &center = NotificationCenter::defaultCenter());
// Posts "LauncherResultsVisibilityChanged" with its "hasResults" payload.
void postResultsVisibilityChanged(bool hasResults,
                                  NotificationCenter &center = NotificationCenter::defaultCenter());

// The Boolean payload under `key`; nothing when the notification does not carry it.
std::optional<bool> notificationFlag(const Notification &notification, QLatin1StringView key);

} // namespace orvex
