#include "panel/LauncherIconSettingsStore.h"

#include "search/LauncherNotifications.h"

namespace orvex {

LauncherIconSettingsStore::LauncherIconSettingsStore(UserDefaults &defaults) : defaults(&defaults) {}
const LauncherIconSettingsStore &LauncherIconSettingsStore::standard() {
    static const LauncherIconSettingsStore store(UserDefaults::standard());
    return store;
}
bool LauncherIconSettingsStore::load(bool defaultUseNativeAppIcons) const {
    return defaults->boolValue(useNativeAppIconsKey).value_or(defaultUseNativeAppIcons);
}
void LauncherIconSettingsStore::save(bool useNativeAppIcons, NotificationCenter &center) const {
    defaults->set(useNativeAppIconsKey, useNativeAppIcons);
    center.post(NotificationName::launcherIconSettingsChanged);
}

} // namespace orvex
