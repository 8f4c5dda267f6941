#pragma once

#include "PlistValue.h"

#include <QByteArray>

#include <optional>

namespace orvex {

// Property-list files: reads XML and binary ("bplist00") forms of untrusted input, writes XML.
// Bad input (truncated, cyclic, too deep, out-of-range offsets) gives no value, never a crash.
namespace PropertyList {

inline constexpr int maxDepth = 512;

std::optional<PlistValue> read(const QByteArray &bytes); // either form, told apart by the header
std::optional<PlistValue> readXml(const QByteArray &bytes);
std::optional<PlistValue> readBinary(const QByteArray &bytes);
QByteArray writeXml(const PlistValue &value);

} // namespace PropertyList
} // namespace orvex
