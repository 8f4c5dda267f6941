#include "panel/VersionVisibilityStore.h"

namespace orvex {

VersionVisibilityStore::VersionVisibilityStore(UserDefaults &defaults) : defaults(&defaults) {}
const VersionVisibilityStore &VersionVisibilityStore::standard() {
    static const VersionVisibilityStore store(UserDefaults::standard());
    return store;
}
bool VersionVisibilityStore::load(bool defaultVisible) const {
    return defaults->boolValue(showVersionNumberKey).value_or(defaultVisible);
}

} // namespace orvex
