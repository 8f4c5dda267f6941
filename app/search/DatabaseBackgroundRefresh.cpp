#include "search/Database.h"

namespace orvex {

void DatabaseManager::scheduleBackgroundCacheRefreshIfNeeded() {}
void DatabaseManager::startShortcutRootWatcherIfNeeded() {}
void DatabaseManager::applyBackgroundCacheRefresh(std::optional<SearchResults>, std::optional<SearchResults>,
                                                  std::optional<SearchResults>,
                                                  std::optional<QList<SystemSettingsShortcut>>,
                                                  std::optional<QList<BrowserTabShortcut>>,
                                                  std::optional<QList<BrowserBookmarkShortcut>>) {}
void DatabaseManager::shortcutRootsDidChange() {}

} // namespace orvex
