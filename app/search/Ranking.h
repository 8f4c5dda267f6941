#pragma once

#include "search/DatabaseTypes.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

class SearchRankingPreferences;

// How a row's text meets a query and what the row scores for it: the pure functions every source, the
// panel and the tests rank with, none of them touching a manager.

enum class TextMatchTier { none, contains, prefix, exact };

// Lowercased and composed: names copied from other systems are often decomposed, while typed queries
// are composed (or the other way round), and both must still match.
QString matchingForm(const QString &text);
// The lowercased name without the longest of the ranking suffixes it ends in (without its extension
// when none), or the whole name when nothing would be left.
QString searchableBasename(const QString &filename, const QStringList &sortedSuffixes);
TextMatchTier textMatchTier(const SearchResult &result, const QString &queryLowercased,
                            const QStringList &sortedSuffixes);
// The score that places a row whatever the query (the clipboard copy, the translation placeholders).
std::optional<qint64> fixedScore(const SearchResult &result);
qint64 relevanceScore(const SearchResult &result, const QString &queryLowercased,
                      const SearchRankingPreferences &rankingPreferences);

} // namespace orvex
