#include "settings/LaunchAtLoginSettingsStore.h"

#include "platform/UserDefaults.h"

namespace orvex {

LaunchAtLoginSettingsStore::LaunchAtLoginSettingsStore(LaunchAtLoginPreferenceStore preferenceStore)
    : preferenceStore(std::move(preferenceStore)) {}
const LaunchAtLoginSettingsStore &LaunchAtLoginSettingsStore::standard() {
    static const LaunchAtLoginSettingsStore store(
        LaunchAtLoginPreferenceStore(UserDefaults::standard(), QStringLiteral("launcherRunAtLogin")));
    return store;
}

} // namespace orvex
