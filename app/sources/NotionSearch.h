#pragma once

#include "search/DatabaseTypes.h"

#include <QString>

#include <optional>

namespace orvex {

struct NotionPage;

// The identity of a Notion page row. Rows built now and rows stored by older versions (the page's own
// address with a title slug, no usage key) reduce to one canonical form, so learned counts, recents and
// cached lists treat them as one page.

// The last 32-digit page id (dashes optional) in the text, without dashes and in lower case.
std::optional<QString> canonicalNotionPageID(const std::optional<QString> &text);
// "https://www.notion.so/" followed by the canonical id.
QString notionPageWebAddress(const QString &canonicalID);
// "notion://page/" followed by the canonical id: the row's usage key and the seed of its id.
QString notionPageUsageKey(const QString &canonicalID);

// A Notion page row in its canonical form; any other row, or one holding no page id, comes back as it
// was. Applying it twice gives the same row as applying it once.
SearchResult normalizedNotionSearchResult(const SearchResult &result);

// The row of a page found by Notion's search; none for a page whose id is not a Notion page id.
std::optional<SearchResult> notionSearchResult(const NotionPage &page, Date now);
// How long ago a page was edited, as its row says it ("5m ago", "yesterday").
QString notionRelativeTimeString(Date date, Date now);

} // namespace orvex
