#include "search/Database.h"

namespace orvex {

qint64 DatabaseManager::relevanceScore(const SearchResult &, const QString &,
                                       const SearchRankingPreferences &) {
    return 0;
}
std::optional<qint64> DatabaseManager::fixedScore(const SearchResult &) {
    return std::nullopt;
}
DatabaseManager::TextMatchTier DatabaseManager::textMatchTier(const SearchResult &, const QString &,
                                                              const QStringList &) {
    return TextMatchTier::none;
}
QString DatabaseManager::searchableBasename(const QString &filename, const QStringList &) {
    return filename;
}

} // namespace orvex
