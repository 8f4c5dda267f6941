#include "search/Database.h"

#include "search/AppsSource.h"
#include "search/FoldersSource.h"

#include "platform/DirectoryWalker.h"
#include "platform/PropertyList.h"
#include "platform/SafeFile.h"
#include "platform/StringUtils.h"

#include <QFile>
#include <QStringDecoder>

#include <future>
#include <memory>
#include <sys/stat.h>

namespace orvex {

namespace {

using Entry = DirectoryWalker::Entry;
using EntryType = DirectoryWalker::EntryType;

bool isCancelled(const std::atomic<bool> *cancelled) {
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

bool statFollowingLinks(const QString &path, struct stat &info) {
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isExistingDirectory(const QString &path) {
    struct stat info {};
    return statFollowingLinks(path, info) && S_ISDIR(info.st_mode);
}

// Whether the entry is a folder once symbolic links are followed (the walker itself never follows them).
bool entryIsDirectory(const Entry &entry) {
    if (entry.type == EntryType::symbolicLink)
        return isExistingDirectory(entry.path);
    return entry.type == EntryType::directory;
}

bool entryExists(const Entry &entry) {
    if (entry.type != EntryType::symbolicLink)
        return true;
    struct stat info {};
    return statFollowingLinks(entry.path, info); // a broken link does not exist
}

// The text after the last dot of a name, when there is one that is not the name's first character.
QString pathExtension(const QString &name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString lastPathComponent(const QString &path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentPath(const QString &path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

bool isHidden(const Entry &entry) {
    return entry.name.startsWith(QLatin1Char('.'));
}

bool hasAppExtension(const QString &name) {
    return pathExtension(name).compare(QLatin1String("app"), Qt::CaseInsensitive) == 0;
}

// A row names its file by a text: a name that is not valid UTF-8 has no text that names it (decoded,
// it holds replacement characters), so the entry, and everything below it, gives no row.
bool canBeCarriedByARow(const Entry &entry) {
    return entry.exactPath;
}

// The walk of every root in order; `visit` sees each entry and may skip its descendants. Entries past
// `maxDepth` (when given), and entries no row can name, are skipped with their descendants before
// `visit` sees them.
template <typename Visit>
void walkRoots(const QStringList &searchRoots, std::optional<int> maxDepth,
               const std::atomic<bool> *cancelled, Visit visit) {
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
class WalkedRows {
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
    SearchResults take() {
        rows_.squeeze();
        return std::move(rows_);
    }

private:
    QString folderOf(const QString &path) {
        const QString parent = parentPath(path);
        const auto known = folders_.constFind(parent);
        if (known != folders_.cend())
            return *known;
        folders_.insert(parent);
        return parent;
    }

    SearchResults rows_;
    QMultiHash<size_t, qsizetype> rowsByHash_;
    QSet<QString> folders_;
};

bool isLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

std::optional<QString> urlLineOfTextFile(const QString &filePath) {
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(filePath);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text.at(end)))
            ++end;
        const QString line = StringUtils::trimmedWhitespaceAndNewlines(text.mid(start, end - start));
        if (line.left(4).toLower() == QLatin1String("url="))
            return line.mid(4);
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<QString> urlOfPropertyListFile(const QString &filePath) {
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(filePath);
    if (!bytes)
        return std::nullopt;
    const std::optional<PlistValue> plist = PropertyList::read(*bytes);
    if (!plist)
        return std::nullopt;
    const PlistValue::Dictionary *dictionary = plist->dictionaryPointer();
    if (!dictionary)
        return std::nullopt;
    const auto it = dictionary->constFind(QStringLiteral("URL"));
    if (it == dictionary->constEnd())
        return std::nullopt;
    return it->toString();
}

} // namespace

SearchResults DatabaseManager::discoverAppBundles(const QStringList &searchRoots,
                                                  const std::atomic<bool> *cancelled) {
    WalkedRows results;
    walkRoots(searchRoots, std::nullopt, cancelled, [&](const Entry &entry, DirectoryWalker &walker) {
        const bool isApp = hasAppExtension(entry.name);
        if (isHidden(entry) && !isApp) {
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

SearchResults DatabaseManager::discoverFolders(const QStringList &searchRoots, int maxDepth,
                                               const QSet<QString> &excludedFolderNames,
                                               const std::atomic<bool> *cancelled) {
    WalkedRows results;
    walkRoots(searchRoots, maxDepth, cancelled, [&](const Entry &entry, DirectoryWalker &walker) {
        if (isHidden(entry) || excludedFolderNames.contains(entry.name.toLower())) {
            walker.skipDescendants();
            return;
        }
        if (hasAppExtension(entry.name) || !entryIsDirectory(entry))
            return;
        results.appendNew(entry.path, [&](const QString &directory) {
            return SearchResult({
                .id = stableNegativeID(QStringLiteral("folder:") + entry.path),
                .filename = entry.name,
                .directory = directory,
                .kind = SearchResultKind::folder,
            });
        });
    });
    return results.take();
}

SearchResults DatabaseManager::discoverShortcuts(const QStringList &searchRoots, int maxDepth,
                                                 const QSet<QString> &excludedFolderNames,
                                                 const QSet<QString> &fileExtensions,
                                                 const std::atomic<bool> *cancelled) {
    WalkedRows results;
    walkRoots(searchRoots, maxDepth, cancelled, [&](const Entry &entry, DirectoryWalker &walker) {
        if (!entryExists(entry))
            return;
        const bool isDirectory = entryIsDirectory(entry);
        if (isHidden(entry)) {
            if (isDirectory)
                walker.skipDescendants();
            return;
        }
        if (isDirectory) {
            if (excludedFolderNames.contains(entry.name.toLower()))
                walker.skipDescendants();
            return;
        }
        if (!fileExtensions.contains(pathExtension(entry.name).toLower()))
            return;
        results.appendNew(entry.path, [&](const QString &directory) {
            return SearchResult({
                .id = stableNegativeID(QStringLiteral("shortcut:") + entry.path),
                .filename = entry.name,
                .directory = directory,
                .kind = SearchResultKind::file,
                .usageKey = shortcutUsageKey(entry.path),
            });
        });
    });
    return results.take();
}

std::optional<QString> DatabaseManager::shortcutUsageKey(const QString &filePath) {
    const QString extension = pathExtension(lastPathComponent(filePath)).toLower();
    if (extension == QLatin1String("url") || extension == QLatin1String("gsheet") ||
        extension == QLatin1String("gdoc") || extension == QLatin1String("gslides"))
        return urlLineOfTextFile(filePath);
    if (extension == QLatin1String("webloc"))
        return urlOfPropertyListFile(filePath);
    return std::nullopt;
}

std::pair<qint64, qint64> DatabaseManager::warmupFileSystemPermissions() {
    // Both walks at once, off the manager, each keying its rows as it goes. A task dropped at shutdown
    // breaks its promise, so the wait below always ends.
    using Crawl = std::shared_ptr<const SourceSnapshot>;
    auto appsPromise = std::make_shared<std::promise<Crawl>>();
    auto foldersPromise = std::make_shared<std::promise<Crawl>>();
    std::future<Crawl> appsFuture = appsPromise->get_future();
    std::future<Crawl> foldersFuture = foldersPromise->get_future();
    startBackgroundTask([this, appsPromise] { appsPromise->set_value(appsSource_->crawl(shuttingDown_)); });
    startBackgroundTask(
        [this, foldersPromise] { foldersPromise->set_value(foldersSource_->crawl(shuttingDown_)); });
    appsPromise.reset();
    foldersPromise.reset();

    Crawl apps;
    Crawl folders;
    try {
        apps = appsFuture.get();
        folders = foldersFuture.get();
    } catch (const std::future_error &) {
        return {0, 0};
    }
    if (shuttingDown_.load())
        return {0, 0};

    const auto count = [](const Crawl &crawl) {
        return qint64(dynamic_cast<const WalkedListSnapshot &>(*crawl).rows().size());
    };
    auto held = lock();
    installCrawledSnapshots(held, {{appsIndex, apps}, {foldersIndex, folders}});
    postSearchDataRefreshed();
    return {count(apps), count(folders)};
}

} // namespace orvex
