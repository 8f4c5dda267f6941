#include "search/Database.h"

namespace orvex {

std::optional<QueryResultCacheEntry> DatabaseManager::persistentCachedQueryResults(const QString &) {
    return std::nullopt;
}

} // namespace orvex
