#include "panel/SearchState.h"

#include "platform/StringUtils.h"
#include "search/Database.h"
#include "search/PersistentQueryResultCacheStore.h"

namespace orvex {

SearchState::SearchState(UserDefaults &defaults)
    : SearchState(PersistentQueryResultCacheStoreRegistry::store(persistentQueryCacheStoreKey, defaults)) {}

SearchState::SearchState(std::shared_ptr<PersistentQueryResultCacheStore> store)
    : persistentQueryCacheStore(std::move(store)) {}

QString trimmedSearchQuery(const QString &query) {
    return StringUtils::trimmedWhitespaceAndNewlines(query);
}

QString normalizedSearchQuery(const QString &query) {
    // The core keys its query caches by this form too, so that both find each other's entries.
    return DatabaseManager::matchingForm(trimmedSearchQuery(query));
}

QString panelRowIdentity(const SearchResult &result) {
    if (result.kind() == SearchResultKind::action && result.usageKey())
        return *result.usageKey();
    return result.fullPath();
}

} // namespace orvex
