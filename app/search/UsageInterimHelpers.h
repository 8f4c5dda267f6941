#pragma once

// Stand-in for the Notion row normalisation, used by the usage store and the persistent query cache
// until the shared version exists. Remove once it does.

#include "search/DatabaseTypes.h"

namespace orvex::usage_interim {

inline SearchResult normalizedNotionSearchResult(const SearchResult &result) { return result; }

} // namespace orvex::usage_interim
