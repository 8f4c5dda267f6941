#include "search/Database.h"

#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/SearchRankingSettings.h"
#include "search/WalkedRowSearchKeys.h"

#include <limits>

namespace orvex {

namespace {

qint64 saturatingIncrement(qint64 count) {
    return count == std::numeric_limits<qint64>::max() ? count : count + 1;
}

} // namespace

void DatabaseManager::loadPathOpenCountsIfNeeded() {
    if (hasLoadedPathOpenCounts_)
        return;
    hasLoadedPathOpenCounts_ = true;
    cachedPathOpenCounts_.clear();
    ++pathOpenCountsRevision_;
    const std::optional<PlistValue::Dictionary> stored = defaults().dictionaryValue(usageStoreKey_);
    if (!stored)
        return;
    // One damaged value must not cost every other count: keep the valid ones, drop the rest (the
    // next write replaces the stored dictionary).
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        const std::optional<qint64> count = it.value().toInteger();
        if (count && *count >= 0)
            cachedPathOpenCounts_.insert(it.key(), *count);
    }
    ++pathOpenCountsRevision_;
}

void DatabaseManager::takeInStoredPathOpenCounts(const std::optional<PlistValue> &storedValue) {
    loadPathOpenCountsIfNeeded();
    const PlistValue::Dictionary *stored = storedValue ? storedValue->dictionaryPointer() : nullptr;
    if (!stored)
        return;
    // Counts only grow, so the larger of two counts is the one that holds every activation.
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        const std::optional<qint64> count = it.value().toInteger();
        if (count && *count > cachedPathOpenCounts_.value(it.key(), 0))
            cachedPathOpenCounts_.insert(it.key(), *count);
    }
    ++pathOpenCountsRevision_;
}

void DatabaseManager::persistPathOpenCounts() {
    PlistValue::Dictionary dictionary;
    for (auto it = cachedPathOpenCounts_.cbegin(); it != cachedPathOpenCounts_.cend(); ++it)
        dictionary.insert(it.key(), PlistValue(it.value()));
    defaults().set(usageStoreKey_, PlistValue(std::move(dictionary)));
}

void DatabaseManager::incrementPathOpenCount(const QString &path) {
    loadPathOpenCountsIfNeeded();
    const QString key = path.toLower();
    cachedPathOpenCounts_.insert(key, saturatingIncrement(cachedPathOpenCounts_.value(key, 0)));
    ++pathOpenCountsRevision_;
    persistPathOpenCounts();
    invalidateQueryResultCache();
}

void DatabaseManager::migrateLegacyUsageCountIfNeeded(const SearchResult &result) {
    if (result.action() != SearchResultAction::openNotionPage)
        return;
    loadPathOpenCountsIfNeeded();
    const QString primary = result.usageKey().value_or(result.fullPath()).toLower();
    const qint64 current = cachedPathOpenCounts_.value(primary, 0);
    qint64 best = 0;
    for (const QString &identifier : usageLookupIdentifiers(result)) {
        const QString lowered = identifier.toLower();
        if (lowered != primary)
            best = std::max(best, cachedPathOpenCounts_.value(lowered, 0));
    }
    if (current >= best)
        return;
    // The caller's increment invalidates the query caches.
    cachedPathOpenCounts_.insert(primary, best);
    ++pathOpenCountsRevision_;
    persistPathOpenCounts();
}

QStringList DatabaseManager::usageLookupIdentifiers(const SearchResult &result) const {
    QStringList candidates{result.usageKey().value_or(result.fullPath())};
    if (result.action() == SearchResultAction::openNotionPage) {
        if (result.actionURLString())
            candidates.append(*result.actionURLString());
        if (result.fallbackActionURLString())
            candidates.append(*result.fallbackActionURLString());
    }
    QStringList identifiers;
    QSet<QString> seen;
    for (const QString &candidate : std::as_const(candidates)) {
        const QString lowered = candidate.toLower();
        if (seen.contains(lowered))
            continue;
        seen.insert(lowered);
        identifiers.append(candidate);
    }
    return identifiers;
}

qint64 DatabaseManager::learnedOpenCount(const SearchResult &result, qint64 databaseOpenCount) {
    auto guard = lock();
    loadPathOpenCountsIfNeeded();
    qint64 count = databaseOpenCount;
    for (const QString &identifier : usageLookupIdentifiers(result))
        count = std::max(count, cachedPathOpenCounts_.value(identifier.toLower(), 0));
    return count;
}

qint64 DatabaseManager::learnedOpenCountOfWalkedRow(const SearchResult &row, size_t usageIdentifierHash) {
    auto guard = lock();
    loadPathOpenCountsIfNeeded();
    if (learnedIdentifierHashesRevision_ != pathOpenCountsRevision_) {
        learnedIdentifierHashes_.clear();
        for (auto it = cachedPathOpenCounts_.cbegin(); it != cachedPathOpenCounts_.cend(); ++it)
            learnedIdentifierHashes_.insert(WalkedRowSearchKeys::usageIdentifierHash(it.key()));
        learnedIdentifierHashesRevision_ = pathOpenCountsRevision_;
    }
    if (!learnedIdentifierHashes_.contains(usageIdentifierHash))
        return std::max<qint64>(row.openCount(), 0);
    return std::max(row.openCount(),
                    cachedPathOpenCounts_.value(WalkedRowSearchKeys::lowercasedUsageIdentifier(row), 0));
}

void DatabaseManager::invalidateQueryResultCache() {
    auto guard = lock();
    cachedQueryResults_.clear();
    ++queryCacheInvalidations_;
    const Date now = clock().now();
    // Under unit tests the store is never touched, so the real defaults stay clean.
    if (persistentQueryResultCacheEnabled_ && persistentQueryResultCacheStore_)
        persistentQueryResultCacheInvalidatedAt_ =
            persistentQueryResultCacheStore_->markActorCacheInvalidated(now);
    else
        persistentQueryResultCacheInvalidatedAt_ = now;
}

std::optional<QString> DatabaseManager::cachedShortcutUsageKey(const QString &fullPath,
                                                               const QString &filename) {
    // Other files have no usage key, which their name tells: only shortcut files are remembered, or
    // every indexed file a search ever showed would be (tens of megabytes on a large index).
    bool isShortcutFile = false;
    for (const char *extension : {".url", ".webloc", ".gsheet", ".gdoc", ".gslides"}) {
        if (filename.endsWith(QLatin1String(extension), Qt::CaseInsensitive)) {
            isShortcutFile = true;
            break;
        }
    }
    if (!isShortcutFile)
        return std::nullopt;
    auto guard = lock();
    if (const auto it = shortcutUsageKeyCache_.constFind(fullPath); it != shortcutUsageKeyCache_.cend())
        return it.value();
    const std::optional<QString> key = shortcutUsageKey(fullPath);
    shortcutUsageKeyCache_.insert(fullPath, key);
    return key;
}

QSet<QString> DatabaseManager::shortcutFileExtensions() {
    auto guard = lock();
    QSet<QString> extensions = baselineShortcutFileExtensions_;
    const SearchRankingPreferences preferences = loadRankingPreferences();
    for (const ExtensionBoostRule &rule : preferences.extensionBoostRules()) {
        QString suffix = rule.suffix.toLower();
        qsizetype dots = 0;
        while (dots < suffix.size() && suffix.at(dots) == QLatin1Char('.'))
            ++dots;
        suffix.remove(0, dots);
        if (suffix.isEmpty())
            continue;
        // ".tar.gz" makes gz a shortcut type: only the last extension decides what is crawled.
        const QStringList pieces = suffix.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        if (!pieces.isEmpty())
            extensions.insert(pieces.last());
    }
    return extensions;
}

} // namespace orvex
