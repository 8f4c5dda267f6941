#include "search/AppsSource.h"

#include "platform/DesktopEntry.h"
#include "platform/DirectoryWalker.h"
#include "search/RootWalk.h"

#include <QFileInfo>

namespace orvex {

namespace {

// Folders below an applications folder are rare and shallow; a deeper tree is no desktop's doing.
constexpr int maxApplicationFolderDepth = 6;

const QString &desktopSuffix() {
    static const QString suffix = QStringLiteral(".desktop");
    return suffix;
}

// The desktop-file id: the path below the applications folder with "/" turned into "-".
QString desktopFileID(const QString &applicationsFolder, const QString &path) {
    QString relative = path.mid(applicationsFolder.size() + 1);
    relative.replace(QLatin1Char('/'), QLatin1Char('-'));
    return relative;
}

} // namespace

AppsSource::AppsSource(QStringList searchRoots, DesktopEntryEnvironment desktopEntries,
                       std::function<QStringList()> basenameSuffixes)
    : WalkedListSource(QStringLiteral("apps"), 120, std::move(basenameSuffixes)),
      searchRoots_(std::move(searchRoots)), desktopEntries_(std::move(desktopEntries)) {}

SearchResults AppsSource::walk(const std::atomic<bool> &cancelled) const {
    return discoverApplications(searchRoots_, desktopEntries_, &cancelled);
}

SearchResults discoverAppBundles(const QStringList &searchRoots, const std::atomic<bool> *cancelled) {
    RootWalk::Rows results;
    RootWalk::walk(searchRoots, std::nullopt, cancelled,
                   [&](const RootWalk::Entry &entry, DirectoryWalker &walker) {
                       const bool isApp = RootWalk::hasAppExtension(entry.name);
                       if (RootWalk::isHidden(entry) && !isApp) {
                           walker.skipDescendants();
                           return;
                       }
                       if (!isApp)
                           return;
                       results.appendNew(entry.path, [&](const QString &directory) {
                           return SearchResult({
                               .id = stableNegativeID(entry.path),
                               .filename = entry.name,
                               .directory = directory,
                               .kind = SearchResultKind::app,
                           });
                       });
                   });
    return results.take();
}

SearchResults discoverDesktopApplications(const DesktopEntryEnvironment &environment,
                                          const std::atomic<bool> *cancelled) {
    SearchResults results;
    QSet<QString> seenIDs;
    for (const QString &folder : environment.applicationFolders()) {
        if (RootWalk::isCancelled(cancelled))
            break;
        if (!QFileInfo(folder).isDir())
            continue;
        DirectoryWalker walker(folder);
        while (auto entry = walker.next()) {
            if (RootWalk::isCancelled(cancelled))
                break;
            using EntryType = DirectoryWalker::EntryType;
            if (entry->name.startsWith(QLatin1Char('.')) || entry->depth > maxApplicationFolderDepth) {
                walker.skipDescendants();
                continue;
            }
            if (entry->type == EntryType::directory || !entry->name.endsWith(desktopSuffix()) ||
                entry->name.size() == desktopSuffix().size())
                continue;
            // The first file of an id decides, whatever it says: that is how a user's entry hides or
            // replaces the system's.
            const QString id = desktopFileID(folder, entry->path);
            if (seenIDs.contains(id))
                continue;
            seenIDs.insert(id);
            const std::optional<DesktopEntry> desktopEntry = DesktopEntry::readFile(entry->path);
            if (!desktopEntry || !environment.offersApplication(*desktopEntry, true))
                continue;
            const QString name = desktopEntry->localeString(QStringLiteral("Name"), environment.locales)
                                     .value_or(QString())
                                     .trimmed();
            if (name.isEmpty())
                continue;
            results.append(SearchResult({
                .id = stableNegativeID(entry->path),
                .filename = name,
                .directory = RootWalk::parentPath(entry->path),
                .kind = SearchResultKind::app,
                .usageKey = entry->path,
            }));
        }
    }
    return results;
}

SearchResults discoverApplications(const QStringList &searchRoots, const DesktopEntryEnvironment &environment,
                                   const std::atomic<bool> *cancelled) {
    SearchResults results = discoverAppBundles(searchRoots, cancelled);
    results += discoverDesktopApplications(environment, cancelled);
    return results;
}

bool isDesktopApplicationRow(const SearchResult &result) {
    return result.kind() == SearchResultKind::app && result.usageKey() &&
           result.usageKey()->endsWith(desktopSuffix()) && !result.databaseID();
}

bool AppsSource::changesApplications(const FileEventStream::Event &event) {
    constexpr unsigned folderOrLost =
        FileEventStream::isDirectory | FileEventStream::rootChanged | FileEventStream::mustRescan;
    return (event.flags & folderOrLost) || event.path.endsWith(QLatin1String(".desktop"));
}

} // namespace orvex
