#pragma once

#include <QString>

namespace orvex {

// Text helpers with the semantics the design's string operations have: Unicode white-space sets,
// user-perceived characters (grapheme clusters) and a locale-aware, case-insensitive comparison.
namespace StringUtils {

// Space separators (general category Zs) and the tab; line breaks are not white space here.
bool isWhitespace(char32_t c);
// Every separator (Zs, Zl, Zp), the tab, U+000A to U+000D and U+0085.
bool isWhitespaceOrNewline(char32_t c);

QString trimmedWhitespace(const QString &text);
QString trimmedWhitespaceAndNewlines(const QString &text);

// Number of user-perceived characters.
qsizetype graphemeCount(const QString &text);
// `text` without its last `count` user-perceived characters (empty when it has no more than that).
QString droppingLastGraphemes(const QString &text, qsizetype count);

// Negative, zero or positive like strcmp; follows the user's locale, ignores letter case.
int localizedCaseInsensitiveCompare(const QString &a, const QString &b);

} // namespace StringUtils
} // namespace orvex
