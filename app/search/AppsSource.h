#pragma once

#include "platform/DesktopEntryEnvironment.h"
#include "platform/FileEventStream.h"
#include "search/WalkedListSource.h"

#include <atomic>

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

// The walks touch no state and may run on any thread. When `cancelled` is given and becomes true, a
// walk stops early and returns what it found so far.

// The app bundles ("*.app") under the roots.
SearchResults discoverAppBundles(const QStringList &searchRoots,
                                 const std::atomic<bool> *cancelled = nullptr);
// The desktop entries of the environment's application folders that this desktop offers, as app rows:
// the entry's name in the environment's locale as title, its folder as location, its file as usage key
// (and so as full path). The first entry of a desktop-file id wins, so a user's entry hides the
// system's, also when it hides the application.
SearchResults discoverDesktopApplications(const DesktopEntryEnvironment &environment,
                                          const std::atomic<bool> *cancelled = nullptr);
// The app walk: the bundles under the roots, then the desktop applications.
SearchResults discoverApplications(const QStringList &searchRoots, const DesktopEntryEnvironment &environment,
                                   const std::atomic<bool> *cancelled = nullptr);
// An app row that stands for a desktop entry (its full path is the entry's file). The entry's file is
// the row's identity, not text the user knows: such a row matches through its name and its folder.
bool isDesktopApplicationRow(const SearchResult &result);

} // namespace orvex
