#pragma once

#include "search/WalkedListSource.h"

#include <QSet>

#include <atomic>
#include <optional>

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

// The files under the roots, at most `maxDepth` deep, whose extension (lowercased) is one of
// `fileExtensions`, leaving out hidden entries and the folders named in `excludedFolderNames`
// (lowercased), each with its address as usage key where it has one. Touches no state and may run on any
// thread; once `cancelled` (when given) becomes true it stops and returns what it found so far.
SearchResults discoverShortcuts(const QStringList &searchRoots, int maxDepth,
                                const QSet<QString> &excludedFolderNames, const QSet<QString> &fileExtensions,
                                const std::atomic<bool> *cancelled = nullptr);
// The target address of a shortcut file (".url", ".gdoc", ".gsheet", ".gslides", ".webloc"), read
// without blocking and only from regular files of at most 1 MiB.
std::optional<QString> shortcutUsageKey(const QString &filePath);

} // namespace orvex
