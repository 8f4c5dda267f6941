#pragma once

#include "PlistValue.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvex {

// Property-list files: reads XML and binary ("bplist00") forms of untrusted input, writes XML.
// Bad input (truncated, cyclic, too deep, out-of-range offsets) gives no value, never a crash.
namespace PropertyList {

// Deepest nesting of arrays and dictionaries the readers accept (the root counts as level 1).
inline constexpr int maxDepth = 512;
// Most values a binary list may expand to; shared references count once per use, so a small file
// cannot unfold into an exponential tree.
inline constexpr qint64 maxObjects = 1 << 20;

std::optional<PlistValue> read(const QByteArray &bytes); // either form, told apart by the header
std::optional<PlistValue> readXml(const QByteArray &bytes);
std::optional<PlistValue> readBinary(const QByteArray &bytes);
// Reads a property-list file from the user's disk through SafeFile (regular files only, size-capped).
std::optional<PlistValue> readFile(const QString &path, qint64 maxBytes = 1024 * 1024);

// A standard XML property list that readXml reads back to an equal value, with these exceptions that
// XML cannot carry: characters XML 1.0 forbids (most C0 controls, U+FFFE, U+FFFF, lone surrogates)
// become U+FFFD; dates before year 1 or after year 9999 are clamped to that range and NaN dates become
// the reference date. Empty when the value nests deeper than maxDepth.
QByteArray writeXml(const PlistValue &value);

// True when the value nests no deeper than maxDepth, so that what writeXml makes of it reads back.
bool fitsMaxDepth(const PlistValue &value);

} // namespace PropertyList
} // namespace orvex
