#include "search/Database.h"

namespace orvex {

SearchResults DatabaseManager::searchIndexedFiles(const QString &) {
    return {};
}
std::optional<QString> DatabaseManager::indexedFTSQuery(const QString &) {
    return std::nullopt;
}
void DatabaseManager::incrementOpenCount(qint64) {}
void DatabaseManager::openIndexDatabase() {}
void DatabaseManager::closeIndexDatabase() {}

} // namespace orvex
