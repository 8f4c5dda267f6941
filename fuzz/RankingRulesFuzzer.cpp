// The stored extension boost rules: a data value in the defaults file holding JSON.
#include "FuzzSupport.h"

#include "platform/UserDefaults.h"
#include "search/SearchRankingSettings.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static UserDefaults defaults;
    static const SearchRankingSettingsStore store(defaults);
    defaults.set(store.extensionBoostRulesKey, PlistValue(fuzz::bytes(data, size)));

    const SearchRankingPreferences preferences = store.load();
    for (const ExtensionBoostRule &rule : preferences.extensionBoostRules()) {
        ORVEX_FUZZ_CHECK(rule.suffix.size() > 1 && rule.suffix.startsWith(QLatin1Char('.')));
        ORVEX_FUZZ_CHECK(rule.boost >= store.minimumBoost && rule.boost <= store.maximumBoost);
    }
    (void)preferences.cacheKey();

    // What was loaded is what the settings window saves back: it must load again unchanged.
    store.save(preferences.extensionBoostRules());
    ORVEX_FUZZ_CHECK(store.load() == preferences);
    return 0;
}
