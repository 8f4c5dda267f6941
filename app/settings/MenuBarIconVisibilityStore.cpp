#include "settings/MenuBarIconVisibilityStore.h"

namespace orvex {

MenuBarIconVisibilityStore::MenuBarIconVisibilityStore(UserDefaults &defaults) : defaults(&defaults) {}
const MenuBarIconVisibilityStore &MenuBarIconVisibilityStore::standard() {
    static const MenuBarIconVisibilityStore store(UserDefaults::standard());
    return store;
}
bool MenuBarIconVisibilityStore::load(bool defaultVisible) const {
    return defaults->boolValue(showMenuBarIconKey).value_or(defaultVisible);
}

} // namespace orvex
