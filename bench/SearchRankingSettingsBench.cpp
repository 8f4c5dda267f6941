// Cost of loading the ranking settings, which the search road does on every keystroke, and of the
// per-row boost lookup that scoring makes.
#include "search/SearchRankingSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

namespace {

using namespace orvex;

// `count` stored rules: the seven defaults followed by made-up endings.
void storeRules(const SearchRankingSettingsStore &store, int count) {
    ExtensionBoostRules rules = store.defaultExtensionBoostRules;
    for (int i = rules.size(); i < count; ++i)
        rules.append({.id = QUuid::createUuid(), .suffix = QStringLiteral(".ext%1").arg(i), .boost = i});
    rules.resize(count);
    store.save(rules);
}

void BM_LoadNothingStored(benchmark::State &state) {
    UserDefaults defaults;
    const SearchRankingSettingsStore store(defaults);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.load());
}
BENCHMARK(BM_LoadNothingStored);

void BM_LoadStoredRules(benchmark::State &state) {
    UserDefaults defaults;
    const SearchRankingSettingsStore store(defaults);
    storeRules(store, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(store.load());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadStoredRules)->Arg(0)->Arg(7)->Arg(30)->Arg(200);

void BM_LoadAndCacheKey(benchmark::State &state) {
    UserDefaults defaults;
    const SearchRankingSettingsStore store(defaults);
    storeRules(store, 7);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.load().cacheKey());
}
BENCHMARK(BM_LoadAndCacheKey);

void BM_ExtensionBoost(benchmark::State &state) {
    UserDefaults defaults;
    const SearchRankingSettingsStore store(defaults);
    const SearchRankingPreferences preferences = store.load();
    const SearchResult rows[] = {
        SearchResult({.filename = QStringLiteral("Quarterly Report 2024.PDF")}),
        SearchResult({.filename = QStringLiteral("Plan.gdoc.url")}),
        SearchResult({.filename = QStringLiteral("holiday-photo.jpeg")}),
        SearchResult({.filename = QStringLiteral("Safari.app"), .kind = SearchResultKind::app}),
    };
    for (auto _ : state)
        for (const SearchResult &row : rows)
            benchmark::DoNotOptimize(preferences.extensionBoost(row));
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_ExtensionBoost);

} // namespace

BENCHMARK_MAIN();
