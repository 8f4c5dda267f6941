#include "ReferenceSearch.h"
#include "sources/StandardSources.h"

#include "Statistics.h"
#include "WindowEventRecorder.h"
#include "panel/PanelTrace.h"
#include "panel/SearchState.h"

#include <QFileInfo>

namespace orvex::bench {

namespace {

// What DatabaseManagerConfiguration::production() makes for this home, with the background refresh off
// (the benchmark searches only while the launcher is idle) and defaults of its own.
DatabaseManagerConfiguration configurationFor(const QString &home, UserDefaults *defaults) {
    DatabaseManagerConfiguration c;
    c.homePath = home;
    c.databasePath = home + QStringLiteral("/.pdf-indexer/index.db");
    c.appSearchRoots = {QStringLiteral("/Applications"), QStringLiteral("/System/Applications"),
                        QStringLiteral("/System/Cryptexes/App/System/Applications"),
                        home + QStringLiteral("/Applications")};
    c.folderSearchRoots = {home};
    for (const char *name : {"Documents", "Desktop", "Downloads", "My Drive"}) {
        const QString path = home + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(path))
            c.shortcutSearchRoots.append(path);
    }
    c.makeSources = standardSources(StandardSourcesConfiguration::production(home));
    c.backgroundRefreshEnabled = false;
    c.defaults = defaults;
    c.runningUnitTests = false;
    return c;
}

} // namespace

ReferenceSearch::ReferenceSearch(const QString &home, const QString &scratch)
    : defaults_(scratch + QStringLiteral("/reference-defaults.plist")),
      manager_(std::make_unique<DatabaseManager>(configurationFor(home, &defaults_))) {
    manager_->refreshSourceCachesNow();
}

ReferenceSearch::~ReferenceSearch() {
    manager_->shutdown();
}

double ReferenceSearch::coldMilliseconds(const QString &query, int repetitions) {
    std::vector<double> samples;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = MonotonicClock::now();
        manager_->searchFresh(query);
        samples.push_back(milliseconds(MonotonicClock::now() - start));
    }
    return statsOf(samples).median;
}

quint64 ReferenceSearch::fingerprint(const QString &query) {
    if (const auto known = fingerprints_.find(query); known != fingerprints_.end())
        return known->second;
    QStringList identities;
    for (const SearchResult &row : manager_->searchFresh(query))
        identities.append(panelRowIdentity(row));
    const quint64 value = PanelTrace::fingerprint(identities);
    fingerprints_[query] = value;
    return value;
}

} // namespace orvex::bench
