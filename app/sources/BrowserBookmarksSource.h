#pragma once

#include "search/Source.h"
#include "sources/BrowserTypes.h"

#include <QHash>
#include <QList>

#include <mutex>

namespace orvex {

// The bookmarks of the Chromium-family browsers' profiles, as action rows that open their address.
class BrowserBookmarksSource final : public Source {
public:
    using Snapshot = DataSnapshot<QList<BrowserBookmarkShortcut>>;
    static constexpr qsizetype maxRows = 50;

    // The user-data folders to read, in order.
    explicit BrowserBookmarksSource(QList<BrowserBookmarkSource> userDataFolders);

    QString id() const override;
    double timeToLive() const override { return 60; }
    std::shared_ptr<const SourceSnapshot> initialSnapshot() const override;
    std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const override;
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;

    // The bookmarks of every folder's profiles, in order; stops early once `cancelled` is true. A file
    // whose folders nest too deep is said once, until what it loses changes.
    QList<BrowserBookmarkShortcut> discover(const std::atomic<bool> *cancelled = nullptr) const;
    // The rows of these bookmarks for the context's query: best tier first, at most maxRows.
    static SearchResults rows(const SearchContext &context, const QList<BrowserBookmarkShortcut> &bookmarks);

private:
    void reportCutFiles(QHash<QString, qsizetype> cutFiles) const;

    const QList<BrowserBookmarkSource> userDataFolders_;
    // The files said to have lost bookmarks to their depth, with how many, as the last whole crawl found.
    mutable std::mutex reportedMutex_;
    mutable QHash<QString, qsizetype> reportedCutFiles_;
};

} // namespace orvex
