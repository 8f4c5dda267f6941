#pragma once

#include "search/DatabaseTypes.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace orvex {

// What the user has opened, as one immutable value: the learned open count of each usage identifier
// (lowercased). An activation makes a new one; a search reads the one it began with, with no lock held.
class LearnedOpenCounts {
public:
    explicit LearnedOpenCounts(QHash<QString, qint64> counts = {});

    const QHash<QString, qint64> &counts() const { return counts_; }
    // The row's count: the highest of `databaseOpenCount` and the counts under its identifiers.
    qint64 count(const SearchResult &row, qint64 databaseOpenCount) const;
    // The same for a walked row (one identifier: its usage key, else its full path; not a Notion row),
    // given the hash of that identifier lowercased (WalkedRowSearchKeys::usageIdentifierHash): most rows
    // have no learned count, and the hash tells so without making the identifier.
    qint64 countOfWalkedRow(const SearchResult &row, size_t usageIdentifierHash) const;

    // What a row's count is stored and looked up under: its usage key, else its full path, and for a
    // Notion page also its addresses; each once, whatever its case.
    static QStringList usageLookupIdentifiers(const SearchResult &row);

private:
    QHash<QString, qint64> counts_;
    // WalkedRowSearchKeys::usageIdentifierHash() of every identifier with a count.
    QSet<size_t> identifierHashes_;
};

} // namespace orvex
