#include "panel/SessionPersistenceSettingsStore.h"

#include "search/LauncherSettingsStores.h"

namespace orvex {

SessionPersistenceSettingsStore::SessionPersistenceSettingsStore(UserDefaults &defaults)
    : defaults(&defaults) {}
const SessionPersistenceSettingsStore &SessionPersistenceSettingsStore::standard() {
    static const SessionPersistenceSettingsStore store(UserDefaults::standard());
    return store;
}
qint64 SessionPersistenceSettingsStore::load() const {
    return storedClampedInteger(*defaults, persistenceSecondsKey, minimumSeconds, maximumSeconds,
                                defaultSeconds);
}

} // namespace orvex
