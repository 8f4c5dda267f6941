#pragma once

#include "platform/DirectoryWalker.h"
#include "search/DatabaseTypes.h"

#include <QMultiHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace orvex {

// The walk under search roots that the walked lists' crawls (apps, folders, shortcut files) share, and
// the tests of its entries they make.
namespace RootWalk {

using Entry = DirectoryWalker::Entry;

bool isCancelled(const std::atomic<bool> *cancelled);
bool isExistingDirectory(const QString &path);
// Whether the entry is a folder once symbolic links are followed (the walker itself never follows them).
bool isDirectory(const Entry &entry);
// False for a broken symbolic link.
bool exists(const Entry &entry);
bool isHidden(const Entry &entry);
// The text after the last dot of a name, when there is one that is not the name's first character.
QString pathExtension(const QString &name);
QString lastPathComponent(const QString &path);
QString parentPath(const QString &path);
bool hasAppExtension(const QString &name);

// A row names its file by a text: a name that is not valid UTF-8 has no text that names it (decoded,
// it holds replacement characters), so the entry, and everything below it, gives no row.
inline bool canBeCarriedByARow(const Entry &entry) {
    return entry.exactPath;
}

// The walk of every root in order; `visit` sees each entry and may skip its descendants. Entries past
// `maxDepth` (when given), and entries no row can name, are skipped with their descendants before
// `visit` sees them.
template <typename Visit>
void walk(const QStringList &searchRoots, std::optional<int> maxDepth, const std::atomic<bool> *cancelled,
          Visit visit) {
    for (const QString &root : searchRoots) {
        if (isCancelled(cancelled))
            return;
        if (!isExistingDirectory(root))
            continue;
        DirectoryWalker walker(root);
        while (auto entry = walker.next()) {
            if (isCancelled(cancelled))
                return;
            if ((maxDepth && entry->depth > *maxDepth) || !canBeCarriedByARow(*entry)) {
                walker.skipDescendants();
                continue;
            }
            visit(*entry, walker);
        }
    }
}

// What one walk collects: its rows, one per path (letter case ignored), and the folder paths they share.
// The walked lists are the larger part of the search core's memory, so the walk keeps no lowercased
// copy of every path (a repeated hash is checked against the earlier row instead) and the rows of one
// folder share one copy of its path.
class Rows {
public:
    // Appends the row made from `path` unless a row with this path is already there.
    template <typename Make> void appendNew(const QString &path, Make make) {
        const QString lowered = path.toLower();
        const size_t hash = qHash(lowered);
        for (auto it = rowsByHash_.constFind(hash); it != rowsByHash_.cend() && it.key() == hash; ++it) {
            if (rows_.at(it.value()).fullPath().toLower() == lowered)
                return;
        }
        rowsByHash_.insert(hash, rows_.size());
        rows_.append(make(folderOf(path)));
    }

    // The rows, taking no more room than they need.
    SearchResults take();

private:
    QString folderOf(const QString &path);

    SearchResults rows_;
    QMultiHash<size_t, qsizetype> rowsByHash_;
    QSet<QString> folders_;
};

} // namespace RootWalk

} // namespace orvex
