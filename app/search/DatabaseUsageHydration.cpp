#include "search/Database.h"

#include "platform/UserDefaults.h"
#include "search/LearnedOpenCounts.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/SearchRankingSettings.h"
#include "search/ShortcutFilesSource.h"

#include <limits>

namespace orvex {

namespace {

qint64 saturatingIncrement(qint64 count) {
    return count == std::numeric_limits<qint64>::max() ? count : count + 1;
}

} // namespace

void DatabaseManager::loadPathOpenCountsIfNeeded(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    if (hasLoadedPathOpenCounts_)
        return;
    hasLoadedPathOpenCounts_ = true;
    cachedPathOpenCounts_.clear();
    learnedOpenCounts_.reset();
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
}

std::shared_ptr<const LearnedOpenCounts> DatabaseManager::learnedOpenCounts(const Lock &held) {
    loadPathOpenCountsIfNeeded(held);
    // Made once per change of the counts; the copy of the table shares its storage until it changes.
    if (!learnedOpenCounts_)
        learnedOpenCounts_ = std::make_shared<const LearnedOpenCounts>(cachedPathOpenCounts_);
    return learnedOpenCounts_;
}

std::shared_ptr<const LearnedOpenCounts> DatabaseManager::learnedOpenCounts() {
    auto held = lock();
    return learnedOpenCounts(held);
}

void DatabaseManager::takeInStoredPathOpenCounts(const Lock &held,
                                                 const std::optional<PlistValue> &storedValue) {
    loadPathOpenCountsIfNeeded(held);
    const PlistValue::Dictionary *stored = storedValue ? storedValue->dictionaryPointer() : nullptr;
    if (!stored)
        return;
    // Counts only grow, so the larger of two counts is the one that holds every activation.
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        const std::optional<qint64> count = it.value().toInteger();
        if (count && *count > cachedPathOpenCounts_.value(it.key(), 0)) {
            cachedPathOpenCounts_.insert(it.key(), *count);
            learnedOpenCounts_.reset();
        }
    }
}

void DatabaseManager::persistPathOpenCounts(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    PlistValue::Dictionary dictionary;
    for (auto it = cachedPathOpenCounts_.cbegin(); it != cachedPathOpenCounts_.cend(); ++it)
        dictionary.insert(it.key(), PlistValue(it.value()));
    defaults().set(usageStoreKey_, PlistValue(std::move(dictionary)));
}

void DatabaseManager::incrementPathOpenCount(const Lock &held, const QString &path) {
    loadPathOpenCountsIfNeeded(held);
    const QString key = path.toLower();
    cachedPathOpenCounts_.insert(key, saturatingIncrement(cachedPathOpenCounts_.value(key, 0)));
    learnedOpenCounts_.reset();
    persistPathOpenCounts(held);
    invalidateQueryResultCache(held);
}

void DatabaseManager::migrateLegacyUsageCountIfNeeded(const Lock &held, const SearchResult &result) {
    if (result.action() != SearchResultAction::openNotionPage)
        return;
    loadPathOpenCountsIfNeeded(held);
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
    learnedOpenCounts_.reset();
    persistPathOpenCounts(held);
}

QStringList DatabaseManager::usageLookupIdentifiers(const SearchResult &result) const {
    return LearnedOpenCounts::usageLookupIdentifiers(result);
}

qint64 DatabaseManager::learnedOpenCount(const SearchResult &result, qint64 databaseOpenCount) {
    return learnedOpenCounts()->count(result, databaseOpenCount);
}

void DatabaseManager::invalidateQueryResultCache() {
    auto held = lock();
    invalidateQueryResultCache(held);
}

void DatabaseManager::invalidateQueryResultCache(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    // A new table: a search that looked in the old one stores nothing (see search()).
    cachedQueryResults_ = std::make_shared<QueryResultCache>();
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
    {
        std::lock_guard guard(shortcutUsageKeysMutex_);
        if (const auto it = shortcutUsageKeyCache_.constFind(fullPath); it != shortcutUsageKeyCache_.cend())
            return it.value();
    }
    // Read with no lock held: the file may be slow to open.
    const std::optional<QString> key = shortcutUsageKey(fullPath);
    std::lock_guard guard(shortcutUsageKeysMutex_);
    shortcutUsageKeyCache_.insert(fullPath, key);
    return key;
}

QSet<QString> DatabaseManager::shortcutFileExtensions() {
    // The baseline never changes and the ranking settings' store guards itself: no lock is needed.
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
