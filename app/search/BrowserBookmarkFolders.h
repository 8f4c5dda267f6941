#pragma once

#include <QString>

namespace orvex {

// A browser whose bookmark files are read: its display name and its user-data folder (one sub-folder
// per profile). The configuration carries the list the bookmark source reads.
struct BrowserBookmarkSource {
    QString browserName;
    QString userDataRoot;

    bool operator==(const BrowserBookmarkSource &) const = default;
};

} // namespace orvex
