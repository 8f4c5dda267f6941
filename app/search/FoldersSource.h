#pragma once

#include "search/WalkedListSource.h"

#include <QSet>

#include <atomic>

namespace orvex {

// The folders under the folder roots, and the pinned folders that every query may find; a folder
// reached twice counts once.
class FoldersSource final : public WalkedListSource {
public:
    FoldersSource(QStringList searchRoots, int maxDepth, QSet<QString> excludedFolderNames,
                  QStringList pinnedFolderPaths, std::function<QStringList()> basenameSuffixes);

    // The pinned folders that exist now, with their learned counts.
    SearchResults pinnedRows(const SearchContext &context) const override;

protected:
    SearchResults walk(const std::atomic<bool> &cancelled) const override;
    bool skipsRepeatedPaths() const override { return true; }

private:
    const QStringList searchRoots_;
    const int maxDepth_;
    const QSet<QString> excludedFolderNames_;
    const QStringList pinnedFolderPaths_;
};

// The folders under the roots, at most `maxDepth` deep, leaving out hidden folders, those named in
// `excludedFolderNames` (lowercased) and everything below them. Touches no state and may run on any
// thread; once `cancelled` (when given) becomes true it stops and returns what it found so far.
SearchResults discoverFolders(const QStringList &searchRoots, int maxDepth,
                              const QSet<QString> &excludedFolderNames,
                              const std::atomic<bool> *cancelled = nullptr);

} // namespace orvex
