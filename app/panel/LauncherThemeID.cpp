#include "panel/LauncherThemeID.h"

namespace orvex {

QString rawValue(LauncherThemeID theme) {
    switch (theme) {
    case LauncherThemeID::graphite:
        return QStringLiteral("graphite");
    case LauncherThemeID::vitesseDarkSoft:
        return QStringLiteral("vitesseDarkSoft");
    case LauncherThemeID::vitesseDarkSoftUnified:
        return QStringLiteral("vitesseDarkSoftUnified");
    case LauncherThemeID::vitesseDarkSoftRoseHover:
        return QStringLiteral("vitesseDarkSoftRoseHover");
    case LauncherThemeID::midnightBlue:
        return QStringLiteral("midnightBlue");
    case LauncherThemeID::forest:
        return QStringLiteral("forest");
    case LauncherThemeID::violetNoir:
        return QStringLiteral("violetNoir");
    case LauncherThemeID::sunset:
        return QStringLiteral("sunset");
    case LauncherThemeID::roseDust:
        return QStringLiteral("roseDust");
    case LauncherThemeID::frost:
        return QStringLiteral("frost");
    case LauncherThemeID::ember:
        return QStringLiteral("ember");
    case LauncherThemeID::daylight:
        return QStringLiteral("daylight");
    }
    return QString();
}

std::optional<LauncherThemeID> launcherThemeIDFromRawValue(const QString &text) {
    for (const LauncherThemeID theme : allLauncherThemeIDs)
        if (text == rawValue(theme))
            return theme;
    return std::nullopt;
}

} // namespace orvex
