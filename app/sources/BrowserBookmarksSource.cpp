#include "sources/BrowserBookmarksSource.h"

#include "search/SearchContext.h"
#include "sources/BrowserSourceHelpers.h"
#include "sources/ChromiumBookmarks.h"

namespace orvex {

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
    for (const BrowserBookmarkSource &folder : userDataFolders_) {
        for (const QString &file : ChromiumBookmarks::discoverFiles(folder.userDataRoot)) {
            if (cancelled && cancelled->load())
                return bookmarks;
            bookmarks += ChromiumBookmarks::parseFile(file, folder.browserName);
        }
    }
    return bookmarks;
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
