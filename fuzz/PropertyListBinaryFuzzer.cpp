// Binary ("bplist00") property lists: a defaults file in binary form and bundle property lists.
#include "FuzzSupport.h"

#include "platform/PropertyList.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    orvex::fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = orvex::fuzz::bytes(data, size);
    const auto value = orvex::PropertyList::readBinary(bytes);
    // The reader that tells the forms apart by their header must agree.
    if (bytes.startsWith("bplist00"))
        ORVEX_FUZZ_CHECK(orvex::PropertyList::read(bytes).has_value() == value.has_value());
    if (value)
        orvex::fuzz::checkRoundTrip(*value);
    return 0;
}
