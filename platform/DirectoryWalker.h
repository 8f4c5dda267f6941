#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace orvex {

// Depth-first walk below one root folder, for the launcher's app, folder and shortcut crawls.
// Entries come in pre-order, names sorted per folder by their bytes so every walk of the same tree
// gives the same order. Symbolic links are yielded but never followed, "*.app" entries (any letter
// case) are yielded but never entered, and folders that cannot be read are skipped silently.
class DirectoryWalker {
public:
    // What an entry is, without following a symbolic link.
    enum class EntryType { directory, regularFile, symbolicLink, other };

    struct Entry {
        QString path;  // the root joined with the names below it, as found
        QString name;  // last component
        int depth = 0; // 1 for entries directly in the root
        EntryType type = EntryType::other;
        // False when a name on the way is not valid UTF-8: it was decoded with replacement characters,
        // and `path` names no file.
        bool exactPath = true;
    };

    // The root itself is opened following symbolic links and is never an entry.
    explicit DirectoryWalker(const QString &rootPath);

    // The next entry, or nothing once the walk is over.
    std::optional<Entry> next();
    // The entry last returned by next() is not descended into.
    void skipDescendants();

    // True for names ending in ".app" in any letter case (with something before the dot).
    static bool isAppBundleName(const QString &name);

private:
    struct Child {
        QByteArray name;
        unsigned char type; // a dirent d_type value
    };
    // Paths are kept as the file system's bytes as well, so names that are not valid UTF-8 are still
    // walked correctly.
    struct Frame {
        QString path;
        QByteArray nativePath;
        bool exactPath = true;
        int depth = 0; // of the folder itself; the root has 0
        std::vector<Child> children;
        size_t nextIndex = 0;
    };
    struct PendingFolder {
        QString path;
        QByteArray nativePath;
        bool exactPath = true;
        int depth = 0;
    };

    // Reads and sorts one folder; no frame when it cannot be opened.
    static std::optional<Frame> readFolder(const QString &path, const QByteArray &nativePath, bool exactPath,
                                           int depth, bool followLink);

    std::vector<Frame> stack_;
    // The folder last yielded, entered at the following next() unless skipped.
    std::optional<PendingFolder> pendingFolder_;
};

} // namespace orvex
