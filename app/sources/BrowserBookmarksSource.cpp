#include "sources/BrowserBookmarksSource.h"

#include "search/SearchContext.h"
#include "sources/BrowserSourceHelpers.h"
#include "sources/ChromiumBookmarks.h"

#include "platform/ConsoleLog.h"

namespace orvex {

namespace {

Q_LOGGING_CATEGORY(bookmarksLog, "orvex.bookmarks", QtInfoMsg)

} // namespace

BrowserBookmarksSource::BrowserBookmarksSource(QList<BrowserBookmarkSource> userDataFolders)
    : userDataFolders_(std::move(userDataFolders)) {}

QString BrowserBookmarksSource::id() const {
    return QStringLiteral("browserBookmarks");
}

std::shared_ptr<const SourceSnapshot> BrowserBookmarksSource::initialSnapshot() const {
    return std::make_shared<Snapshot>(QList<BrowserBookmarkShortcut>());
}

std::shared_ptr<const SourceSnapshot>
BrowserBookmarksSource::crawl(const std::atomic<bool> &cancelled) const {
    return std::make_shared<Snapshot>(discover(&cancelled));
}

QList<BrowserBookmarkShortcut> BrowserBookmarksSource::discover(const std::atomic<bool> *cancelled) const {
    QList<BrowserBookmarkShortcut> bookmarks;
    QHash<QString, qsizetype> cutFiles;
    for (const BrowserBookmarkSource &folder : userDataFolders_) {
        for (const QString &file : ChromiumBookmarks::discoverFiles(folder.userDataRoot)) {
            if (cancelled && cancelled->load())
                return bookmarks;
            ChromiumBookmarks::FileContents contents = ChromiumBookmarks::readFile(file, folder.browserName);
            bookmarks += std::move(contents.bookmarks);
            if (contents.bookmarksBeyondDepthLimit > 0)
                cutFiles.insert(file, contents.bookmarksBeyondDepthLimit);
        }
    }
    reportCutFiles(std::move(cutFiles));
    return bookmarks;
}

void BrowserBookmarksSource::reportCutFiles(QHash<QString, qsizetype> cutFiles) const {
    QStringList lines;
    {
        std::lock_guard guard(reportedMutex_);
        for (auto it = cutFiles.cbegin(); it != cutFiles.cend(); ++it)
            if (reportedCutFiles_.value(it.key()) != it.value())
                lines.append(QStringLiteral("Bookmarks file %1: %2 bookmark(s) in folders nested more than "
                                            "%3 deep were left out")
                                 .arg(it.key())
                                 .arg(it.value())
                                 .arg(ChromiumBookmarks::maxFolderDepth));
        // A file that no longer loses anything is said again should it lose bookmarks later.
        reportedCutFiles_ = std::move(cutFiles);
    }
    lines.sort();
    for (const QString &line : lines)
        printLine(bookmarksLog(), line);
}

SearchResults BrowserBookmarksSource::match(const SourceSnapshot &snapshot,
                                            const SearchContext &context) const {
    return rows(context, static_cast<const Snapshot &>(snapshot).data);
}

SearchResults BrowserBookmarksSource::rows(const SearchContext &context,
                                           const QList<BrowserBookmarkShortcut> &bookmarks) {
    const QString &q = context.queryLowercased();
    QList<std::pair<int, SearchResult>> tieredRows;
    for (const BrowserBookmarkShortcut &bookmark : bookmarks) {
        const int tier =
            BrowserSourceHelpers::matchTier(q, bookmark.title.toLower(), bookmark.host.toLower(),
                                            bookmark.urlString.toLower(), bookmark.folderPath.toLower());
        if (tier == 0)
            continue;
        const QString identity = QStringLiteral("action://browser-bookmark/") + bookmark.browserName +
                                 QLatin1Char('/') + bookmark.folderPath + QLatin1Char('/') +
                                 bookmark.urlString;
        const QString subtitle =
            bookmark.folderPath.isEmpty()
                ? bookmark.browserName + QStringLiteral(" bookmark")
                : bookmark.browserName + QStringLiteral(" bookmark \u00B7 ") + bookmark.folderPath;
        const SearchResult row({.id = stableNegativeID(identity),
                                .filename = BrowserSourceHelpers::rowTitle(bookmark.title, bookmark.host),
                                .directory = subtitle,
                                .openCount = 0,
                                .snippet = bookmark.urlString,
                                .kind = SearchResultKind::action,
                                .action = SearchResultAction::openBrowserFavorite,
                                .actionURLString = bookmark.urlString});
        tieredRows.append({tier, context.withLearnedOpenCount(row)});
    }
    return BrowserSourceHelpers::rankedRows(std::move(tieredRows), maxRows);
}

} // namespace orvex
