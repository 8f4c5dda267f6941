#include "search/Database.h"

namespace orvex {

qint64 DatabaseManager::learnedOpenCount(const SearchResult &, qint64 databaseOpenCount) {
    return databaseOpenCount;
}
QStringList DatabaseManager::usageLookupIdentifiers(const SearchResult &) const {
    return {};
}
void DatabaseManager::invalidateQueryResultCache() {
    auto guard = lock();
    cachedQueryResults_.clear();
}
std::optional<QString> DatabaseManager::cachedShortcutUsageKey(const QString &, const QString &) {
    return std::nullopt;
}
QSet<QString> DatabaseManager::shortcutFileExtensions() {
    return baselineShortcutFileExtensions_;
}

} // namespace orvex
