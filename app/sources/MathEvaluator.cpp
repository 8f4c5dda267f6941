#include "search/Database.h"

namespace orvex {

SearchResults DatabaseManager::searchCalculatorResults(const QString &) {
    return {};
}

} // namespace orvex
