#include "sources/NotionSource.h"

#include "platform/StringUtils.h"
#include "platform/UserDefaults.h"
#include "search/LateLookups.h"
#include "search/LauncherLogic.h"
#include "search/SearchContext.h"
#include "sources/NotionClient.h"
#include "sources/NotionSearch.h"
#include "sources/NotionServiceStatus.h"
#include "sources/NotionSettingsStore.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace orvex {

namespace {

// Releases a request's in-flight key exactly once: when its task ends without applying a reply, or,
// when the pool refused the task at shutdown, as the task is dropped.
class InFlightKeyRelease {
public:
    explicit InFlightKeyRelease(std::function<void()> release) : release_(std::move(release)) {}
    ~InFlightKeyRelease() { releaseNow(); }
    InFlightKeyRelease(const InFlightKeyRelease &) = delete;
    InFlightKeyRelease &operator=(const InFlightKeyRelease &) = delete;

    void releaseNow() {
        if (auto release = std::exchange(release_, nullptr))
            release();
    }
    // The reply's application releases the key itself.
    void dismiss() { release_ = nullptr; }

private:
    std::function<void()> release_;
};

NotionSource::Configuration withServiceStatus(NotionSource::Configuration configuration) {
    if (!configuration.serviceStatus)
        configuration.serviceStatus = std::make_shared<NotionServiceStatus>();
    return configuration;
}

} // namespace

NotionSource::NotionSource(Configuration configuration)
    : configuration_(withServiceStatus(std::move(configuration))) {
    Q_ASSERT(configuration_.defaults && configuration_.clock);
}

QString NotionSource::id() const {
    return QStringLiteral("notion");
}

bool NotionSource::hasLateLookupsInFlight() const {
    std::lock_guard guard(mutex_);
    return !inFlightKeys_.isEmpty();
}

SearchResults NotionSource::match(const SourceSnapshot &, const SearchContext &context) const {
    const QString &normalizedQuery = context.queryLowercased();
    if (StringUtils::graphemeCount(normalizedQuery) < 2)
        return {};
    const NotionSettingsStore settings = NotionSettingsStore::withDefaults(*configuration_.defaults);
    if (!settings.loadEnabled())
        return {};
    const QString token = settings.trimmedToken();
    // A token with a line break inside would end its header line early: nothing is sent with it.
    if (token.isEmpty() || !NotionClient::isSendableToken(token))
        return {};
    if (std::optional<SearchResults> cached = cachedResults(normalizedQuery)) {
        SearchResults rows;
        rows.reserve(cached->size());
        for (const SearchResult &row : *cached)
            rows.append(context.withLearnedOpenCount(row));
        return rows;
    }
    // The service asked to be left alone: asking sooner would only prolong its refusal.
    if (configuration_.serviceStatus->holdsOff(configuration_.clock->monotonicNow()))
        return {};
    if (LateLookups *lateLookups = context.lateLookups(); lateLookups && lateLookups->enabled())
        startRequest(context.query(), normalizedQuery, token, *lateLookups);
    return {};
}

std::optional<SearchResults> NotionSource::cachedResults(const QString &normalizedQuery) const {
    std::lock_guard guard(mutex_);
    const auto entry = cache_.constFind(normalizedQuery);
    if (entry == cache_.cend())
        return std::nullopt;
    const std::chrono::duration<double> age = configuration_.clock->monotonicNow() - entry->cachedAt;
    if (age.count() <= cacheLifetimeSeconds)
        return entry->results;
    cache_.erase(entry);
    return std::nullopt;
}

void NotionSource::startRequest(const QString &query, const QString &normalizedQuery, const QString &token,
                                LateLookups &lateLookups) const {
    {
        std::lock_guard guard(mutex_);
        if (inFlightKeys_.contains(normalizedQuery))
            return;
        inFlightKeys_.insert(normalizedQuery);
    }
    auto release = std::make_shared<InFlightKeyRelease>([this, normalizedQuery] {
        std::lock_guard guard(mutex_);
        inFlightKeys_.remove(normalizedQuery);
    });
    // The manager joins its pool before it lets its sources go, so the task may use `this`.
    lateLookups.start([this, query, normalizedQuery, token, release, &lateLookups] {
        SearchResults rows;
        std::optional<NotionSearchFailure> failure;
        try {
            const NotionClient client(token, configuration_.baseURL, configuration_.requestTimeout);
            const NotionSearchResponse response = client.search(query, &lateLookups.cancelled());
            failure = response.failure;
            const Date now = configuration_.clock->now();
            for (const NotionPage &page : response.pages)
                if (std::optional<SearchResult> row = notionSearchResult(page, now))
                    rows.append(*row);
        } catch (...) {
            // A failure of the request counts as an empty answer.
            rows.clear();
        }
        if (lateLookups.cancelled().load()) {
            release->releaseNow();
            return;
        }
        if (failure)
            configuration_.serviceStatus->recordFailure(*failure, token, *configuration_.clock);
        else
            configuration_.serviceStatus->recordAnswer();
        release->dismiss();
        {
            std::lock_guard guard(mutex_);
            inFlightKeys_.remove(normalizedQuery);
            storeInCacheLocked(deduplicatedSearchResults(rows), normalizedQuery);
        }
        lateLookups.rowsArrived(true);
    });
}

void NotionSource::storeInCache(const SearchResults &results, const QString &normalizedQuery) const {
    std::lock_guard guard(mutex_);
    storeInCacheLocked(results, normalizedQuery);
}

void NotionSource::storeInCacheLocked(const SearchResults &results, const QString &normalizedQuery) const {
    cache_.insert(normalizedQuery, CacheEntry{results, configuration_.clock->monotonicNow()});
    if (cache_.size() <= cacheMaxEntries)
        return;
    // The entry just stored is the newest; it never goes, even when the clock has not moved.
    std::vector<std::pair<Clock::MonotonicTime, QString>> byAge;
    byAge.reserve(static_cast<size_t>(cache_.size()));
    for (auto it = cache_.cbegin(); it != cache_.cend(); ++it)
        if (it.key() != normalizedQuery)
            byAge.emplace_back(it->cachedAt, it.key());
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    const qsizetype excess = cache_.size() - cacheMaxEntries;
    for (qsizetype i = 0; i < excess; ++i)
        cache_.remove(byAge[static_cast<size_t>(i)].second);
}

} // namespace orvex
