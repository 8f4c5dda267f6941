#pragma once

#include <QHashFunctions>
#include <QString>

#include <array>
#include <optional>

namespace orvex {

// The panel's colour themes, in their declared order (also the order of the theme catalog). The
// colours are in LauncherTheme.h; the identity is apart because it is also the stored choice.
enum class LauncherThemeID {
    graphite,
    vitesseDarkSoft,
    vitesseDarkSoftUnified,
    vitesseDarkSoftRoseHover,
    midnightBlue,
    forest,
    violetNoir,
    sunset,
    roseDust,
    frost,
    ember,
    daylight,
};

inline constexpr std::array<LauncherThemeID, 12> allLauncherThemeIDs{
    LauncherThemeID::graphite,
    LauncherThemeID::vitesseDarkSoft,
    LauncherThemeID::vitesseDarkSoftUnified,
    LauncherThemeID::vitesseDarkSoftRoseHover,
    LauncherThemeID::midnightBlue,
    LauncherThemeID::forest,
    LauncherThemeID::violetNoir,
    LauncherThemeID::sunset,
    LauncherThemeID::roseDust,
    LauncherThemeID::frost,
    LauncherThemeID::ember,
    LauncherThemeID::daylight,
};

// The case name, e.g. "vitesseDarkSoft"; also the theme's identity and its stored form.
QString rawValue(LauncherThemeID theme);
// Exactly one of the twelve case names (letter case counts); anything else is no theme.
std::optional<LauncherThemeID> launcherThemeIDFromRawValue(const QString &text);

inline size_t qHash(LauncherThemeID theme, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(theme), seed);
}

} // namespace orvex
