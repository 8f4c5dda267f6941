// A tab-focus link: stored in result rows and caches, so read back from disk.
#include "FuzzSupport.h"
#include "sources/BrowserTabs.h"

#include "search/Database.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto target = BrowserTabs::parseFocusLink(fuzz::text(data, size));
    if (!target)
        return 0;
    ORVEX_FUZZ_CHECK(!target->bundleIdentifier.isEmpty());
    // A link made from what was read must read back the same, when it reads at all (not every host
    // text survives as a link).
    const QString link =
        BrowserTabs::focusLink(target->bundleIdentifier, target->windowIndex, target->tabIndex);
    if (const auto again = BrowserTabs::parseFocusLink(link))
        ORVEX_FUZZ_CHECK(*again == *target);
    return 0;
}
