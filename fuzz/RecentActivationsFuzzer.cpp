// The recent activations: one JSON array in the defaults file, read back by the search road.
#include "FuzzSupport.h"

#include "platform/UserDefaults.h"
#include "search/Database.h"
#include "search/RecentActivationRecord.h"
#include "search/SearchRankingSettings.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = fuzz::bytes(data, size);
    if (const auto records = decodeRecentActivationRecords(bytes)) {
        for (const RecentActivationRecord &record : *records)
            (void)record.searchResult();
        // What was read is written and read again unchanged.
        const QByteArray written = encodeRecentActivationRecords(*records);
        ORVEX_FUZZ_CHECK(!written.isEmpty());
        ORVEX_FUZZ_CHECK(decodeRecentActivationRecords(written) == records);
    }

    // The manager finding the bytes in the defaults: the recent rows come out, and after one more
    // activation the stored list reads back.
    UserDefaults defaults;
    const auto manager = fuzz::makeManager(defaults);
    const QString key = QStringLiteral("launcherPathOpenCounts.recentActivations");
    defaults.set(key, PlistValue(bytes));
    const SearchRankingPreferences preferences;
    for (const QString &query : {QString(), QStringLiteral("a"), QStringLiteral("notion")})
        (void)manager->searchRecentActivationResults(query, preferences);
    manager->recordActivation(SearchResult({.id = -3,
                                            .filename = QStringLiteral("Tool.app"),
                                            .directory = QStringLiteral("/opt"),
                                            .kind = SearchResultKind::app}));
    const auto stored = defaults.dataValue(key);
    ORVEX_FUZZ_CHECK(stored && decodeRecentActivationRecords(*stored).has_value());
    return 0;
}
