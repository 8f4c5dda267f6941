#pragma once

#include "PlistValue.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvex {

// Property-list files: reads XML and binary ("bplist00") forms of untrusted input, writes both.
// Bad input (truncated, cyclic, out-of-range offsets) gives no value, never a crash; well-formed
// values this build has no type for (integers beyond 64 bits, UIDs, sets, nesting past maxDepth) are
// read as opaque values that the binary writer puts back unchanged.
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

// A standard binary property list that either reader reads back to an equal value: every string
// and key as its UTF-16 code units, dates as the exact double. Empty when the value nests deeper than
// maxDepth (opaque values count as one level) or holds a damaged opaque value.
QByteArray writeBinary(const PlistValue &value);

// A standard XML property list that readXml reads back to an equal value, with these exceptions that
// XML cannot carry: characters XML 1.0 forbids (most C0 controls, U+FFFE, U+FFFF, lone surrogates)
// become U+FFFD; dates before year 1 or after year 9999 are clamped to that range and NaN dates become
// the reference date; dates keep their fraction of a second, which some readers refuse. Empty when the
// value nests deeper than maxDepth or holds an opaque value.
QByteArray writeXml(const PlistValue &value);

// The value as standard property-list readers read it back: lone UTF-16 surrogates (text that is
// not Unicode) become U+FFFD and dates are kept within years 1 to 9999, NaN becoming the reference
// date. Anything else is unchanged.
PlistValue portable(const PlistValue &value);

// True when the value nests no deeper than maxDepth, so that what writeXml makes of it reads back.
bool fitsMaxDepth(const PlistValue &value);

} // namespace PropertyList
} // namespace orvex
