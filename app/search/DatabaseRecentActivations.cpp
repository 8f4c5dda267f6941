#include "search/Database.h"

#include "platform/StringUtils.h"
#include "platform/UserDefaults.h"
#include "search/AppsSource.h"
#include "search/Ranking.h"
#include "search/SearchContext.h"
#include "search/SearchRankingSettings.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <limits>

namespace orvex {

namespace {

// Learned counts and the recent list are keyed by this text.
QString usageIdentifier(const SearchResult &result) {
    return result.usageKey().value_or(result.fullPath()).toLower();
}

// A remembered row offered again. It stands for no path typed into this query, even when it was first
// opened by typing one, so it never takes the typed path's fixed score.
SearchResult flaggedAsRecentActivation(const SearchResult &row) {
    SearchResultFields fields = row.fields();
    fields.isRecentActivation = true;
    fields.isDirectPathMatch = false;
    return SearchResult(std::move(fields));
}

} // namespace

bool DatabaseManager::recordActivation(const SearchResult &result) {
    // Other processes sharing the defaults file (a second launcher, the command-line tool) record
    // activations too, and the usage data is written whole: it is read, merged and written with the
    // file's lock held, so that no activation of theirs or ours is lost.
    std::optional<qint64> indexRow;
    defaults().update([&](const UserDefaults::StoredValues &stored) {
        auto held = lock();
        takeInStoredPathOpenCounts(held, stored(usageStoreKey_));
        takeInStoredRecentActivations(held, stored(recentActivationsStoreKey_));
        const qint64 openCount = result.openCount();
        storeRecentActivation(held, result.withOpenCount(openCount == std::numeric_limits<qint64>::max()
                                                             ? openCount
                                                             : openCount + 1));

        const QString usagePath = result.usageKey().value_or(result.fullPath());
        if (result.kind() == SearchResultKind::action) {
            migrateLegacyUsageCountIfNeeded(held, result);
            incrementPathOpenCount(held, usagePath);
            return;
        }
        if (!result.databaseID()) {
            incrementPathOpenCount(held, usagePath);
            return;
        }
        // An index row: a shortcut file also counts under its address; a plain file only in the index.
        if (result.usageKey() && *result.usageKey() != result.fullPath())
            incrementPathOpenCount(held, *result.usageKey());
        indexRow = *result.databaseID();
    });
    // The index has its own locking; its write waits for neither the defaults file nor the reverse.
    return indexRow ? incrementOpenCount(*indexRow) : true;
}

void DatabaseManager::storeRecentActivation(const SearchResult &result) {
    auto held = lock();
    storeRecentActivation(held, result);
}

void DatabaseManager::storeRecentActivation(const Lock &held, const SearchResult &result) {
    if (!recentActivationsEnabled_)
        return;
    std::optional<RecentActivationRecord> record = RecentActivationRecord::fromResult(result, clock().now());
    if (!record)
        return;
    loadRecentActivationsIfNeeded(held);

    const QString identifier = usageIdentifier(result);
    cachedRecentActivations_.removeIf([&](const RecentActivationRecord &existing) {
        const std::optional<SearchResult> row = existing.searchResult();
        return row && usageIdentifier(*row) == identifier;
    });
    cachedRecentActivations_.prepend(std::move(*record));
    if (cachedRecentActivations_.size() > recentActivationsMaxEntries_)
        cachedRecentActivations_.resize(recentActivationsMaxEntries_);

    persistRecentActivations(held);
    invalidateQueryResultCache(held);
}

void DatabaseManager::loadRecentActivationsIfNeeded(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    if (hasLoadedRecentActivations_)
        return;
    hasLoadedRecentActivations_ = true;
    cachedRecentActivations_.clear();
    if (const std::optional<QByteArray> data = defaults().dataValue(recentActivationsStoreKey_))
        cachedRecentActivations_ = decodeRecentActivationRecords(*data).value_or(RecentActivationRecords{});
}

void DatabaseManager::takeInStoredRecentActivations(const Lock &held,
                                                    const std::optional<PlistValue> &storedValue) {
    if (!recentActivationsEnabled_)
        return;
    loadRecentActivationsIfNeeded(held);
    const std::optional<QByteArray> data = storedValue ? storedValue->toData() : std::nullopt;
    const std::optional<RecentActivationRecords> stored =
        data ? decodeRecentActivationRecords(*data) : std::nullopt;
    if (!stored)
        return;
    // One record per row: the later activation of the two wins.
    QHash<QString, qsizetype> positions;
    for (qsizetype i = 0; i < cachedRecentActivations_.size(); ++i)
        if (const std::optional<SearchResult> row = cachedRecentActivations_.at(i).searchResult())
            positions.insert(usageIdentifier(*row), i);
    bool changed = false;
    for (const RecentActivationRecord &record : *stored) {
        const std::optional<SearchResult> row = record.searchResult();
        if (!row)
            continue; // unknown kinds read at load are still in the list
        const QString identifier = usageIdentifier(*row);
        const auto known = positions.constFind(identifier);
        if (known == positions.cend()) {
            positions.insert(identifier, cachedRecentActivations_.size());
            cachedRecentActivations_.append(record);
            changed = true;
        } else if (record.activatedAt.secondsSince2001() >
                   cachedRecentActivations_.at(*known).activatedAt.secondsSince2001()) {
            cachedRecentActivations_[*known] = record;
            changed = true;
        }
    }
    if (!changed)
        return;
    std::stable_sort(cachedRecentActivations_.begin(), cachedRecentActivations_.end(),
                     [](const RecentActivationRecord &a, const RecentActivationRecord &b) {
                         return a.activatedAt.secondsSince2001() > b.activatedAt.secondsSince2001();
                     });
    if (cachedRecentActivations_.size() > recentActivationsMaxEntries_)
        cachedRecentActivations_.resize(recentActivationsMaxEntries_);
}

void DatabaseManager::persistRecentActivations(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    const QByteArray data = encodeRecentActivationRecords(cachedRecentActivations_);
    if (data.isEmpty())
        return;
    defaults().set(recentActivationsStoreKey_, PlistValue(data));
}

std::optional<DatabaseManager::RecentActivations> DatabaseManager::recentActivations(const Lock &held) {
    if (!recentActivationsEnabled_)
        return std::nullopt;
    loadRecentActivationsIfNeeded(held);
    return RecentActivations{.records = cachedRecentActivations_,
                             .appsCrawled = sources_[appsIndex].lastRefresh.has_value(),
                             .foldersCrawled = sources_[foldersIndex].lastRefresh.has_value(),
                             .shortcutsCrawled = sources_[shortcutsIndex].lastRefresh.has_value()};
}

SearchResults
DatabaseManager::searchRecentActivationResults(const QString &query,
                                               const SearchRankingPreferences &rankingPreferences) {
    auto held = lock();
    const std::optional<RecentActivations> recent = recentActivations(held);
    if (!recent)
        return {};
    const SearchContext context =
        searchContext(held, query, rankingPreferences.sortedSuffixesForBasenameStripping(), 0);
    held.unlock();
    return matchRecentActivations(*recent, context);
}

SearchResults DatabaseManager::searchRecentActivationResults(const SearchContext &context) {
    std::optional<RecentActivations> recent;
    {
        auto held = lock();
        recent = recentActivations(held);
    }
    return recent ? matchRecentActivations(*recent, context) : SearchResults{};
}

SearchResults DatabaseManager::matchRecentActivations(const RecentActivations &recent,
                                                      const SearchContext &context) {
    // Before the first crawl nothing is known to be gone; afterwards the disk decides.
    const auto include = [&](const SearchResult &row) {
        const auto existsOnceCrawled = [&](bool crawled) {
            return !crawled || QFileInfo::exists(row.fullPath());
        };
        switch (row.kind()) {
        case SearchResultKind::action:
            // Translation placeholders that earlier versions remembered stay out.
            return !fixedScore(row);
        case SearchResultKind::folder:
            return existsOnceCrawled(recent.foldersCrawled);
        case SearchResultKind::app:
            return existsOnceCrawled(recent.appsCrawled);
        case SearchResultKind::file:
            return row.usageKey() && existsOnceCrawled(recent.shortcutsCrawled);
        }
        return false;
    };
    const QString q = matchingForm(context.query());
    const QStringList &suffixes = context.basenameSuffixes();
    const auto contains = [&](const std::optional<QString> &text) {
        return text && matchingForm(*text).contains(q);
    };

    SearchResults rows;
    for (const RecentActivationRecord &record : recent.records) {
        const std::optional<SearchResult> converted = record.searchResult();
        if (!converted)
            continue;
        SearchResult row = flaggedAsRecentActivation(*converted);
        if (!include(row))
            continue;
        const bool matches =
            contains(row.filename()) || contains(searchableBasename(row.filename(), suffixes)) ||
            contains(row.directory()) || contains(row.snippet()) ||
            (!isDesktopApplicationRow(row) && contains(row.fullPath())) || contains(row.actionURLString());
        if (!matches)
            continue;
        const qint64 count = context.learnedOpenCount(row, row.openCount());
        rows.append(count == row.openCount() ? row : row.withOpenCount(count));
    }
    return rows;
}

} // namespace orvex
