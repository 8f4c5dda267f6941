// The calculator: every query the user types reaches it.
#include "FuzzSupport.h"

#include "sources/MathEvaluator.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = fuzz::text(data, size);
    (void)isMathExpression(text);
    if (const auto value = evaluateMathExpression(text))
        ORVEX_FUZZ_CHECK(!value->isEmpty());
    return 0;
}
