#pragma once

#include "search/DatabaseTypes.h"

#include <QString>

#include <atomic>
#include <functional>

namespace orvex {

class LateLookups;

// What one search hands down to every source it asks: the query, whether a newer search has taken its
// place, the learned open counts and where slow per-query work runs. Sources read it and keep nothing
// of it.
class SearchContext {
public:
    // The learned open count of a row (0: none), as the usage data holds it when the search runs.
    using LearnedOpenCount = std::function<qint64(const SearchResult &row)>;

    // `currentGeneration`: the counter every newer search raises; null with `generation` 0 for a search
    // that nothing supersedes. `lateLookups`: null where no late work may start.
    SearchContext(QString trimmedQuery, LearnedOpenCount learnedOpenCount = {}, quint64 generation = 0,
                  const std::atomic<quint64> *currentGeneration = nullptr,
                  LateLookups *lateLookups = nullptr);

    // The query as typed, without the blanks around it.
    const QString &query() const { return query_; }
    // The same lowercased.
    const QString &queryLowercased() const { return queryLowercased_; }
    // A newer search began: this one's rows would only be thrown away.
    bool isSuperseded() const {
        return currentGeneration_ && currentGeneration_->load(std::memory_order_relaxed) != generation_;
    }
    // The row with its learned open count, when it has one.
    SearchResult withLearnedOpenCount(const SearchResult &row) const;
    // Where a source starts its slow per-query work; null: none may start.
    LateLookups *lateLookups() const { return lateLookups_; }

private:
    QString query_;
    QString queryLowercased_;
    LearnedOpenCount learnedOpenCount_;
    quint64 generation_ = 0;
    const std::atomic<quint64> *currentGeneration_ = nullptr;
    LateLookups *lateLookups_ = nullptr;
};

} // namespace orvex
