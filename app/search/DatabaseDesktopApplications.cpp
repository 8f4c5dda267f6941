#include "search/Database.h"

#include "platform/DesktopEntry.h"
#include "platform/DirectoryWalker.h"

#include <QFileInfo>

namespace orvex {

namespace {

// Folders below an applications folder are rare and shallow; a deeper tree is no desktop's doing.
constexpr int maxApplicationFolderDepth = 6;

const QString &desktopSuffix() {
    static const QString suffix = QStringLiteral(".desktop");
    return suffix;
}

bool isCancelled(const std::atomic<bool> *cancelled) {
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

QString parentPath(const QString &path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

// The desktop-file id: the path below the applications folder with "/" turned into "-".
QString desktopFileID(const QString &applicationsFolder, const QString &path) {
    QString relative = path.mid(applicationsFolder.size() + 1);
    relative.replace(QLatin1Char('/'), QLatin1Char('-'));
    return relative;
}

} // namespace

SearchResults DatabaseManager::discoverDesktopApplications(const DesktopEntryEnvironment &environment,
                                                           const std::atomic<bool> *cancelled) {
    SearchResults results;
    QSet<QString> seenIDs;
    for (const QString &folder : environment.applicationFolders()) {
        if (isCancelled(cancelled))
            break;
        if (!QFileInfo(folder).isDir())
            continue;
        DirectoryWalker walker(folder);
        while (auto entry = walker.next()) {
            if (isCancelled(cancelled))
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
                .directory = parentPath(entry->path),
                .kind = SearchResultKind::app,
                .usageKey = entry->path,
            }));
        }
    }
    return results;
}

SearchResults DatabaseManager::discoverApplications(const QStringList &searchRoots,
                                                    const DesktopEntryEnvironment &environment,
                                                    const std::atomic<bool> *cancelled) {
    SearchResults results = discoverAppBundles(searchRoots, cancelled);
    results += discoverDesktopApplications(environment, cancelled);
    return results;
}

bool DatabaseManager::isDesktopApplicationRow(const SearchResult &result) {
    return result.kind() == SearchResultKind::app && result.usageKey() &&
           result.usageKey()->endsWith(desktopSuffix()) && !result.databaseID();
}

} // namespace orvex
