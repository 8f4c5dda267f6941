#pragma once

#include "search/WalkedListSource.h"

#include <QSet>

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

} // namespace orvex
