#pragma once

#include "platform/Clock.h"
#include "platform/DesktopEntryEnvironment.h"
#include "platform/PlistValue.h"
#include "platform/WorkerPool.h"
#include "search/DatabaseTypes.h"
#include "search/IndexDatabase.h"
#include "search/RecentActivationRecord.h"
#include "search/SearchContext.h"
#include "search/Source.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace orvex {

class AppsSource;
class FileEventStream;
class FoldersSource;
class IndexConnectionPool;
class IndexQuery;
class LearnedOpenCounts;
class ShortcutFilesSource;
struct IndexQueryOutcome;
class UserDefaults;
class SearchRankingSettingsStore;
class SearchRankingPreferences;
class PersistentQueryResultCacheStore;
class ShortcutRootWatcher;
class WalkedRowSearchKeys;
struct DatabaseManagerConfiguration;

// Makes a manager's sources from its configuration (see StandardSources.h for the launcher's).
using SourceFactory =
    std::function<std::vector<std::shared_ptr<const Source>>(const DatabaseManagerConfiguration &)>;

// Everything a manager is built from. `production()` gives the values the launcher runs with; tests
// build their own (temporary roots, a manual clock, defaults on a temporary file).
struct DatabaseManagerConfiguration {
    QString databasePath;
    bool readonly = false;
    QStringList appSearchRoots;
    // The desktop's applications (its desktop entries), which the app walk adds to the bundles found
    // under `appSearchRoots`. No data folders: none.
    DesktopEntryEnvironment desktopEntries;
    QStringList folderSearchRoots;
    QStringList shortcutSearchRoots;
    // The sources beside the core's own, in the order their rows join an answer. Null: none.
    SourceFactory makeSources;
    // Null: the standard store over `defaults`.
    std::shared_ptr<SearchRankingSettingsStore> searchRankingSettingsStore;
    QStringList pinnedFolderPaths = {QStringLiteral("/Applications")};
    bool backgroundRefreshEnabled = true;
    QString usageStoreKey = QStringLiteral("launcherPathOpenCounts");
    // Empty: usageStoreKey + ".recentActivations".
    QString recentActivationsStoreKey;
    // Absent: usageStoreKey + ".queryResults".
    std::optional<QString> persistentQueryResultCacheStoreKey;

    // Platform and outside world. Null defaults / clock: the standard defaults and the system clock.
    UserDefaults *defaults = nullptr;
    std::shared_ptr<Clock> clock;
    // Whether the process runs under the test harness: recent activations and the persistent query cache
    // are then off unless asked for, and the sources leave the browsers' tabs and bookmarks alone.
    bool runningUnitTests = false;
    // Absent: on unless running under unit tests. Tests of one feature switch the others off.
    std::optional<bool> recentActivationsEnabled;
    std::optional<bool> persistentQueryResultCacheEnabled;
    QString homePath; // for "~" and the default roots

    // ---- Late rows ----
    // Whether to start the work whose rows arrive after the answer (translation lookups, Notion
    // requests). Off in a front end that prints one answer and ends: nothing is started that could never
    // be shown, and nothing is waited for at exit.
    bool startsLateLookups = true;

    // ---- Index database ----
    // How long an index statement waits for the outside indexer's write lock before the index answers
    // nothing for that query: long enough to ride out a commit, short enough never to stall a keystroke.
    int indexDatabaseBusyTimeoutMilliseconds = 50;
    // How long a search waits for the index's statements; past it the index contributes the rows read
    // by then and the search goes on with the other sources.
    std::chrono::milliseconds indexSearchDeadline{1000};
    // Raising an activated row's open count is off the keystroke path: it waits longer for the
    // indexer's lock and tries again before it reports a failure.
    int indexWriteBusyTimeoutMilliseconds = 2000;
    int indexWriteAttempts = 3;

    // ---- Walked caches and background refresh ----
    // Tests only: called on the refresh's thread, with no lock held, just before a source is crawled, with
    // its id ("apps", "folders", "shortcuts", then each registered
    // source's, in that fixed order).
    std::function<void(const QString &sourceID)> backgroundRefreshWillCrawl;

    // ---- Superseded searches ----
    // Tests only: called by search() with no lock held, once the query caches have missed and before
    // any source is asked, with the trimmed query.
    std::function<void(const QString &trimmedQuery)> searchWillGatherSources;
    // Tests only: called by search() with no lock held, just before it asks the index.
    std::function<void(const QString &trimmedQuery)> searchWillReadIndex;

    static DatabaseManagerConfiguration production();
};

// The search core's facade, what the panel and the command-line tool call: search() runs one query
// through the pipeline (the query caches, the core's own rows, the index, the walked lists, then every
// registered source's match against its snapshot), recordActivation() learns from what was opened, and
// the refresh entry points crawl what has gone stale. It holds the list of sources (its own walked lists
// first, then the registered ones; see Source.h) with their snapshots, the index database, the query
// caches and the usage data.
//
// One plain mutex (`mutex_`) guards that state, and only these run with it held, all in memory:
// - a search's start: the query-cache lookups (the answer table, then the persistent store's entry for
//   the key), the check whether a refresh is due (scheduling it on the background pool, and starting
//   the shortcut-root watcher on the first search: its thread and a watch on each root), and the copies
//   the search reads (each source's snapshot pointer, the learned counts, the recent list, the answer
//   table); a search's end: storing its answer in that table and handing it to the persistent store,
//   which encodes its payload on the background pool;
// - an activation's merge of the counts and recent list another process stored (read by the defaults
//   under the file's lock before this lock is taken), its raised counts and recent row, handed to the
//   defaults' memory, which writes the file later;
// - installing crawled snapshots and their dates, and choosing which sources are stale;
// - invalidating the answers (new snapshots, an activation, late rows, an index file opened anew);
// - the accessors that copy a pointer or a date out (sources(), sourceSnapshot(), ...).
// Never with it held: a walk or a crawl, a source's or the walked lists' match, ranking, anything of the
// index database (the look at its file, opening it, its statements and the open-count write; see
// IndexDatabase, which guards its connections with a lock of its own), a child process, HTTP, or a wait
// for another thread. Private functions that take a `const Lock &` run with the lock held and never take
// it again.
class DatabaseManager {
public:
    explicit DatabaseManager(DatabaseManagerConfiguration configuration);
    // Stops and joins everything the manager started.
    ~DatabaseManager();

    DatabaseManager(const DatabaseManager &) = delete;
    DatabaseManager &operator=(const DatabaseManager &) = delete;

    // The process-wide manager with the production configuration, built on first use, never released.
    static DatabaseManager &shared();
    // What shared() is built from (before its first use): the launcher installs its sources this way.
    // Not set: DatabaseManagerConfiguration::production(), which has no sources of its own.
    static void setSharedConfiguration(std::function<DatabaseManagerConfiguration()> makeConfiguration);
    // Shuts the process-wide manager down if it was built (the launcher's quit): its crawls and probes
    // stop at once instead of being waited for, and what it owes the disk is written.
    static void shutdownShared();

    bool isRunningUnitTests() const { return config_.runningUnitTests; }

    const DatabaseManagerConfiguration &configuration() const { return config_; }
    UserDefaults &defaults() const { return *defaults_; }
    Clock &clock() const { return *clock_; }

    // Waits until no background task of the manager runs (tests and the command-line tool).
    void waitForBackgroundTasks();
    // Cancels what can be cancelled and joins every task; later schedules start nothing.
    void shutdown();
    // Crawls every source cache now and waits for the crawl (the command-line tool, before it searches).
    void refreshSourceCachesNow();
    // Whether a source's lookup (a translation, a Notion request) is still running, so that rows may
    // still arrive with "LauncherSearchDataRefreshed".
    bool hasLateLookupsInFlight() const;

    // ---- Search road (Database.cpp) ----
    SearchResults search(const QString &query, bool allowPersistentQueryCache = true);
    SearchResults searchFresh(const QString &query) { return search(query, false); }
    // The longest query searched, as the search field holds it; a caller's longer text is searched by its
    // first this many characters, so that no query can hold a search or its memory without bound.
    static constexpr qsizetype maxQueryLength = 32767;
    static QString boundedQuery(const QString &query);
    std::optional<SearchResults> cachedQueryResults(const QString &key, bool allowPersistentQueryCache);
    void storeQueryResultsInCache(const SearchResults &results, const QString &key);
    // The pipeline's parts, each as search() asks it (the query forms ask with a context of their own).
    SearchResults searchActionResults(const QString &query) {
        return searchActionResults(searchContext(query));
    }
    SearchResults searchActionResults(const SearchContext &context);
    SearchResults searchLauncherActionResults(const QString &queryLowercased);
    SearchResults searchDirectPathResults(const QString &query) {
        return searchDirectPathResults(searchContext(query));
    }
    SearchResults searchDirectPathResults(const SearchContext &context);
    std::optional<QString> resolveDirectPath(const QString &text) const;
    SearchResults pinnedFolderResults();
    static SearchResults mergedUniqueByPath(const SearchResults &results);
    SearchResults filterAndSortPathResults(const SearchResults &results, const QString &queryLowercased,
                                           const SearchRankingPreferences &rankingPreferences);
    static qint64 stableNegativeID(const QString &seed) { return orvex::stableNegativeID(seed); }

    // ---- Index database (DatabaseIndex.cpp) ----
    // Reads the index with no lock of the manager held while its statements run, and waits for them
    // at most `indexSearchDeadline`.
    SearchResults searchIndexedFiles(const QString &query) {
        return searchIndexedFiles(searchContext(query));
    }
    // The same for a search's context: nothing (and nothing said) once a newer search superseded it.
    SearchResults searchIndexedFiles(const SearchContext &context);
    // The full-text query for a text: its words as one quoted phrase whose last word is a prefix (a text
    // of more than 64 words, a paste, by its first 16); nothing for a text of anything but letters,
    // marks, digits and blanks.
    static std::optional<QString> indexedFTSQuery(const QString &query);
    // The SQL of the name/tag statement and of the full-text statement (also timed on their own by
    // the benchmark).
    static const QByteArray &indexLikeStatementText();
    static const QByteArray &indexFTSStatementText();
    // Adds one to the row's stored open count, waiting for the indexer's lock and trying again as
    // configured. False when the count could not be written (reported on standard output); true also
    // when there is no index.
    bool incrementOpenCount(qint64 id);

private:
    // The connections to the index file, looked at first as `look` says; a file that cannot be opened
    // is said (once), and a file opened anew drops the answers read from the old one.
    std::shared_ptr<IndexConnectionPool> indexConnections(IndexDatabase::Look look);
    // Prints `line` unless it is what was last said about the index (see IndexDatabase).
    void sayIndexProblem(const QString &line);
    // Runs the index's statements for a query and waits for them, up to the deadline. The context's
    // generation: the search they serve (0: none), whose successor stops them.
    IndexQueryOutcome queryIndex(const SearchContext &context);
    // The rows the statements read, merged and made results; a failure is reported.
    SearchResults indexSearchResults(const IndexQueryOutcome &outcome, const SearchContext &context);
    // Stops the index statements of the searches older than `generation`.
    void stopIndexQueriesBefore(quint64 generation);

public:
    // ---- The core's walked lists (AppsSource, FoldersSource, ShortcutFilesSource) ----
    // Runs both walks off the manager, installs them and answers (appCount, folderCount).
    std::pair<qint64, qint64> warmupFileSystemPermissions();
    // The core's own walked lists.
    const AppsSource &appsSource() const { return *appsSource_; }
    const FoldersSource &foldersSource() const { return *foldersSource_; }
    const ShortcutFilesSource &shortcutFilesSource() const { return *shortcutFilesSource_; }

    // ---- Background refresh and the shortcut-root watcher (DatabaseBackgroundRefresh.cpp) ----
    void scheduleBackgroundCacheRefreshIfNeeded();
    void startShortcutRootWatcherIfNeeded();
    // A source's new snapshot, by its place in the list.
    using CrawledSnapshots = std::vector<std::pair<size_t, std::shared_ptr<const SourceSnapshot>>>;
    // Installs walked lists and snapshots as a refresh does (and announces them).
    void applyBackgroundCacheRefresh(std::optional<SearchResults> apps, std::optional<SearchResults> folders,
                                     std::optional<SearchResults> shortcuts, CrawledSnapshots snapshots = {});
    // Installs a snapshot that a registered source made outside the refresh (a permission warm-up), as
    // if the refresh had crawled it, without announcing it.
    void installSourceSnapshot(const QString &sourceID, std::shared_ptr<const SourceSnapshot> snapshot);
    void shortcutRootsDidChange();
    // A desktop entry was added, changed or removed: the applications are crawled again at once.
    void applicationFoldersDidChange();

    // When each source cache was last refreshed (absent: never), by source id, for tests and diagnostics.
    using SourceCacheDates = std::map<QString, std::optional<Date>>;
    SourceCacheDates sourceCacheLastRefreshDates() const;
    // The registered sources, in their order.
    std::vector<std::shared_ptr<const Source>> sources() const;
    // The registered source of type S; null when there is none.
    template <typename S> std::shared_ptr<const S> source() const {
        for (const std::shared_ptr<const Source> &registered : sources())
            if (auto found = std::dynamic_pointer_cast<const S>(registered))
                return found;
        return nullptr;
    }
    // The snapshot a registered source's searches read now; null for an unknown id.
    std::shared_ptr<const SourceSnapshot> sourceSnapshot(const QString &sourceID) const;
    // A context for asking a source directly, as a search would, which nothing supersedes (tests and
    // the command-line tool).
    SearchContext searchContext(const QString &query);
    // One registered source's rows for the query, matched against its snapshot now as a search would
    // (tests); none for an unknown id.
    SearchResults matchSource(const QString &sourceID, const QString &query);
    bool isBackgroundCacheRefreshRunning() const;
    bool hasShortcutRootWatcher() const;

private:
    using Lock = std::unique_lock<std::mutex>;
    Lock lock() const { return Lock(mutex_); }

    // What one refresh crawls: the stale sources, by their place in the list.
    struct BackgroundRefreshPlan {
        std::vector<size_t> sources;
    };
    // Crawls the plan's sources one after another with no lock held, then installs the results.
    void runBackgroundCacheRefresh(const BackgroundRefreshPlan &plan);
    void finishBackgroundCacheRefresh(CrawledSnapshots snapshots);
    void scheduleBackgroundCacheRefreshIfNeeded(const Lock &held);
    void startShortcutRootWatcherIfNeeded(const Lock &held);
    void startApplicationFolderWatcherIfNeeded(const Lock &held);
    // A walked source's folders changed: stale now, crawled at once or right after the running refresh.
    void walkedFoldersDidChange(const Lock &held, size_t index);
    // Swaps the snapshots in, stamps them with now and drops the answers made from the old ones.
    // False when there was nothing to install.
    bool installCrawledSnapshots(const Lock &held, CrawledSnapshots snapshots);
    // The walked lists as snapshots, keyed off the lock.
    CrawledSnapshots walkedSnapshots(std::optional<SearchResults> apps, std::optional<SearchResults> folders,
                                     std::optional<SearchResults> shortcuts) const;

public:
    // ---- Learned open counts and recent activations (DatabaseRecentActivations.cpp,
    //      DatabaseUsageHydration.cpp) ----
    // Remembers the row as recent, raises its learned count and, for index rows, the index's count.
    // False when the index's count could not be raised (see incrementOpenCount).
    bool recordActivation(const SearchResult &result);
    // Puts one activation at the head of the recent list (80 newest, one per usage identifier).
    void storeRecentActivation(const SearchResult &result);
    SearchResults searchRecentActivationResults(const QString &query,
                                                const SearchRankingPreferences &rankingPreferences);
    SearchResults searchRecentActivationResults(const SearchContext &context);
    qint64 learnedOpenCount(const SearchResult &result, qint64 databaseOpenCount);
    // The learned counts as they are now; a search reads the ones it began with.
    std::shared_ptr<const LearnedOpenCounts> learnedOpenCounts();
    QStringList usageLookupIdentifiers(const SearchResult &result) const;
    void invalidateQueryResultCache();
    std::optional<QString> cachedShortcutUsageKey(const QString &fullPath, const QString &filename);
    QSet<QString> shortcutFileExtensions();

    // ---- Persistent query cache glue (DatabasePersistentQueryCache.cpp) ----
    std::optional<QueryResultCacheEntry> persistentCachedQueryResults(const QString &key);

private:
    // Runs `work` on the user-initiated or the background pool; nothing runs once shutdown() began.
    void startUserInitiatedTask(std::function<void()> work);
    void startBackgroundTask(std::function<void()> work);
    // Posts "LauncherSearchDataRefreshed" on the main queue.
    static void postSearchDataRefreshed();
    SearchRankingPreferences loadRankingPreferences() const;
    QString homePath() const;
    QString expandedTilde(const QString &path) const;
    // The context of a search of `generation` (0: one nothing supersedes).
    SearchContext searchContext(const Lock &held, const QString &query, QStringList basenameSuffixes,
                                quint64 generation);
    std::optional<SearchResults> cachedQueryResults(const Lock &held, const QString &key,
                                                    bool allowPersistentQueryCache);
    void storeQueryResultsInCache(const Lock &held, const SearchResults &results, const QString &key);
    std::optional<QueryResultCacheEntry> persistentCachedQueryResults(const Lock &held, const QString &key);
    void storeInPersistentQueryCache(const Lock &held, const SearchResults &results, const QString &key,
                                     Date now);
    void invalidateQueryResultCache(const Lock &held);

    static constexpr qsizetype maxResultCount = 20;

    const DatabaseManagerConfiguration config_;
    UserDefaults *defaults_;
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<SearchRankingSettingsStore> searchRankingSettingsStore_;
    mutable std::mutex mutex_;
    WorkerPool userInitiatedPool_{4};
    WorkerPool backgroundPool_{4};
    std::atomic<bool> shuttingDown_{false};

    // ---- Search road state ----
    QString usageStoreKey_;
    QString recentActivationsStoreKey_;
    bool recentActivationsEnabled_ = true;
    bool persistentQueryResultCacheEnabled_ = true;
    bool backgroundRefreshEnabled_ = true;
    // The answers of the current data. An invalidation replaces the table: a search that began before it
    // finds its table gone when it is done, and so stores no answer made from stale data.
    using QueryResultCache = QHash<QString, QueryResultCacheEntry>;
    std::shared_ptr<QueryResultCache> cachedQueryResults_ = std::make_shared<QueryResultCache>();
    double queryResultCacheTTL_ = 5;
    qsizetype queryResultCacheMaxEntries_ = 120;
    // Every search() raises the generation before it waits for the lock; a running search stops
    // early, answers nothing and stores nothing once a newer one has begun (its context tells).
    std::atomic<quint64> searchGeneration_{0};

    // ---- Index database ----
    // The file and its connections, behind a lock of their own (never the manager's).
    std::unique_ptr<IndexDatabase> indexDatabase_;
    // The index statements of running searches, by search generation; guarded by their own mutex,
    // which a newer search takes before the manager's lock.
    std::mutex indexQueriesMutex_;
    std::vector<std::pair<quint64, std::shared_ptr<IndexQuery>>> runningIndexQueries_;

    // ---- Sources ----
    struct RegisteredSource {
        std::shared_ptr<const Source> source;
        std::shared_ptr<const SourceSnapshot> snapshot;
        std::optional<Date> lastRefresh;
    };
    // The walked lists first (apps, folders, shortcuts: the refresh's order), then the registered
    // sources. The list itself never changes after construction; the snapshots and dates are guarded.
    std::vector<RegisteredSource> sources_;
    enum WalkedSourceIndex : size_t { appsIndex = 0, foldersIndex = 1, shortcutsIndex = 2, walkedCount = 3 };
    std::shared_ptr<const AppsSource> appsSource_;
    std::shared_ptr<const FoldersSource> foldersSource_;
    std::shared_ptr<const ShortcutFilesSource> shortcutFilesSource_;
    // The rows of the sources of one place for the context's query, in the sources' order.
    static SearchResults matchSources(const std::vector<RegisteredSource> &sources,
                                      const SearchContext &context, SourcePlace place);
    SearchResults searchActionResults(const std::vector<RegisteredSource> &sources,
                                      const SearchContext &context);
    SearchResults searchLauncherActionResults(const SearchContext &context);
    // Whether a registered source keeps the query's answer out of the query caches.
    bool bypassesQueryCaches(const SearchContext &context) const;
    // The sources' way to their late lookups: this manager's background pool and notification.
    class ManagerLateLookups;
    std::unique_ptr<ManagerLateLookups> lateLookups_;

    // ---- Background refresh ----
    QSet<QString> baselineShortcutFileExtensions_;
    bool backgroundCacheRefreshRunning_ = false;
    // Sources whose folders changed while a refresh ran: stale again once it is done.
    std::set<size_t> sourcesChangedDuringRefresh_;
    std::unique_ptr<ShortcutRootWatcher> shortcutRootWatcher_;
    // Null until the first refresh is scheduled, and when the system gives no watch.
    std::unique_ptr<FileEventStream> applicationFolderWatcher_;

    // ---- Usage: learned counts, recent activations, shortcut usage keys ----
    QHash<QString, qint64> cachedPathOpenCounts_;
    bool hasLoadedPathOpenCounts_ = false;
    // cachedPathOpenCounts_ as searches read it; null once it changed, made again when next asked for.
    std::shared_ptr<const LearnedOpenCounts> learnedOpenCounts_;
    QList<RecentActivationRecord> cachedRecentActivations_;
    bool hasLoadedRecentActivations_ = false;
    qsizetype recentActivationsMaxEntries_ = 80;
    // A cache of shortcut files' addresses, with a lock of its own: the index's rows ask it with no other
    // lock held.
    std::mutex shortcutUsageKeysMutex_;
    QHash<QString, std::optional<QString>> shortcutUsageKeyCache_;
    std::shared_ptr<const LearnedOpenCounts> learnedOpenCounts(const Lock &held);
    void loadPathOpenCountsIfNeeded(const Lock &held);
    // Raises the loaded counts to those another process sharing the defaults file has stored since
    // (`stored`: the file's value under the counts' key).
    void takeInStoredPathOpenCounts(const Lock &held, const std::optional<PlistValue> &stored);
    void persistPathOpenCounts(const Lock &held);
    void incrementPathOpenCount(const Lock &held, const QString &path);
    void migrateLegacyUsageCountIfNeeded(const Lock &held, const SearchResult &result);
    void storeRecentActivation(const Lock &held, const SearchResult &result);
    void loadRecentActivationsIfNeeded(const Lock &held);
    // Merges in the recent activations another process sharing the defaults file has stored since
    // (`stored`: the file's value under the recent list's key).
    void takeInStoredRecentActivations(const Lock &held, const std::optional<PlistValue> &stored);
    void persistRecentActivations(const Lock &held);
    // The recent list and which walked lists were crawled, as a search reads them.
    struct RecentActivations {
        QList<RecentActivationRecord> records;
        bool appsCrawled = false;
        bool foldersCrawled = false;
        bool shortcutsCrawled = false;
    };
    std::optional<RecentActivations> recentActivations(const Lock &held);
    static SearchResults matchRecentActivations(const RecentActivations &recent,
                                                const SearchContext &context);

    // ---- Persistent query cache ----
    std::shared_ptr<PersistentQueryResultCacheStore> persistentQueryResultCacheStore_;
    std::optional<Date> persistentQueryResultCacheInvalidatedAt_;
};

} // namespace orvex
