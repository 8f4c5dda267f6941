#pragma once

#include "search/DatabaseTypes.h"
#include "search/LauncherLogic.h"

#include <QString>

#include <memory>
#include <optional>

namespace orvex {

class PersistentQueryResultCacheStore;
class UserDefaults;

// The panel's search model: the field's text, the shown rows and their selection, the identifier of the
// newest keystroke's search and the two result caches. Owned and changed by SearchController.
struct SearchState {
    // Defaults key of the persistent query cache that the panel shares with the search core.
    static inline const QString persistentQueryCacheStoreKey =
        QStringLiteral("launcherPathOpenCounts.queryResults");
    static constexpr qsizetype incrementalCacheMaxEntries = 120;
    // The longest query: what the search field lets a person type. Pastes, restored history and stored
    // sessions are held to it too.
    static constexpr qsizetype maxQueryLength = 32767;

    // Takes the persistent store shared under persistentQueryCacheStoreKey from the registry (made over
    // `defaults` when nobody holds it yet).
    explicit SearchState(UserDefaults &defaults);
    // Uses the given store (tests).
    explicit SearchState(std::shared_ptr<PersistentQueryResultCacheStore> store);

    QString query;
    SearchResults results;
    // None only after an empty list was applied.
    std::optional<qsizetype> selectedIndex = 0;
    // The normalised query during which the user chose the selected row (arrows, a click); none while
    // the selection is the one a list brought.
    std::optional<QString> selectionChosenForQuery;
    // The normalised query that the shown rows are a final answer for; none while they are a preview.
    std::optional<QString> answeredQuery;
    // Changes on every keystroke and never otherwise; answers started for another value are dropped.
    quint64 searchId = 0;
    bool isSearching = false;
    // The shown rows are not an answer for exactly the current query.
    bool resultsArePreview = false;
    IncrementalSearchResultCache incrementalSearchResultCache{incrementalCacheMaxEntries};
    QString lastTypedNormalizedQuery;
    std::shared_ptr<PersistentQueryResultCacheStore> persistentQueryCacheStore;
};

// The text cut to SearchState::maxQueryLength, never inside a character.
QString boundedSearchQuery(const QString &text);
// Trimmed of white space and line breaks, letter case kept: the text the search core is asked.
QString trimmedSearchQuery(const QString &query);
// The trimmed query in the search core's matching form (lowercased, composed): the key of both caches.
QString normalizedSearchQuery(const QString &query);
// The identity the panel's selection and hover follow, compared exactly: an action row's usage key when
// it has one, else its full path.
QString panelRowIdentity(const SearchResult &result);

} // namespace orvex
