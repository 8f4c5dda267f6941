// XML property lists: the defaults file and property-list files found on disk.
#include "FuzzSupport.h"

#include "platform/PropertyList.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    orvex::fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (const auto value = orvex::PropertyList::readXml(orvex::fuzz::bytes(data, size)))
        orvex::fuzz::checkRoundTrip(*value);
    return 0;
}
