#pragma once

#include "search/Source.h"
#include "search/WalkedRowSearchKeys.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

namespace orvex {

// One crawl of a walked list: its rows and their search keys.
class WalkedListSnapshot final : public SourceSnapshot {
public:
    // Makes the rows' keys now (on the crawl's thread, not on the next keystroke).
    WalkedListSnapshot(SearchResults rows, const QStringList &basenameSuffixes);

    const SearchResults &rows() const { return rows_; }
    // The keys for these suffixes: made again, once, when the ranking settings' suffixes changed
    // after the crawl.
    std::shared_ptr<const WalkedRowSearchKeys> keys(const QStringList &basenameSuffixes) const;

private:
    const SearchResults rows_;
    mutable std::mutex keysMutex_;
    mutable std::shared_ptr<const WalkedRowSearchKeys> keys_;
};

// A list the core walks on disk (applications, folders, shortcut files) and filters by name on every
// query: rows whose name holds the query, exact basenames first, then prefixes, then the most opened,
// then by name, at most `maxRows`.
class WalkedListSource : public Source {
public:
    static constexpr qsizetype maxRows = 80;

    // `basenameSuffixes`: the ranking settings' suffixes as they are now (a crawl keys its rows with them).
    WalkedListSource(QString id, double timeToLive, std::function<QStringList()> basenameSuffixes);

    QString id() const final { return id_; }
    double timeToLive() const final { return timeToLive_; }
    SourcePlace place() const final { return SourcePlace::walkedLists; }
    std::shared_ptr<const SourceSnapshot> initialSnapshot() const final;
    std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const final;
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const final;

    // A walked snapshot of these rows, keyed with the current suffixes.
    std::shared_ptr<const WalkedListSnapshot> snapshotOf(SearchResults rows) const;

    // Filters and orders keyed rows for a query in its matching form (matchingForm, Ranking.h);
    // `pinned` rows follow the list's rows, each kept only when its path is new; with
    // `skipRepeatedPaths` only the first row of a path counts. Nothing once the context is superseded.
    static SearchResults matchRows(const WalkedRowSearchKeys &keys, bool skipRepeatedPaths,
                                   const SearchResults &pinned, const QString &matchingQuery,
                                   const SearchContext &context);

protected:
    // The walk itself; returns early with what it found once `cancelled` is true.
    virtual SearchResults walk(const std::atomic<bool> &cancelled) const = 0;
    // Rows that join the list's for every query (the pinned folders).
    virtual SearchResults pinnedRows(const SearchContext &) const { return {}; }
    virtual bool skipsRepeatedPaths() const { return false; }

private:
    const QString id_;
    const double timeToLive_;
    const std::function<QStringList()> basenameSuffixes_;
};

} // namespace orvex
