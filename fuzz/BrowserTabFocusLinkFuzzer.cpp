// A tab-focus link: stored in result rows and caches, so read back from disk.
#include "FuzzSupport.h"

#include "search/Database.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto target = DatabaseManager::parseBrowserTabFocusLink(fuzz::text(data, size));
    if (!target)
        return 0;
    ORVEX_FUZZ_CHECK(!target->bundleIdentifier.isEmpty());
    // A link made from what was read must read back the same, when it reads at all (not every host
    // text survives as a link).
    const QString link = DatabaseManager::browserTabFocusTargetURLString(
        target->bundleIdentifier, target->windowIndex, target->tabIndex);
    if (const auto again = DatabaseManager::parseBrowserTabFocusLink(link))
        ORVEX_FUZZ_CHECK(*again == *target);
    return 0;
}
