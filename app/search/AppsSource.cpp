#include "search/AppsSource.h"

#include "search/Database.h"

namespace orvex {

AppsSource::AppsSource(QStringList searchRoots, DesktopEntryEnvironment desktopEntries,
                       std::function<QStringList()> basenameSuffixes)
    : WalkedListSource(QStringLiteral("apps"), 120, std::move(basenameSuffixes)),
      searchRoots_(std::move(searchRoots)), desktopEntries_(std::move(desktopEntries)) {}

SearchResults AppsSource::walk(const std::atomic<bool> &cancelled) const {
    return DatabaseManager::discoverApplications(searchRoots_, desktopEntries_, &cancelled);
}

bool AppsSource::changesApplications(const FileEventStream::Event &event) {
    constexpr unsigned folderOrLost =
        FileEventStream::isDirectory | FileEventStream::rootChanged | FileEventStream::mustRescan;
    return (event.flags & folderOrLost) || event.path.endsWith(QLatin1String(".desktop"));
}

} // namespace orvex
