#pragma once

// Stand-ins for the list de-duplication and the Notion row normalisation, used by the usage store and
// the persistent query cache until the shared versions exist. Remove once they do.

#include "search/DatabaseTypes.h"

#include <QSet>

namespace orvex::usage_interim {

// First row of each identity wins: an action row's lowercased usage key, else its lowercased full path.
inline SearchResults deduplicatedSearchResults(const SearchResults &results) {
    SearchResults unique;
    unique.reserve(results.size());
    QSet<QString> seen;
    for (const SearchResult &row : results) {
        const QString identity = (row.kind() == SearchResultKind::action && row.usageKey())
                                     ? row.usageKey()->toLower()
                                     : row.fullPath().toLower();
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        unique.append(row);
    }
    return unique;
}

inline SearchResult normalizedNotionSearchResult(const SearchResult &result) {
    return result;
}

} // namespace orvex::usage_interim
