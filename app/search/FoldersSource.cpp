#include "search/FoldersSource.h"

#include "search/Database.h"
#include "search/SearchContext.h"

#include <QDir>
#include <QFileInfo>

namespace orvex {

FoldersSource::FoldersSource(QStringList searchRoots, int maxDepth, QSet<QString> excludedFolderNames,
                             QStringList pinnedFolderPaths, std::function<QStringList()> basenameSuffixes)
    : WalkedListSource(QStringLiteral("folders"), 180, std::move(basenameSuffixes)),
      searchRoots_(std::move(searchRoots)), maxDepth_(maxDepth),
      excludedFolderNames_(std::move(excludedFolderNames)), pinnedFolderPaths_(std::move(pinnedFolderPaths)) {
}

SearchResults FoldersSource::walk(const std::atomic<bool> &cancelled) const {
    return DatabaseManager::discoverFolders(searchRoots_, maxDepth_, excludedFolderNames_, &cancelled);
}

SearchResults FoldersSource::pinnedRows(const SearchContext &context) const {
    SearchResults rows;
    for (const QString &path : pinnedFolderPaths_) {
        const QFileInfo info(path);
        if (!info.isDir())
            continue;
        rows.append(context.withLearnedOpenCount(
            SearchResult({.id = stableNegativeID(QStringLiteral("folder:") + path),
                          .filename = info.fileName(),
                          .directory = info.dir().path(),
                          .kind = SearchResultKind::folder})));
    }
    return rows;
}

} // namespace orvex
