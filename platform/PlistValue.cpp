#include "PlistValue.h"

namespace orvex {

bool PlistValue::operator==(const PlistValue &other) const {
    return value_ == other.value_;
}

} // namespace orvex
