#pragma once

#include <QString>

namespace orvex {

// A browser whose bookmark files are read: its display name and its user-data folder (one sub-folder
// per profile).
struct BrowserBookmarkSource {
    QString browserName;
    QString userDataRoot;

    bool operator==(const BrowserBookmarkSource &) const = default;
};

// One bookmark read from a browser's bookmark file.
struct BrowserBookmarkShortcut {
    QString browserName;
    QString title;
    QString urlString;
    QString host;
    QString folderPath;
};

// One open browser tab as the tab probe reported it; indexes are 1-based positions at probe time.
struct BrowserTabShortcut {
    QString browserName;
    QString browserBundleIdentifier;
    qint64 windowIndex = 1;
    qint64 tabIndex = 1;
    QString title;
    QString urlString;
    QString host;
};

} // namespace orvex
