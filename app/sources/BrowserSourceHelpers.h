#pragma once

#include "search/DatabaseTypes.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace orvex::BrowserSourceHelpers {

// Shared by the tab and bookmark sources: which addresses they accept and how their rows look and sort.

// The host of an "http" or "https" address as written (percent-decoded, never lowercased or converted),
// "" when it has none; absent when the text is not such an address.
std::optional<QString> webAddressHost(const QString &urlText);

// What a bookmark's row names as its place: the host of an "http", "https" or "ftp" address as
// webAddressHost gives it, or the local path of a "file" address on this machine; absent for every
// other address (scripts, inline data, unknown schemes), which no bookmark row offers.
std::optional<QString> bookmarkAddressPlace(const QString &urlText);

// "title — host", or the host alone when there is no title; "website" stands in for a missing host.
QString rowTitle(const QString &title, const QString &host);

// Match tier of a lowercased query against a source's lowercased texts: 4 when the title or host equals
// it, 3 when one starts with it, 2 when one (or any of `alsoContains`) contains it, 1 when the address
// contains it, 0 for no row.
int matchTier(const QString &queryLowercased, const QString &titleLowercased, const QString &hostLowercased,
              const QString &urlLowercased, const QString &alsoContainsLowercased = {});

// Rows ordered by tier, then open count, then title (case-insensitive, locale-aware); ties keep their
// order. At most `limit` rows.
SearchResults rankedRows(QList<std::pair<int, SearchResult>> tieredRows, qsizetype limit);

} // namespace orvex::BrowserSourceHelpers
