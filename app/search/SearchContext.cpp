#include "search/SearchContext.h"

namespace orvex {

SearchContext::SearchContext(QString trimmedQuery, LearnedOpenCount learnedOpenCount, quint64 generation,
                             const std::atomic<quint64> *currentGeneration, LateLookups *lateLookups)
    : query_(std::move(trimmedQuery)), queryLowercased_(query_.toLower()),
      learnedOpenCount_(std::move(learnedOpenCount)), generation_(generation),
      currentGeneration_(currentGeneration), lateLookups_(lateLookups) {}

SearchResult SearchContext::withLearnedOpenCount(const SearchResult &row) const {
    if (!learnedOpenCount_)
        return row;
    const qint64 count = learnedOpenCount_(row);
    return count != 0 && count != row.openCount() ? row.withOpenCount(count) : row;
}

} // namespace orvex
