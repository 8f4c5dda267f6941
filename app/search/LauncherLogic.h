#pragma once

#include "search/DatabaseTypes.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace orvex {

class PersistentQueryResultCacheStore;

// The panel's cache of final answers per normalised query, oldest store evicted first; its
// longest-prefix lookup gives an instant preview while the user types on.
class IncrementalSearchResultCache {
public:
    explicit IncrementalSearchResultCache(qsizetype maxEntries = 120) : maxEntries_(maxEntries) {}

    void store(const SearchResults &results, const QString &key);
    void clear();
    std::optional<SearchResults> longestPrefixResults(const QString &query) const;

    const QHash<QString, SearchResults> &entries() const { return entries_; }
    const QStringList &insertionOrder() const { return insertionOrder_; }
    qsizetype maxEntries() const { return maxEntries_; }

private:
    QHash<QString, SearchResults> entries_;
    QStringList insertionOrder_;
    qsizetype maxEntries_;
};

using ScoreProvider = std::function<qint64(const SearchResult &)>;

// The identity rows are de-duplicated and promoted by: an action row's usage key, else the full path;
// lowercased.
QString searchResultIdentity(const SearchResult &result);

// Display order: higher score (absent = 0), then higher open count, then name ascending by a
// locale-aware case-insensitive comparison. Stable.
void sortSearchResultsForDisplay(SearchResults &results);

SearchResults filterSearchResultsForIncrementalQuery(const SearchResults &results,
                                                     const QString &normalizedQuery);
SearchResults deduplicatedSearchResults(const SearchResults &results);
SearchResults scoredSearchResultsForDisplay(const SearchResults &results, const QString &normalizedQuery,
                                            const ScoreProvider &scoreProvider);
SearchResults searchResultsPromotingActivatedResult(const SearchResults &results,
                                                    const SearchResult &activatedResult,
                                                    const QString &normalizedQuery,
                                                    const ScoreProvider &scoreProvider);

// Re-ranks the shown list after an activation and stores it in both the panel's cache and the
// persistent store; answers the stored list, or nothing when nothing was stored.
std::optional<SearchResults> storePromotedSearchResultsAfterActivation(
    const QString &query, const SearchResults &results, const SearchResult &activatedResult,
    IncrementalSearchResultCache &incrementalCache,
    PersistentQueryResultCacheStore &persistentQueryCacheStore,
    const std::function<QString(const QString &)> &cacheKeyProvider,
    const std::function<bool(const QString &)> &isCacheEligible,
    const std::function<qint64(const SearchResult &, const QString &)> &scoreProvider, Date now);

} // namespace orvex
