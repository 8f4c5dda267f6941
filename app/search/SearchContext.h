#pragma once

#include "search/DatabaseTypes.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace orvex {

class LateLookups;
class LearnedOpenCounts;

// What one search hands down to every source it asks: the query, whether a newer search has taken its
// place, the learned open counts and basename suffixes as they were when the search began, and where
// slow per-query work runs. Sources read it and keep nothing of it.
class SearchContext {
public:
    struct Inputs {
        // Null: no row has a learned count.
        std::shared_ptr<const LearnedOpenCounts> learnedOpenCounts;
        // The ranking settings' suffixes left out of a name's searchable basename, longest first.
        QStringList basenameSuffixes;
        // `currentGeneration`: the counter every newer search raises; null with `generation` 0 for a
        // search that nothing supersedes.
        quint64 generation = 0;
        const std::atomic<quint64> *currentGeneration = nullptr;
        // Null where no late work may start.
        LateLookups *lateLookups = nullptr;
    };

    // A context with no learned counts, suffixes or late lookups, which nothing supersedes.
    explicit SearchContext(QString trimmedQuery);
    SearchContext(QString trimmedQuery, Inputs inputs);

    // The query as typed, without the blanks around it.
    const QString &query() const { return query_; }
    // The same lowercased.
    const QString &queryLowercased() const { return queryLowercased_; }
    // A newer search began: this one's rows would only be thrown away.
    bool isSuperseded() const {
        return inputs_.currentGeneration &&
               inputs_.currentGeneration->load(std::memory_order_relaxed) != inputs_.generation;
    }
    // The search's generation (0: nothing supersedes it).
    quint64 generation() const { return inputs_.generation; }
    // The row with its learned open count, when it has one.
    SearchResult withLearnedOpenCount(const SearchResult &row) const;
    // The row's learned count, at least `databaseOpenCount`.
    qint64 learnedOpenCount(const SearchResult &row, qint64 databaseOpenCount) const;
    // Null when no row has a learned count.
    const LearnedOpenCounts *learnedOpenCounts() const { return inputs_.learnedOpenCounts.get(); }
    const QStringList &basenameSuffixes() const { return inputs_.basenameSuffixes; }
    // Where a source starts its slow per-query work; null: none may start.
    LateLookups *lateLookups() const { return inputs_.lateLookups; }

private:
    QString query_;
    QString queryLowercased_;
    Inputs inputs_;
};

} // namespace orvex
