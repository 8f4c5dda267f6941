#include "search/Database.h"

namespace orvex {

SearchResults DatabaseManager::searchTranslationActionResults(const QString &) {
    return {};
}

} // namespace orvex
