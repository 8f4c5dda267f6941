#pragma once

#include <QLatin1StringView>

namespace orvex {

// Names of the notifications about the launcher panel itself: its window was shown or hidden (posted by
// the shell and by the panel's host) and its colour theme changed (posted by the theme store). The raw
// texts are fixed; the window's two carry no "Launcher" prefix.
namespace NotificationName {

inline constexpr QLatin1StringView launcherThemeChanged("LauncherThemeChanged");
inline constexpr QLatin1StringView launcherWindowAppeared("WindowAppeared");
inline constexpr QLatin1StringView launcherWindowHidden("WindowHidden");

} // namespace NotificationName

} // namespace orvex
