#include "search/Database.h"

namespace orvex {

QList<BrowserTabShortcut> DatabaseManager::discoverBrowserTabs() const {
    return {};
}
bool DatabaseManager::focusBrowserTab(const QString &, qint64, qint64) {
    return false;
}
SearchResults DatabaseManager::searchBrowserTabActionResults(const QString &,
                                                             const QList<BrowserTabShortcut> &) {
    return {};
}

} // namespace orvex
