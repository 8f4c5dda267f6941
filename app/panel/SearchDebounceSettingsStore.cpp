#include "panel/SearchDebounceSettingsStore.h"

#include "search/LauncherSettingsStores.h"

namespace orvex {

SearchDebounceSettingsStore::SearchDebounceSettingsStore(UserDefaults &defaults) : defaults(&defaults) {}
const SearchDebounceSettingsStore &SearchDebounceSettingsStore::standard() {
    static const SearchDebounceSettingsStore store(UserDefaults::standard());
    return store;
}
qint64 SearchDebounceSettingsStore::load() const {
    return storedClampedInteger(*defaults, debounceMillisecondsKey, minimumMilliseconds, maximumMilliseconds,
                                defaultMilliseconds);
}

} // namespace orvex
