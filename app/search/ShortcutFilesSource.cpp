#include "search/ShortcutFilesSource.h"

#include "search/Database.h"

namespace orvex {

ShortcutFilesSource::ShortcutFilesSource(QStringList searchRoots, int maxDepth,
                                         QSet<QString> excludedFolderNames,
                                         std::function<QSet<QString>()> fileExtensions,
                                         std::function<QStringList()> basenameSuffixes)
    : WalkedListSource(QStringLiteral("shortcuts"), 180, std::move(basenameSuffixes)),
      searchRoots_(std::move(searchRoots)), maxDepth_(maxDepth),
      excludedFolderNames_(std::move(excludedFolderNames)), fileExtensions_(std::move(fileExtensions)) {}

SearchResults ShortcutFilesSource::walk(const std::atomic<bool> &cancelled) const {
    return DatabaseManager::discoverShortcuts(searchRoots_, maxDepth_, excludedFolderNames_,
                                              fileExtensions_(), &cancelled);
}

} // namespace orvex
