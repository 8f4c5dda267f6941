#pragma once

#include "sources/BrowserTypes.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace orvex::ChromiumBookmarks {

// The bookmark files of the Chromium-family browsers ("Bookmarks", one per profile, JSON) and what they
// hold. Pure functions: they read only the files they are given.

// Edge, Brave, Chrome and Chromium, in that order, under the home's ~/.config.
QList<BrowserBookmarkSource> defaultSources(const QString &homePath);
// Every "Bookmarks" file below a user-data folder, in name order, to depth four, never through a link.
QStringList discoverFiles(const QString &userDataRoot);
// Folders nested deeper than this inside a root are left out with everything in them.
inline constexpr int maxFolderDepth = 100;

// What one bookmark file gave.
struct FileContents {
    QList<BrowserBookmarkShortcut> bookmarks;
    // Bookmark entries left out because their folders lie deeper than maxFolderDepth.
    qsizetype bookmarksBeyondDepthLimit = 0;
};

// The bookmarks of one file, read only when it is a regular file of at most 64 MiB; nothing when it is
// not a bookmark file. Folders beyond the depth limit are cut off; the rest of the file still counts.
FileContents readFile(const QString &filePath, const QString &browserName);
QList<BrowserBookmarkShortcut> parseFile(const QString &filePath, const QString &browserName);
// Appends the bookmarks below one node of a file, with the folder path that leads to them.
void collect(const QJsonObject &node, const QString &browserName, const QStringList &folderPathComponents,
             QList<BrowserBookmarkShortcut> &results);
// The name a root shows in folder paths: its own name, else the browser's label for its key.
QString rootLabel(const QString &rootKey, const QJsonObject &node);

} // namespace orvex::ChromiumBookmarks
