#include "search/Database.h"

namespace orvex {

void DatabaseManager::recordActivation(const SearchResult &) {}
SearchResults DatabaseManager::searchRecentActivationResults(const QString &,
                                                             const SearchRankingPreferences &) {
    return {};
}

} // namespace orvex
