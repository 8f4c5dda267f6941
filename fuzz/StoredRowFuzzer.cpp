// One stored result row, as the persistent caches keep it in the defaults file.
#include "FuzzSupport.h"

#include "search/DatabaseTypes.h"

#include <QJsonDocument>

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QJsonDocument document = QJsonDocument::fromJson(fuzz::bytes(data, size));
    if (!document.isObject())
        return 0;
    bool malformed = false;
    const auto row = searchResultFromRecordJson(document.object(), malformed);
    if (!row)
        return 0;
    ORVEX_FUZZ_CHECK(!malformed);
    // A row read back is written and read again unchanged.
    const QJsonObject written = searchResultRecordToJson(*row);
    const auto again = searchResultFromRecordJson(written, malformed);
    ORVEX_FUZZ_CHECK(again.has_value() && !malformed);
    ORVEX_FUZZ_CHECK(searchResultRecordToJson(*again) == written);
    return 0;
}
