// What the Argos child writes on its standard output: one JSON line per reply, among anything else
// the translation package prints.
#include "FuzzSupport.h"

#include "sources/TranslationLookupArgos.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Lines as the daemon splits them, each tried as the reply to the first and to a later request.
    for (const QByteArray &line : fuzz::bytes(data, size).split('\n')) {
        for (const quint64 requestID : {quint64(1), quint64(9007199254740993)}) {
            const auto response = ArgosDaemon::parseResponseLine(line, requestID);
            if (response && response->text)
                ORVEX_FUZZ_CHECK(QStringView(*response->text).isValidUtf16());
        }
    }
    return 0;
}
