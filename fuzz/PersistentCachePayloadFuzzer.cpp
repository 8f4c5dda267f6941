// The persistent query cache: one JSON payload in the defaults file, read by every launcher start.
#include "FuzzSupport.h"

#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = fuzz::bytes(data, size);
    if (const auto payload = PersistentQueryResultCachePayload::fromJson(bytes)) {
        // What was read is written and read again unchanged.
        const QByteArray written = payload->toJson();
        const auto again = PersistentQueryResultCachePayload::fromJson(written);
        ORVEX_FUZZ_CHECK(again.has_value());
        ORVEX_FUZZ_CHECK(again->toJson() == written);
    }

    // A store finding the bytes in the defaults: lookups answer or miss, and what it writes next is a
    // payload it can read.
    UserDefaults defaults;
    const QString key = QStringLiteral("launcherPathOpenCounts.queryResults");
    defaults.set(key, PlistValue(bytes));
    PersistentQueryResultCacheStore store(key, defaults);
    const Date now(750000000);
    for (const QString &lookup : {QStringLiteral("plan|r"), QStringLiteral("q|x"), QString()})
        (void)store.cachedSearchResults(lookup, now, true);
    store.storeResults(
        {SearchResult(
            {.id = 7, .filename = QStringLiteral("plan.txt"), .directory = QStringLiteral("/docs")})},
        QStringLiteral("plan|r"), now);
    const auto stored = defaults.dataValue(key);
    ORVEX_FUZZ_CHECK(stored && PersistentQueryResultCachePayload::fromJson(*stored).has_value());
    const auto hit = store.cachedSearchResults(QStringLiteral("plan|r"), now, false);
    ORVEX_FUZZ_CHECK(hit && hit->results.size() == 1);
    return 0;
}
