#include "settings/WindowSnapSettingsStore.h"

namespace orvex {

WindowSnapSettingsStore::WindowSnapSettingsStore(UserDefaults &defaults) : defaults(&defaults) {}
const WindowSnapSettingsStore &WindowSnapSettingsStore::standard() {
    static const WindowSnapSettingsStore store(UserDefaults::standard());
    return store;
}
bool WindowSnapSettingsStore::load(bool defaultEnabled) const {
    return defaults->boolValue(snapToGridKey).value_or(defaultEnabled);
}

} // namespace orvex
