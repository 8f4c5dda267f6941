// The learned open counts: a dictionary of paths to counts in the defaults file (either property-list
// form), read back by every search.
#include "FuzzSupport.h"

#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "search/Database.h"

#include <limits>

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The bytes as a stored value: a property list when they read as one, else themselves.
    const QByteArray bytes = fuzz::bytes(data, size);
    UserDefaults defaults;
    const auto manager = fuzz::makeManager(defaults);
    const QString key = QStringLiteral("launcherPathOpenCounts");
    defaults.set(key, PropertyList::read(bytes).value_or(PlistValue(bytes)));

    const SearchResult rows[] = {
        SearchResult(
            {.id = -1, .filename = QStringLiteral("a.pdf"), .directory = QStringLiteral("/home/me")}),
        SearchResult(
            {.id = -2,
             .filename = QStringLiteral("Page"),
             .kind = SearchResultKind::action,
             .action = SearchResultAction::openNotionPage,
             .actionURLString = QStringLiteral("notion://www.notion.so/0123456789abcdef0123456789abcdef"),
             .fallbackActionURLString = QStringLiteral("https://www.notion.so/x")}),
    };
    for (const SearchResult &row : rows) {
        const qint64 before = manager->learnedOpenCount(row, 3);
        ORVEX_FUZZ_CHECK(before >= 3);
        manager->recordActivation(row);
        const qint64 after = manager->learnedOpenCount(row, 3);
        // One more, except at the top, where it stays, and below the index's own count, which wins.
        if (before == std::numeric_limits<qint64>::max())
            ORVEX_FUZZ_CHECK(after == before);
        else
            ORVEX_FUZZ_CHECK(after == before + 1 || (before == 3 && after <= 4));
    }
    // What is stored now is a dictionary of counts that are never negative.
    const auto stored = defaults.dictionaryValue(key);
    ORVEX_FUZZ_CHECK(stored.has_value());
    for (const PlistValue &count : *stored)
        ORVEX_FUZZ_CHECK(count.toInteger().value_or(-1) >= 0);
    return 0;
}
