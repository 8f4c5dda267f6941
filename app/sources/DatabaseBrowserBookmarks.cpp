#include "search/Database.h"

namespace orvex {

QList<BrowserBookmarkSource> DatabaseManager::defaultBrowserBookmarkSources(const QString &) {
    return {};
}
QList<BrowserBookmarkShortcut> DatabaseManager::discoverBrowserBookmarks() const {
    return {};
}
SearchResults DatabaseManager::searchBrowserBookmarkActionResults(const QString &,
                                                                  const QList<BrowserBookmarkShortcut> &) {
    return {};
}

} // namespace orvex
