#include "panel/SearchController.h"

#include "panel/PanelNotifications.h"
#include "panel/SearchDebounceSettingsStore.h"
#include "panel/SessionPersistenceSettingsStore.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"
#include "search/Database.h"
#include "search/LauncherNotifications.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/Ranking.h"

#include <QThread>

#include <algorithm>
#include <chrono>

namespace orvex {

namespace {

// Queue order on the workers: a typed search before a re-run after late data.
constexpr int typedSearchPriority = 1;
constexpr int refreshSearchPriority = 0;

UserDefaults &defaultsOf(const SearchControllerEnvironment &environment) {
    return environment.defaults ? *environment.defaults : UserDefaults::standard();
}

std::shared_ptr<PersistentQueryResultCacheStore> persistentStoreOf(SearchControllerEnvironment &environment) {
    if (environment.persistentQueryCacheStore)
        return environment.persistentQueryCacheStore;
    return PersistentQueryResultCacheStoreRegistry::store(SearchState::persistentQueryCacheStoreKey,
                                                          defaultsOf(environment));
}

} // namespace

PanelSearchFunction coreSearchFunction() {
    return [](const QString &query, bool allowPersistentQueryCache) {
        return DatabaseManager::shared().search(query, allowPersistentQueryCache);
    };
}

SearchController::SearchController(SearchControllerEnvironment environment, QObject *parent)
    : QObject(parent), defaults_(&defaultsOf(environment)),
      clock_(environment.clock ? environment.clock : Clock::system()),
      search_(environment.search ? std::move(environment.search) : coreSearchFunction()),
      debounceTimer_(environment.debounceTimer ? std::move(environment.debounceTimer)
                                               : SearchDebounceTimer::eventLoop()),
      notificationCenter_(environment.notificationCenter ? environment.notificationCenter
                                                         : &NotificationCenter::defaultCenter()),
      rankingStore_(*defaults_), state_(persistentStoreOf(environment)) {
    setSearchDebounceMilliseconds(SearchDebounceSettingsStore(*defaults_).load());
    setSessionPersistenceSeconds(SessionPersistenceSettingsStore(*defaults_).load());
    observeNotifications();
}

SearchController::~SearchController() {
    for (const NotificationCenter::ObserverToken token : observers_)
        notificationCenter_->removeObserver(token);
    debounceTimer_->stop();
    // The workers post their answers to this object; once they are done, the object's destruction
    // discards whatever is still queued.
    workers_.waitForDone();
}

std::optional<SearchResult> SearchController::selectedResult() const {
    const std::optional<qsizetype> index = state_.selectedIndex;
    if (!index || *index < 0 || *index >= state_.results.size())
        return std::nullopt;
    return state_.results.at(*index);
}

void SearchController::setQuery(const QString &text) {
    const QString query = boundedSearchQuery(text);
    if (query == state_.query)
        return;
    state_.query = query;
    Q_EMIT queryChanged(query);
    debounceSearch(query);
}

void SearchController::setSelectedIndex(std::optional<qsizetype> index) {
    state_.selectionChosenForQuery = normalizedSearchQuery(state_.query);
    if (index == state_.selectedIndex)
        return;
    state_.selectedIndex = index;
    Q_EMIT selectedIndexChanged();
}

void SearchController::moveSelection(bool up) {
    if (state_.results.isEmpty()) {
        if (up && !session_.history.isEmpty())
            restorePreviousHistoryEntry();
        return;
    }
    if (up && state_.selectedIndex == 0 && !session_.history.isEmpty()) {
        if (session_.historyIndex < 0) {
            // Entering the history: the current search becomes its newest entry, so that the step
            // back shows the one before it.
            saveSession();
            session_.historyIndex = session_.history.size() - 1;
        }
        restorePreviousHistoryEntry();
        return;
    }
    const qsizetype current = state_.selectedIndex.value_or(0);
    const qsizetype last = state_.results.size() - 1;
    setSelectedIndex(up ? std::max<qsizetype>(current - 1, 0) : std::min(current + 1, last));
}

void SearchController::setHoveredResultIdentity(std::optional<QString> identity) {
    if (identity == hoveredResultIdentity_)
        return;
    hoveredResultIdentity_ = std::move(identity);
    Q_EMIT hoveredResultIdentityChanged();
}

void SearchController::setSearchDebounceMilliseconds(qint64 milliseconds) {
    const SearchDebounceSettingsStore limits(*defaults_);
    searchDebounceMilliseconds_ =
        std::clamp(milliseconds, limits.minimumMilliseconds, limits.maximumMilliseconds);
}

void SearchController::setIsSearching(bool searching) {
    if (state_.isSearching == searching)
        return;
    state_.isSearching = searching;
    Q_EMIT isSearchingChanged(searching);
}

QString SearchController::cacheKey(const QString &normalizedQuery) const {
    return normalizedQuery + QLatin1Char('|') + rankingStore_.load().cacheKey();
}

std::optional<SearchResults> SearchController::persistentCachedResults(const QString &key,
                                                                       bool allowSameQueryFallback) {
    std::optional<PersistentCachedSearchResults> cached =
        state_.persistentQueryCacheStore->cachedSearchResults(key, clock_->now(), allowSameQueryFallback);
    if (!cached || cached->results.isEmpty())
        return std::nullopt;
    return std::move(cached->results);
}

// ---- The keystroke road ----

void SearchController::cancelSearches() {
    debounceTimer_->stop();
    searchTask_ = 0;
    refreshTask_ = 0;
}

void SearchController::debounceSearch(const QString &text) {
    cancelSearches();

    if (session_.historyIndex >= 0) {
        const qsizetype index = session_.historyIndex;
        if (index >= session_.history.size() || session_.history.at(index).query != text)
            session_.historyIndex = -1;
    }

    const QString previous = state_.lastTypedNormalizedQuery;
    const QString trimmed = trimmedSearchQuery(text);
    const QString normalized = normalizedSearchQuery(text);
    state_.lastTypedNormalizedQuery = normalized;
    // A row chosen for another query says nothing about this one's answers.
    if (state_.selectionChosenForQuery != normalized)
        state_.selectionChosenForQuery.reset();
    const quint64 searchId = ++state_.searchId;

    if (trimmed.isEmpty()) {
        applySearchResults({}, false, false);
        state_.lastTypedNormalizedQuery.clear();
        return;
    }

    const QString key = cacheKey(normalized);
    IncrementalSearchResultCache &incremental = state_.incrementalSearchResultCache;
    if (incremental.entries().contains(normalized)) {
        const SearchResults rows = incremental.entries().value(normalized);
        incremental.store(rows, normalized);
        applySearchResults(rows, true, false);
    } else if (std::optional<SearchResults> exact = persistentCachedResults(key, false)) {
        incremental.store(*exact, normalized);
        applySearchResults(*exact, true, false);
    } else if (std::optional<SearchResults> otherRanking = persistentCachedResults(key, true)) {
        applySearchResults(*otherRanking, true, true);
        setIsSearching(true);
    } else if (std::optional<SearchResults> preview = immediateResults(normalized, previous)) {
        applySearchResults(*preview, true, true);
        setIsSearching(true);
    } else {
        // The rows of an earlier query stay on screen until the answer comes. They are no answer for
        // this one: an activation meanwhile must not cache them under it.
        if (!state_.resultsArePreview) {
            state_.resultsArePreview = true;
            Q_EMIT resultsChanged();
        }
        setIsSearching(true);
    }

    debounceTimer_->start(std::chrono::milliseconds(searchDebounceMilliseconds_),
                          [this, searchId, trimmed, normalized] {
                              if (state_.searchId == searchId)
                                  startSearch(TaskSlot::search, trimmed, normalized, true);
                          });
}

std::optional<SearchResults>
SearchController::immediateResults(const QString &normalizedQuery,
                                   const QString &previousNormalizedQuery) const {
    const IncrementalSearchResultCache &incremental = state_.incrementalSearchResultCache;
    if (const auto exact = incremental.entries().constFind(normalizedQuery);
        exact != incremental.entries().cend())
        return *exact;
    std::optional<SearchResults> rows = incremental.longestPrefixResults(normalizedQuery);
    if (!rows) {
        if (previousNormalizedQuery.isEmpty() || !normalizedQuery.startsWith(previousNormalizedQuery))
            return std::nullopt;
        rows = state_.results;
    }
    return filterSearchResultsForIncrementalQuery(*rows, normalizedQuery);
}

void SearchController::applySearchResults(const SearchResults &results, bool preserveSelection,
                                          bool isPreview) {
    const QString normalized = normalizedSearchQuery(state_.query);
    // The selection a list brought belongs to that list: every list applied (a cached answer, the fresh
    // one, late rows, a refresh) selects its own best row, so that Return opens what now stands first.
    // Only a row the user chose during this query keeps its place.
    std::optional<QString> keptIdentity;
    if (const std::optional<SearchResult> selected = selectedResult();
        preserveSelection && selected && state_.selectionChosenForQuery == normalized)
        keptIdentity = panelRowIdentity(*selected);

    SearchResults rows = deduplicatedSearchResults(results);
    if (!normalized.isEmpty()) {
        const SearchRankingPreferences preferences = rankingStore_.load();
        rows = scoredSearchResultsForDisplay(rows, normalized, [&](const SearchResult &row) {
            return relevanceScore(row, normalized, preferences);
        });
    }
    state_.results = std::move(rows);

    std::optional<qsizetype> selection;
    if (!state_.results.isEmpty())
        selection = 0;
    if (keptIdentity) {
        const auto same =
            std::find_if(state_.results.cbegin(), state_.results.cend(),
                         [&](const SearchResult &row) { return panelRowIdentity(row) == *keptIdentity; });
        if (same != state_.results.cend())
            selection = same - state_.results.cbegin();
    }
    state_.selectedIndex = selection;
    state_.resultsArePreview = isPreview;
    state_.answeredQuery = isPreview ? std::nullopt : std::optional<QString>(normalized);
    Q_EMIT resultsChanged();
    Q_EMIT selectedIndexChanged();
    setIsSearching(false);
    setHoveredResultIdentity(std::nullopt);
}

void SearchController::refreshResultsAfterBackgroundCacheRefresh() {
    const QString trimmed = trimmedSearchQuery(state_.query);
    if (trimmed.isEmpty())
        return;
    refreshTask_ = 0;
    startSearch(TaskSlot::refresh, trimmed, normalizedSearchQuery(state_.query), false);
}

void SearchController::startSearch(TaskSlot slot, const QString &trimmedQuery, const QString &normalizedQuery,
                                   bool allowPersistentQueryCache) {
    const quint64 task = ++lastStartedTask_;
    (slot == TaskSlot::search ? searchTask_ : refreshTask_) = task;
    const quint64 searchId = state_.searchId;
    ++searchesInFlight_;
    workers_.start(
        [this, search = search_, slot, task, searchId, trimmedQuery, normalizedQuery,
         allowPersistentQueryCache] {
            SearchResults rows = search(trimmedQuery, allowPersistentQueryCache);
            MainQueue::post(this, [this, slot, task, searchId, normalizedQuery, rows = std::move(rows)] {
                finishSearch(slot, task, searchId, normalizedQuery, rows);
            });
        },
        slot == TaskSlot::search ? typedSearchPriority : refreshSearchPriority);
}

void SearchController::finishSearch(TaskSlot slot, quint64 task, quint64 searchId,
                                    const QString &normalizedQuery, const SearchResults &rows) {
    --searchesInFlight_;
    quint64 &live = slot == TaskSlot::search ? searchTask_ : refreshTask_;
    // Cancelled, outdated, or superseded by a search started after it (whose answer is the one wanted).
    if (live != task || task != lastStartedTask_ || searchId != state_.searchId)
        return;
    live = 0;
    state_.incrementalSearchResultCache.store(rows, normalizedQuery);
    applySearchResults(rows, true, false);
}

// ---- Session and history ----

void SearchController::saveSession() {
    if (session_.record({.query = state_.query,
                         .results = state_.results,
                         .resultsArePreview = state_.resultsArePreview}))
        persistHistoryQueries();
}

void SearchController::persistHistoryQueries() {
    session_.persistQueries(*defaults_);
}

void SearchController::saveSessionOnHide() {
    if (!trimmedSearchQuery(state_.query).isEmpty()) {
        saveSession();
        session_.lastDismissedAt = clock_->monotonicNow();
    } else if (session_.lastDismissedAt) {
        session_.lastDismissedAt = clock_->monotonicNow();
    }
}

void SearchController::clearSessionIfTimeoutExpired() {
    if (!session_.lastDismissedAt)
        return;
    const double elapsed =
        std::chrono::duration<double>(clock_->monotonicNow() - *session_.lastDismissedAt).count();
    const SessionPersistenceSettingsStore limits(*defaults_);
    const double limit = static_cast<double>(
        std::clamp(session_.persistenceSeconds, limits.minimumSeconds, limits.maximumSeconds));
    const bool queryIsBlank = trimmedSearchQuery(state_.query).isEmpty();
    if (elapsed <= limit) {
        if (queryIsBlank && !session_.history.isEmpty())
            restoreHistoryEntry(session_.history.constLast());
        return;
    }
    session_.lastDismissedAt.reset();
    if (!queryIsBlank)
        setQuery(QString());
}

void SearchController::restoreHistoryEntry(const SearchHistoryEntry &entry) {
    // A copy: the entry may belong to the history, which the query change below may touch.
    const SearchHistoryEntry restored = entry;
    if (!restored.results.isEmpty() && !restored.resultsArePreview)
        state_.incrementalSearchResultCache.store(restored.results, normalizedSearchQuery(restored.query));
    state_.resultsArePreview = restored.resultsArePreview;
    setQuery(restored.query);
}

bool SearchController::restorePreviousHistoryEntry() {
    const std::optional<qsizetype> position = session_.previousHistoryPosition();
    if (!position)
        return false;
    session_.historyIndex = *position;
    restoreHistoryEntry(session_.history.at(*position));
    return true;
}

void SearchController::loadPersistedHistory() {
    session_.loadPersistedQueries(*defaults_);
}

void SearchController::setSessionPersistenceSeconds(qint64 seconds) {
    session_.persistenceSeconds = seconds;
}

// ---- Notifications ----

void SearchController::observeNotifications() {
    auto observe = [this](QLatin1StringView name, std::function<void()> handler) {
        observers_.append(notificationCenter_->addObserver(name, [this, handler](const Notification &) {
            // Posters use the GUI thread; a post from elsewhere is carried over to it.
            if (QThread::currentThread() == thread())
                handler();
            else
                MainQueue::post(this, handler);
        }));
    };
    observe(NotificationName::launcherSearchDataRefreshed,
            [this] { refreshResultsAfterBackgroundCacheRefresh(); });
    observe(NotificationName::launcherRankingSettingsChanged, [this] {
        state_.incrementalSearchResultCache.clear();
        refreshResultsAfterBackgroundCacheRefresh();
    });
    observe(NotificationName::launcherSearchDebounceChanged,
            [this] { setSearchDebounceMilliseconds(SearchDebounceSettingsStore(*defaults_).load()); });
    observe(NotificationName::launcherSessionPersistenceChanged,
            [this] { setSessionPersistenceSeconds(SessionPersistenceSettingsStore(*defaults_).load()); });
    observe(NotificationName::launcherWindowHidden, [this] { saveSessionOnHide(); });
    observe(NotificationName::launcherWindowAppeared, [this] { clearSessionIfTimeoutExpired(); });
}

} // namespace orvex
