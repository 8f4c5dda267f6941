// The tab probe's output: one line per tab written by a child process from the browser's own data.
#include "FuzzSupport.h"
#include "sources/BrowserTabs.h"

#include "search/Database.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString bundleIdentifier = QStringLiteral("com.google.Chrome");
    for (const BrowserTabShortcut &tab :
         BrowserTabs::parse(fuzz::text(data, size), QStringLiteral("Chrome"), bundleIdentifier)) {
        ORVEX_FUZZ_CHECK(tab.windowIndex >= 1 && tab.tabIndex >= 1);
        // Every listed tab can be focused through its link.
        const QString link = BrowserTabs::focusLink(bundleIdentifier, tab.windowIndex, tab.tabIndex);
        const auto target = BrowserTabs::parseFocusLink(link);
        ORVEX_FUZZ_CHECK(target.has_value());
        ORVEX_FUZZ_CHECK(target->bundleIdentifier == bundleIdentifier);
        ORVEX_FUZZ_CHECK(target->windowIndex == tab.windowIndex && target->tabIndex == tab.tabIndex);
    }
    return 0;
}
