#include "search/Database.h"

namespace orvex {

SearchResults DatabaseManager::discoverAppBundles(const QStringList &) {
    return {};
}
SearchResults DatabaseManager::discoverFolders(const QStringList &, int, const QSet<QString> &) {
    return {};
}
SearchResults DatabaseManager::discoverShortcuts(const QStringList &, int, const QSet<QString> &,
                                                 const QSet<QString> &) {
    return {};
}
std::optional<QString> DatabaseManager::shortcutUsageKey(const QString &) {
    return std::nullopt;
}
std::pair<qint64, qint64> DatabaseManager::warmupFileSystemPermissions() {
    return {0, 0};
}

} // namespace orvex
