#include "launch-at-login/LaunchAtLoginPreferenceStore.h"

namespace orvex {

LaunchAtLoginPreferenceStore::LaunchAtLoginPreferenceStore(UserDefaults &defaults, QString preferenceKey)
    : defaults(&defaults), preferenceKey(std::move(preferenceKey)) {}

std::optional<bool> LaunchAtLoginPreferenceStore::storedValue() const {
    return defaults->boolValue(preferenceKey);
}

bool LaunchAtLoginPreferenceStore::load(bool defaultEnabled) const {
    return storedValue().value_or(defaultEnabled);
}

void LaunchAtLoginPreferenceStore::save(bool enabled) const {
    defaults->set(preferenceKey, enabled);
}

} // namespace orvex
