#include "panel/SearchState.h"

#include "platform/StringUtils.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/Ranking.h"

namespace orvex {

SearchState::SearchState(UserDefaults &defaults)
    : SearchState(PersistentQueryResultCacheStoreRegistry::store(persistentQueryCacheStoreKey, defaults)) {}

SearchState::SearchState(std::shared_ptr<PersistentQueryResultCacheStore> store)
    : persistentQueryCacheStore(std::move(store)) {}

QString boundedSearchQuery(const QString &text) {
    if (text.size() <= SearchState::maxQueryLength)
        return text;
    qsizetype length = SearchState::maxQueryLength;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

QString trimmedSearchQuery(const QString &query) {
    return StringUtils::trimmedWhitespaceAndNewlines(query);
}

QString normalizedSearchQuery(const QString &query) {
    // The core keys its query caches by this form too, so that both find each other's entries.
    return matchingForm(trimmedSearchQuery(query));
}

QString panelRowIdentity(const SearchResult &result) {
    if (result.kind() == SearchResultKind::action && result.usageKey())
        return *result.usageKey();
    return result.fullPath();
}

} // namespace orvex
