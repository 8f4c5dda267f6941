#pragma once

#include "search/DatabaseTypes.h"
#include "sources/BrowserTypes.h"

#include <QList>
#include <QString>

#include <optional>

namespace orvex {
class SearchContext;
}

namespace orvex::BrowserTabs {

// The open tabs of the browsers that list them to a script, and the links that bring one to the front.
// Pure functions: the scripts' fixed texts, what their output means, the rows of a list of tabs.

constexpr qsizetype maxRows = 50;

// The browsers whose tabs are listed, Edge first.
const QList<BrowserAutomationTarget> &targets();
// The table's browser with this bundle identifier; null for any other.
const BrowserAutomationTarget *target(const QString &bundleIdentifier);
// The fixed script texts; data reaches them only as arguments.
const QString &probeScript();
const QString &focusScript();
// The tabs the probe script wrote: one record a line, fields split by U+001F; malformed records and
// addresses that are not web addresses are left out.
QList<BrowserTabShortcut> parse(const QString &output, const QString &browserName,
                                const QString &bundleIdentifier);
// The link a tab's row carries to bring it to the front.
QString focusLink(const QString &bundleIdentifier, qint64 windowIndex, qint64 tabIndex);
// Reads a tab-focus link back: scheme, the host exactly as written, and the "window" and "tab"
// numbers. Absent when any part is missing or not a number.
std::optional<BrowserTabFocusTarget> parseFocusLink(const QString &link);
// The rows of these tabs for the context's query: best tier first, at most maxRows.
SearchResults rows(const SearchContext &context, const QList<BrowserTabShortcut> &tabs);

} // namespace orvex::BrowserTabs
