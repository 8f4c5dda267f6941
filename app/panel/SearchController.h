#pragma once

#include "panel/SearchDebounceTimer.h"
#include "panel/SearchState.h"
#include "panel/SessionState.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/WorkerPool.h"
#include "search/SearchRankingSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace orvex {

class PersistentQueryResultCacheStore;
class UserDefaults;

// Asks the search core for the ranked rows of a trimmed query; runs on a worker thread.
using PanelSearchFunction =
    std::function<SearchResults(const QString &trimmedQuery, bool allowPersistentQueryCache)>;

// The launcher's own: DatabaseManager::shared().search.
PanelSearchFunction coreSearchFunction();

// What a controller is built from. Every null member takes the launcher's own value.
struct SearchControllerEnvironment {
    // Null: UserDefaults::standard().
    UserDefaults *defaults = nullptr;
    // Null: the system clock. Only its monotonic time is used (session time-out) and its date (cache
    // entries written by activation).
    std::shared_ptr<Clock> clock;
    // Null: coreSearchFunction().
    PanelSearchFunction search;
    // Null: the store shared with the search core through the registry.
    std::shared_ptr<PersistentQueryResultCacheStore> persistentQueryCacheStore;
    // Null: a timer on the GUI thread's event loop.
    std::unique_ptr<SearchDebounceTimer> debounceTimer;
    // Null: NotificationCenter::defaultCenter().
    NotificationCenter *notificationCenter = nullptr;
};

// The panel's search model and its session: turns the field's text into the shown rows and remembers
// past searches. Lives on the GUI thread; every call and signal happens there. Searches run on the
// controller's own worker threads and come back through the event loop; an answer is installed only
// while the keystroke it was started for is still the newest.
//
// Notifications it observes itself (the view must not repeat these calls on them):
//   "LauncherSearchDataRefreshed"       -> refreshResultsAfterBackgroundCacheRefresh()
//   "LauncherRankingSettingsChanged"    -> incremental cache cleared, then the refresh
//   "LauncherSearchDebounceChanged"     -> the debounce delay reloaded
//   "LauncherSessionPersistenceChanged" -> the session's persistence time reloaded
//   "WindowHidden"                      -> saveSessionOnHide()
//   "WindowAppeared"                    -> clearSessionIfTimeoutExpired()
// The view calls loadPersistedHistory() when the panel first appears, and moveSelection() for Up and
// Down.
class SearchController : public QObject {
    Q_OBJECT

public:
    explicit SearchController(SearchControllerEnvironment environment = {}, QObject *parent = nullptr);
    // Waits for the searches still running on the worker threads; their answers are dropped.
    ~SearchController() override;

    const SearchState &state() const { return state_; }
    const SessionState &session() const { return session_; }
    const QString &query() const { return state_.query; }
    const SearchResults &results() const { return state_.results; }
    std::optional<qsizetype> selectedIndex() const { return state_.selectedIndex; }
    // The selected row when the selection lies within the list.
    std::optional<SearchResult> selectedResult() const;

    // The field's text changed (typing, paste, history, clearing after activation): when it differs
    // from the current query, stores it (cut to the longest query) and runs the keystroke road.
    void setQuery(const QString &text);
    // The user chose a row (arrows, a click, assistive technology): the choice holds for the current
    // query, through later answers to it.
    void setSelectedIndex(std::optional<qsizetype> index);
    // Up and Down: moves within the list without wrapping; Up on an empty list, or on row 0 while a
    // history exists, steps back through the history instead.
    void moveSelection(bool up);

    // The row under the pointer, by panelRowIdentity(); cleared whenever a list is applied.
    const std::optional<QString> &hoveredResultIdentity() const { return hoveredResultIdentity_; }
    void setHoveredResultIdentity(std::optional<QString> identity);

    // The stored delay clamped to 10-500 ms (what the keystroke road waits).
    qint64 searchDebounceMilliseconds() const { return searchDebounceMilliseconds_; }
    void setSearchDebounceMilliseconds(qint64 milliseconds);

    // ---- Search road ----
    // The keystroke road for a new text (setQuery calls it): instant answer, then a debounced search.
    void debounceSearch(const QString &text);
    // Installs rows: de-duplicated, scored where they carry no score, sorted for a non-empty query.
    // The selected row's identity is kept, when it is still in the list, only if the user chose it
    // during the current query; otherwise the first row is selected, so that Return takes the best
    // match.
    void applySearchResults(const SearchResults &results, bool preserveSelection, bool isPreview);
    // The preview for a longer query: the rows cached for it, else those of its longest cached prefix,
    // else the shown rows when it extends the previous query, filtered by it.
    std::optional<SearchResults> immediateResults(const QString &normalizedQuery,
                                                  const QString &previousNormalizedQuery) const;
    // Asks the search core again for the current query, without the persistent cache.
    void refreshResultsAfterBackgroundCacheRefresh();
    // Cancels the typed search (its pause too) and the re-run: answers still on their way are dropped.
    void cancelSearches();

    // ---- Session and history ----
    void saveSession();
    void saveSessionOnHide();
    void clearSessionIfTimeoutExpired();
    // One step back through the history; false when there is none.
    bool restorePreviousHistoryEntry();
    void loadPersistedHistory();
    void setSessionPersistenceSeconds(qint64 seconds);

    // ---- For activation ----
    UserDefaults &defaults() const { return *defaults_; }
    Clock &clock() const { return *clock_; }
    const SearchRankingSettingsStore &rankingSettingsStore() const { return rankingStore_; }
    IncrementalSearchResultCache &incrementalSearchResultCache() {
        return state_.incrementalSearchResultCache;
    }
    PersistentQueryResultCacheStore &persistentQueryCacheStore() const {
        return *state_.persistentQueryCacheStore;
    }

    // Searches started on a worker whose answers have not yet come back to the GUI thread.
    int searchesInFlight() const { return searchesInFlight_; }

Q_SIGNALS:
    // The query changed; the field shows it when its own text differs.
    void queryChanged(const QString &query);
    // A list was applied: results, preview flag and selection may all have changed.
    void resultsChanged();
    void selectedIndexChanged();
    void isSearchingChanged(bool isSearching);
    void hoveredResultIdentityChanged();

private:
    enum class TaskSlot { search, refresh };

    void setIsSearching(bool searching);
    QString cacheKey(const QString &normalizedQuery) const;
    std::optional<SearchResults> persistentCachedResults(const QString &key, bool allowSameQueryFallback);
    void startSearch(TaskSlot slot, const QString &trimmedQuery, const QString &normalizedQuery,
                     bool allowPersistentQueryCache);
    void finishSearch(TaskSlot slot, quint64 task, quint64 searchId, const QString &normalizedQuery,
                      const SearchResults &rows);
    void restoreHistoryEntry(const SearchHistoryEntry &entry);
    void persistHistoryQueries();
    void observeNotifications();

    UserDefaults *defaults_;
    std::shared_ptr<Clock> clock_;
    PanelSearchFunction search_;
    std::unique_ptr<SearchDebounceTimer> debounceTimer_;
    NotificationCenter *notificationCenter_;
    SearchRankingSettingsStore rankingStore_;

    SearchState state_;
    SessionState session_;
    std::optional<QString> hoveredResultIdentity_;
    qint64 searchDebounceMilliseconds_ = 50;

    // Tasks are numbered as they start searching. A slot holds its live task's number (0: none, or
    // cancelled). Only the newest started search may install its answer: the search core lets a newer
    // call supersede an older one, which then answers an empty list.
    quint64 searchTask_ = 0;
    quint64 refreshTask_ = 0;
    quint64 lastStartedTask_ = 0;
    int searchesInFlight_ = 0;

    QList<NotificationCenter::ObserverToken> observers_;
    // A search held up by the index must not hold up the next keystroke's.
    WorkerPool workers_{4};
};

} // namespace orvex
