#pragma once

#include "platform/DesktopEntryEnvironment.h"
#include "platform/FileEventStream.h"
#include "search/WalkedListSource.h"

namespace orvex {

// The applications: the bundles under the app roots, then the desktop's applications (its desktop
// entries).
class AppsSource final : public WalkedListSource {
public:
    AppsSource(QStringList searchRoots, DesktopEntryEnvironment desktopEntries,
               std::function<QStringList()> basenameSuffixes);

    // The folders whose changes add or remove desktop applications: the applications folders of every
    // data folder, also those that do not exist yet (a user's is made by the first entry put there).
    QStringList watchedFolders() const { return desktopEntries_.applicationFolders(); }
    // Whether a change seen below those folders can change the list: a desktop entry, a folder, or
    // events lost. The desktop's own caches beside the entries (mimeinfo.cache) cannot.
    static bool changesApplications(const FileEventStream::Event &event);

protected:
    SearchResults walk(const std::atomic<bool> &cancelled) const override;

private:
    const QStringList searchRoots_;
    const DesktopEntryEnvironment desktopEntries_;
};

} // namespace orvex
