#include "panel/LauncherThemeStore.h"

#include "panel/PanelNotifications.h"

namespace orvex {

LauncherThemeStore::LauncherThemeStore(UserDefaults &defaults) : defaults(&defaults) {}
const LauncherThemeStore &LauncherThemeStore::standard() {
    static const LauncherThemeStore store(UserDefaults::standard());
    return store;
}

LauncherThemeID LauncherThemeStore::load() const {
    if (const auto stored = defaults->stringValue(themeKey))
        if (const auto theme = launcherThemeIDFromRawValue(*stored))
            return *theme;
    return LauncherThemeID::graphite;
}

void LauncherThemeStore::save(LauncherThemeID theme, NotificationCenter &center) const {
    defaults->set(themeKey, rawValue(theme));
    center.post(NotificationName::launcherThemeChanged);
}

} // namespace orvex
