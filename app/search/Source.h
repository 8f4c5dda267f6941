#pragma once

#include "search/DatabaseTypes.h"

#include <QString>

#include <atomic>
#include <limits>
#include <memory>

namespace orvex {

class SearchContext;

// What one crawl of a source found, immutable once made: the refresh swaps a new one in, and a search
// that holds the old one reads it undisturbed.
class SourceSnapshot {
public:
    virtual ~SourceSnapshot() = default;
};

// A snapshot that is one value: a source's crawl makes it, its match reads `data`.
template <typename Data> class DataSnapshot final : public SourceSnapshot {
public:
    explicit DataSnapshot(Data value) : data(std::move(value)) {}
    const Data data;
};

// Where a source's rows join those a search gathers; sources of one place keep their registration order.
enum class SourcePlace {
    // First, for every query: rows that answer the query's text itself (the calculator, translations).
    beforeCoreRows,
    // After the launcher's own action row, for queries of two characters or more.
    amongActions,
    // The core's walked lists (applications, folders, shortcut files), which the core asks itself, after
    // the index, in its own order.
    walkedLists,
    // Last, after the walked lists.
    afterWalkedRows,
};

// One kind of result that the search core crawls now and then and matches on every query: browser
// bookmarks, for example. The core holds a list of them (registered through the configuration's
// `makeSources`), crawls each one when its snapshot is older than its time to live, and asks each one's
// match for the rows of a query. A source holds no state that changes: everything it found is in its
// snapshots, so crawl() and match() may run on any thread, at once. A source that looks its rows up per
// query (translations, web requests) keeps the answers it got behind a lock of its own.
class Source {
public:
    virtual ~Source() = default;

    // Stable and unique among the registered sources; tests and diagnostics name a source by it.
    virtual QString id() const = 0;
    // Seconds a snapshot stays fresh; the background refresh crawls the source again after it.
    // `perQuery`: the source reads nothing ahead and is never crawled (its rows come from the query).
    virtual double timeToLive() const = 0;
    static constexpr double perQuery = std::numeric_limits<double>::infinity();
    bool isCrawled() const { return timeToLive() != perQuery; }
    virtual SourcePlace place() const { return SourcePlace::amongActions; }
    // What the source offers before its first crawl.
    virtual std::shared_ptr<const SourceSnapshot> initialSnapshot() const = 0;
    // Reads the outside world with no lock of the core held. Once `cancelled` is true it returns early
    // with anything (its snapshot is then never installed).
    virtual std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const = 0;
    // The snapshot's rows for the context's query, in the source's own order. `snapshot` is one this
    // source made.
    virtual SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const = 0;

    // For a source whose rows need slow work per query (started through the context's LateLookups):
    // whether such work still runs, so that rows may still arrive.
    virtual bool hasLateLookupsInFlight() const { return false; }
    // True when the query's answer must neither come from nor go into the query caches: this source's
    // rows for it change as its lookups finish.
    virtual bool bypassesQueryCaches(const SearchContext &) const { return false; }
};

// A source that reads nothing ahead: its rows come from each query alone (the calculator, translations,
// web requests), so it is never crawled and its snapshot is empty.
class PerQuerySource : public Source {
public:
    double timeToLive() const final { return perQuery; }
    std::shared_ptr<const SourceSnapshot> initialSnapshot() const final {
        return std::make_shared<SourceSnapshot>();
    }
    std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &) const final {
        return initialSnapshot();
    }
};

} // namespace orvex
