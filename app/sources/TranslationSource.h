#pragma once

#include "platform/Clock.h"
#include "search/Source.h"

#include <QHash>
#include <QSet>

#include <memory>
#include <mutex>

namespace orvex {

class DatabaseManager;
class TranslationEngines;
class UserDefaults;
struct TranslationLookupParameters;

// The rows of a translation command ("cc de:en Haus"): a copy row per translated pair, looked up off the
// keystroke by the local engines, and a row that opens the online dictionary. A lookup's rows are kept
// for half an hour; until they are in, a pending row stands for them.
class TranslationSource final : public PerQuerySource {
public:
    struct Configuration {
        // The trigger, the language codes and the engines' order are read from here on every query.
        UserDefaults *defaults = nullptr;
        std::shared_ptr<Clock> clock;
        // Null: Apple Translation and the shared Argos child.
        std::shared_ptr<TranslationEngines> engines;
    };

    explicit TranslationSource(Configuration configuration);

    QString id() const override;
    SourcePlace place() const override { return SourcePlace::beforeCoreRows; }
    // Never waits for an engine: answers from the kept lookups and starts the missing ones through the
    // context's late lookups; their rows arrive with "LauncherSearchDataRefreshed".
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;
    bool hasLateLookupsInFlight() const override;
    // A command's rows change as its lookups finish.
    bool bypassesQueryCaches(const SearchContext &context) const override;

private:
    std::optional<SearchResults> cachedRows(const QString &key) const;
    void finishLookup(const TranslationLookupParameters &lookup, const SearchResults &rows) const;

    const Configuration configuration_;
    static constexpr double cacheLifetimeSeconds = 1800;
    static constexpr qsizetype cacheMaxEntries = 300;
    // The rows of finished lookups and the keys of running ones.
    mutable std::mutex mutex_;
    mutable QHash<QString, QueryResultCacheEntry> cache_;
    mutable QSet<QString> inFlightKeys_;
};

} // namespace orvex
