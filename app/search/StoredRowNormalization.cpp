#include "search/StoredRowNormalization.h"

#include <atomic>

namespace orvex {

namespace {
// Installed once, before the first manager; read from any thread.
std::atomic<StoredRowNormalization> installedNormalization{nullptr};
} // namespace

void installStoredRowNormalization(StoredRowNormalization normalization) {
    installedNormalization.store(normalization);
}

SearchResult normalizedStoredRow(const SearchResult &row) {
    const StoredRowNormalization normalization = installedNormalization.load();
    return normalization ? normalization(row) : row;
}

} // namespace orvex
