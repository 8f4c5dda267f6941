#pragma once

#include "search/WalkedListSource.h"

#include <QSet>

namespace orvex {

// The shortcut files (web links, online documents, and the types the ranking settings boost) under the
// shortcut roots.
class ShortcutFilesSource final : public WalkedListSource {
public:
    // `fileExtensions`: the extensions a crawl looks for, as the ranking settings make them then.
    ShortcutFilesSource(QStringList searchRoots, int maxDepth, QSet<QString> excludedFolderNames,
                        std::function<QSet<QString>()> fileExtensions,
                        std::function<QStringList()> basenameSuffixes);

    const QStringList &searchRoots() const { return searchRoots_; }

protected:
    SearchResults walk(const std::atomic<bool> &cancelled) const override;

private:
    const QStringList searchRoots_;
    const int maxDepth_;
    const QSet<QString> excludedFolderNames_;
    const std::function<QSet<QString>()> fileExtensions_;
};

} // namespace orvex
