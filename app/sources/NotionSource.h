#pragma once

#include "platform/Clock.h"
#include "search/Source.h"

#include <QHash>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <memory>
#include <mutex>

namespace orvex {

class DatabaseManager;
class LateLookups;
class NotionServiceStatus;
class UserDefaults;

// The user's Notion pages whose title matches the query, asked of Notion's search over the network with
// the integration token of the settings. A query's pages are kept for thirty seconds; a query not kept
// answers nothing and starts one request, whose pages arrive with "LauncherSearchDataRefreshed". While
// the service asks to wait, no request is sent.
class NotionSource final : public PerQuerySource {
public:
    struct Configuration {
        // The switch and the token are read from here on every query.
        UserDefaults *defaults = nullptr;
        std::shared_ptr<Clock> clock;
        QUrl baseURL;
        // How long one search request may take.
        std::chrono::milliseconds requestTimeout{4000};
        // Where refusals are kept and said; none: a status of this source's own.
        std::shared_ptr<NotionServiceStatus> serviceStatus;
    };

    explicit NotionSource(Configuration configuration);

    QString id() const override;
    SourcePlace place() const override { return SourcePlace::afterWalkedRows; }
    // Never waits for the network: answers from the kept pages, with their learned open counts.
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;
    bool hasLateLookupsInFlight() const override;
    const NotionServiceStatus &serviceStatus() const { return *configuration_.serviceStatus; }

    // The fresh entry for a lowercased query; an expired one is dropped.
    std::optional<SearchResults> cachedResults(const QString &normalizedQuery) const;
    void storeInCache(const SearchResults &results, const QString &normalizedQuery) const;

private:
    // Starts the request for a key unless one already runs for it.
    void startRequest(const QString &query, const QString &normalizedQuery, const QString &token,
                      LateLookups &lateLookups) const;
    void storeInCacheLocked(const SearchResults &results, const QString &normalizedQuery) const;

    const Configuration configuration_;
    static constexpr double cacheLifetimeSeconds = 30;
    static constexpr qsizetype cacheMaxEntries = 60;
    // Aged on the monotonic clock: a change of the wall clock neither revives nor expires entries.
    struct CacheEntry {
        SearchResults results;
        Clock::MonotonicTime cachedAt;
    };
    mutable std::mutex mutex_;
    mutable QHash<QString, CacheEntry> cache_;
    mutable QSet<QString> inFlightKeys_;
};

} // namespace orvex
