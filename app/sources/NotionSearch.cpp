#include "search/Database.h"

namespace orvex {

SearchResults DatabaseManager::searchNotionPages(const QString &) {
    return {};
}

} // namespace orvex
