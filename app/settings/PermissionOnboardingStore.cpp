#include "settings/PermissionOnboardingStore.h"

namespace orvex {

const PermissionOnboardingStore &PermissionOnboardingStore::standard() {
    static const PermissionOnboardingStore store{.defaults = &UserDefaults::standard()};
    return store;
}

bool PermissionOnboardingStore::load(bool defaultCompleted) const {
    return defaults->boolValue(completedKey).value_or(defaultCompleted);
}

} // namespace orvex
