#include "search/Database.h"

#include "search/PersistentQueryResultCacheStore.h"

namespace orvex {

std::optional<QueryResultCacheEntry> DatabaseManager::persistentCachedQueryResults(const QString &key) {
    auto held = lock();
    return persistentCachedQueryResults(held, key);
}

std::optional<QueryResultCacheEntry> DatabaseManager::persistentCachedQueryResults(const Lock &held,
                                                                                   const QString &key) {
    Q_ASSERT(held.owns_lock());
    if (!persistentQueryResultCacheEnabled_ || !persistentQueryResultCacheStore_)
        return std::nullopt;
    auto hit = persistentQueryResultCacheStore_->cachedSearchResults(key, clock().now(), false);
    if (!hit)
        return std::nullopt;
    // Written before the manager's last invalidation: stale for the manager, still fine for the panel,
    // so the entry stays stored.
    if (persistentQueryResultCacheInvalidatedAt_ && hit->cachedAt < *persistentQueryResultCacheInvalidatedAt_)
        return std::nullopt;
    if (hit->storedBeforeActorInvalidation)
        return std::nullopt;
    return QueryResultCacheEntry{.results = std::move(hit->results), .cachedAt = hit->cachedAt};
}

void DatabaseManager::storeInPersistentQueryCache(const Lock &held, const SearchResults &results,
                                                  const QString &key, Date now) {
    Q_ASSERT(held.owns_lock());
    if (!persistentQueryResultCacheEnabled_ || !persistentQueryResultCacheStore_)
        return;
    // The payload holds every stored answer; encoding it is left to the background pool, off the search
    // road, and stores made before that task runs are written with it.
    if (persistentQueryResultCacheStore_->storeResultsWritingLater(results, key, now))
        startBackgroundTask([store = persistentQueryResultCacheStore_] { store->writeOwedPayload(); });
}

} // namespace orvex
