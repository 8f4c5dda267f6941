#include "search/SearchContext.h"

#include "search/LearnedOpenCounts.h"

namespace orvex {

SearchContext::SearchContext(QString trimmedQuery) : SearchContext(std::move(trimmedQuery), Inputs{}) {}

SearchContext::SearchContext(QString trimmedQuery, Inputs inputs)
    : query_(std::move(trimmedQuery)), queryLowercased_(query_.toLower()), inputs_(std::move(inputs)) {}

qint64 SearchContext::learnedOpenCount(const SearchResult &row, qint64 databaseOpenCount) const {
    return inputs_.learnedOpenCounts ? inputs_.learnedOpenCounts->count(row, databaseOpenCount)
                                     : databaseOpenCount;
}

SearchResult SearchContext::withLearnedOpenCount(const SearchResult &row) const {
    const qint64 count = learnedOpenCount(row, 0);
    return count != 0 && count != row.openCount() ? row.withOpenCount(count) : row;
}

} // namespace orvex
