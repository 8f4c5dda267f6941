#pragma once

#include "search/DatabaseTypes.h"

#include <QString>

#include <atomic>
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

// One kind of result that the search core crawls now and then and matches on every query: browser
// bookmarks, for example. The core holds a list of them (registered through the configuration's
// `makeSources`), crawls each one when its snapshot is older than its time to live, and asks each one's
// match for the rows of a query. A source holds no state that changes: everything it found is in its
// snapshots, so crawl() and match() may run on any thread, at once.
class Source {
public:
    virtual ~Source() = default;

    // Stable and unique among the registered sources; tests and diagnostics name a source by it.
    virtual QString id() const = 0;
    // Seconds a snapshot stays fresh; the background refresh crawls the source again after it.
    virtual double timeToLive() const = 0;
    // What the source offers before its first crawl.
    virtual std::shared_ptr<const SourceSnapshot> initialSnapshot() const = 0;
    // Reads the outside world with no lock of the core held. Once `cancelled` is true it returns early
    // with anything (its snapshot is then never installed).
    virtual std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const = 0;
    // The snapshot's rows for the context's query, in the source's own order. `snapshot` is one this
    // source made.
    virtual SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const = 0;
};

} // namespace orvex
