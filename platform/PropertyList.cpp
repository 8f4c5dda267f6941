#include "PropertyList.h"

namespace orvex::PropertyList {

std::optional<PlistValue> read(const QByteArray &bytes) {
    if (bytes.startsWith("bplist00"))
        return readBinary(bytes);
    return readXml(bytes);
}

std::optional<PlistValue> readXml(const QByteArray &) { return std::nullopt; }
std::optional<PlistValue> readBinary(const QByteArray &) { return std::nullopt; }
QByteArray writeXml(const PlistValue &) { return {}; }

} // namespace orvex::PropertyList
