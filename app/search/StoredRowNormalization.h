#pragma once

#include "search/DatabaseTypes.h"

namespace orvex {

// A row read back from a store (the recent activations, the persistent query cache) may carry an older
// form of a source's identity. The sources hand in the function that brings such a row to today's form,
// so that these generic stores know no source. None handed in: rows stay as they were stored.
using StoredRowNormalization = SearchResult (*)(const SearchResult &row);
void installStoredRowNormalization(StoredRowNormalization normalization);
SearchResult normalizedStoredRow(const SearchResult &row);

} // namespace orvex
