#include "search/LearnedOpenCounts.h"

#include "search/WalkedRowSearchKeys.h"

#include <algorithm>

namespace orvex {

LearnedOpenCounts::LearnedOpenCounts(QHash<QString, qint64> counts) : counts_(std::move(counts)) {
    identifierHashes_.reserve(counts_.size());
    for (auto it = counts_.cbegin(); it != counts_.cend(); ++it)
        identifierHashes_.insert(WalkedRowSearchKeys::usageIdentifierHash(it.key()));
}

qint64 LearnedOpenCounts::count(const SearchResult &row, qint64 databaseOpenCount) const {
    qint64 count = databaseOpenCount;
    for (const QString &identifier : usageLookupIdentifiers(row))
        count = std::max(count, counts_.value(identifier.toLower(), 0));
    return count;
}

qint64 LearnedOpenCounts::countOfWalkedRow(const SearchResult &row, size_t usageIdentifierHash) const {
    if (!identifierHashes_.contains(usageIdentifierHash))
        return std::max<qint64>(row.openCount(), 0);
    return std::max(row.openCount(), counts_.value(WalkedRowSearchKeys::lowercasedUsageIdentifier(row), 0));
}

QStringList LearnedOpenCounts::usageLookupIdentifiers(const SearchResult &row) {
    QStringList candidates{row.usageKey().value_or(row.fullPath())};
    if (row.action() == SearchResultAction::openNotionPage) {
        if (row.actionURLString())
            candidates.append(*row.actionURLString());
        if (row.fallbackActionURLString())
            candidates.append(*row.fallbackActionURLString());
    }
    QStringList identifiers;
    QSet<QString> seen;
    for (const QString &candidate : std::as_const(candidates)) {
        const QString lowered = candidate.toLower();
        if (seen.contains(lowered))
            continue;
        seen.insert(lowered);
        identifiers.append(candidate);
    }
    return identifiers;
}

} // namespace orvex
