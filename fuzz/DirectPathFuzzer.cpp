// Direct paths: every query the user types is tried as a path ("~/x", "file://...", quoted).
#include "FuzzSupport.h"

#include "platform/UserDefaults.h"
#include "search/Database.h"

#include <QDir>

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static UserDefaults defaults;
    static const std::unique_ptr<DatabaseManager> manager = fuzz::makeManager(defaults);

    if (const auto path = manager->resolveDirectPath(fuzz::text(data, size))) {
        ORVEX_FUZZ_CHECK(path->startsWith(QLatin1Char('/')));
        ORVEX_FUZZ_CHECK(QDir::cleanPath(*path) == *path);
    }
    return 0;
}
