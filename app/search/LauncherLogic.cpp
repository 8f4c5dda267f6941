#include "search/LauncherLogic.h"

#include "platform/StringUtils.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/Ranking.h"

#include <QSet>

#include <algorithm>

namespace orvex {

void IncrementalSearchResultCache::store(const SearchResults &results, const QString &key) {
    if (key.isEmpty())
        return;
    entries_.insert(key, results);
    insertionOrder_.removeAll(key);
    insertionOrder_.append(key);
    if (insertionOrder_.size() > maxEntries_) {
        const qsizetype excess = insertionOrder_.size() - std::max<qsizetype>(maxEntries_, 0);
        for (qsizetype i = 0; i < excess; ++i)
            entries_.remove(insertionOrder_.at(i));
        insertionOrder_.remove(0, excess);
    }
}

void IncrementalSearchResultCache::clear() {
    entries_.clear();
    insertionOrder_.clear();
}

std::optional<SearchResults> IncrementalSearchResultCache::longestPrefixResults(const QString &query) const {
    if (query.isEmpty())
        return std::nullopt;
    // Compared under canonical equivalence and counted in user-perceived characters.
    const QString normalizedQuery = query.normalized(QString::NormalizationForm_C);
    const qsizetype queryLength = StringUtils::graphemeCount(normalizedQuery);
    const QString *bestKey = nullptr;
    qsizetype bestLength = -1;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        const QString key = it.key().normalized(QString::NormalizationForm_C);
        if (!normalizedQuery.startsWith(key))
            continue;
        const qsizetype length = StringUtils::graphemeCount(key);
        if (length < queryLength && length > bestLength) {
            bestLength = length;
            bestKey = &it.key();
        }
    }
    if (!bestKey)
        return std::nullopt;
    return entries_.value(*bestKey);
}

QString searchResultIdentity(const SearchResult &result) {
    if (result.kind() == SearchResultKind::action && result.usageKey())
        return result.usageKey()->toLower();
    return result.fullPath().toLower();
}

void sortSearchResultsForDisplay(SearchResults &results) {
    std::stable_sort(results.begin(), results.end(), [](const SearchResult &a, const SearchResult &b) {
        const qint64 scoreA = a.relevanceScore().value_or(0);
        const qint64 scoreB = b.relevanceScore().value_or(0);
        if (scoreA != scoreB)
            return scoreA > scoreB;
        if (a.openCount() != b.openCount())
            return a.openCount() > b.openCount();
        return StringUtils::localizedCaseInsensitiveCompare(a.filename(), b.filename()) < 0;
    });
}

SearchResults filterSearchResultsForIncrementalQuery(const SearchResults &results,
                                                     const QString &normalizedQuery) {
    if (normalizedQuery.isEmpty())
        return results;
    // Compared in the form the search core matches in, so that a name stored decomposed stays in the
    // preview exactly when the core's answer will hold it; the rows themselves are kept as they are.
    const QString query = matchingForm(normalizedQuery);
    const auto contains = [&](const QString &text) { return matchingForm(text).contains(query); };
    SearchResults kept;
    for (const SearchResult &r : results) {
        if (contains(r.filename()) || contains(r.directory()) || (r.snippet() && contains(*r.snippet())) ||
            contains(r.fullPath()))
            kept.append(r);
    }
    return kept;
}

SearchResults deduplicatedSearchResults(const SearchResults &results) {
    SearchResults kept;
    kept.reserve(results.size());
    QSet<QString> seen;
    seen.reserve(results.size());
    for (const SearchResult &r : results) {
        const QString identity = searchResultIdentity(r);
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        kept.append(r);
    }
    return kept;
}

SearchResults scoredSearchResultsForDisplay(const SearchResults &results, const QString &normalizedQuery,
                                            const ScoreProvider &scoreProvider) {
    SearchResults rows = deduplicatedSearchResults(results);
    if (normalizedQuery.isEmpty())
        return rows;
    for (SearchResult &r : rows)
        if (!r.relevanceScore())
            r = r.withRelevanceScore(scoreProvider(r));
    sortSearchResultsForDisplay(rows);
    return rows;
}

SearchResults searchResultsPromotingActivatedResult(const SearchResults &results,
                                                    const SearchResult &activatedResult,
                                                    const QString &normalizedQuery,
                                                    const ScoreProvider &scoreProvider) {
    if (normalizedQuery.isEmpty())
        return results;
    const QString activatedIdentity = searchResultIdentity(activatedResult);
    SearchResults rebuilt;
    rebuilt.reserve(results.size());
    for (const SearchResult &r : results) {
        SearchResultFields f = r.fields();
        f.relevanceScore.reset();
        if (searchResultIdentity(r) == activatedIdentity) {
            const qint64 count = std::max(activatedResult.openCount(), r.openCount());
            // The largest count stays the largest rather than wrapping around.
            f.openCount = count == std::numeric_limits<qint64>::max() ? count : count + 1;
            f.isRecentActivation = true;
        }
        rebuilt.append(SearchResult(std::move(f)));
    }
    return scoredSearchResultsForDisplay(rebuilt, normalizedQuery, scoreProvider);
}

std::optional<SearchResults> storePromotedSearchResultsAfterActivation(
    const QString &query, const SearchResults &results, const SearchResult &activatedResult,
    IncrementalSearchResultCache &incrementalCache,
    PersistentQueryResultCacheStore &persistentQueryCacheStore,
    const std::function<QString(const QString &)> &cacheKeyProvider,
    const std::function<bool(const QString &)> &isCacheEligible,
    const std::function<qint64(const SearchResult &, const QString &)> &scoreProvider, Date now) {
    const QString normalizedQuery = StringUtils::trimmedWhitespaceAndNewlines(query).toLower();
    if (normalizedQuery.isEmpty() || results.isEmpty() || !isCacheEligible(normalizedQuery))
        return std::nullopt;
    const SearchResults promoted = searchResultsPromotingActivatedResult(
        results, activatedResult, normalizedQuery,
        [&](const SearchResult &row) { return scoreProvider(row, normalizedQuery); });
    incrementalCache.store(promoted, normalizedQuery);
    persistentQueryCacheStore.storeResults(promoted, cacheKeyProvider(normalizedQuery), now);
    return promoted;
}

} // namespace orvex
