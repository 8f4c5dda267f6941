#include "search/FoldersSource.h"

#include "search/RootWalk.h"
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
    return discoverFolders(searchRoots_, maxDepth_, excludedFolderNames_, &cancelled);
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

SearchResults discoverFolders(const QStringList &searchRoots, int maxDepth,
                              const QSet<QString> &excludedFolderNames, const std::atomic<bool> *cancelled) {
    RootWalk::Rows results;
    RootWalk::walk(searchRoots, maxDepth, cancelled,
                   [&](const RootWalk::Entry &entry, DirectoryWalker &walker) {
                       if (RootWalk::isHidden(entry) || excludedFolderNames.contains(entry.name.toLower())) {
                           walker.skipDescendants();
                           return;
                       }
                       if (RootWalk::hasAppExtension(entry.name) || !RootWalk::isDirectory(entry))
                           return;
                       results.appendNew(entry.path, [&](const QString &directory) {
                           return SearchResult({
                               .id = stableNegativeID(QStringLiteral("folder:") + entry.path),
                               .filename = entry.name,
                               .directory = directory,
                               .kind = SearchResultKind::folder,
                           });
                       });
                   });
    return results.take();
}

} // namespace orvex
