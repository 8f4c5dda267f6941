#include "search/Database.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "search/IndexQuery.h"
#include "search/LateLookups.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/SearchContext.h"
#include "search/ShortcutRootWatcher.h"
#include "search/WalkedRowSearchKeys.h"

#include "platform/StringUtils.h"
#include "search/LauncherLogic.h"
#include "search/LauncherNotifications.h"
#include "search/LauncherSettingsStores.h"
#include "search/SearchRankingSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringMatcher>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace orvex {

namespace {

// The search this thread runs, and on which manager. Kept per thread rather than in the manager: a
// search releases the manager's lock while it reads the index, and another thread's search may run
// meanwhile.
struct RunningSearch {
    const DatabaseManager *manager = nullptr;
    quint64 generation = 0;
};
thread_local RunningSearch runningSearchOnThisThread;

} // namespace

class DatabaseManager::ManagerLateLookups final : public LateLookups {
public:
    explicit ManagerLateLookups(DatabaseManager &manager) : manager_(manager) {}

    bool enabled() const override { return manager_.config_.startsLateLookups; }
    bool start(std::function<void()> work) override {
        if (manager_.shuttingDown_.load())
            return false;
        manager_.backgroundPool_.start(std::move(work));
        return true;
    }
    const std::atomic<bool> &cancelled() const override { return manager_.shuttingDown_; }
    void rowsArrived(bool answersChanged) override {
        if (answersChanged) {
            auto guard = manager_.lock();
            manager_.invalidateQueryResultCache();
        }
        postSearchDataRefreshed();
    }

private:
    DatabaseManager &manager_;
};

DatabaseManagerConfiguration DatabaseManagerConfiguration::production() {
    DatabaseManagerConfiguration c;
    c.homePath = QDir::homePath();
    const QString home = c.homePath;
    c.databasePath = home + QStringLiteral("/.pdf-indexer/index.db");
    c.appSearchRoots = {QStringLiteral("/Applications"), QStringLiteral("/System/Applications"),
                        QStringLiteral("/System/Cryptexes/App/System/Applications"),
                        home + QStringLiteral("/Applications")};
    c.desktopEntries = DesktopEntryEnvironment::current();
    c.folderSearchRoots = {home};
    // Only the shortcut roots that exist now; the list is not revisited later.
    for (const char *name : {"Documents", "Desktop", "Downloads", "My Drive"}) {
        const QString path = home + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(path))
            c.shortcutSearchRoots.append(path);
    }
    return c;
}

DatabaseManager::DatabaseManager(DatabaseManagerConfiguration configuration)
    : config_(std::move(configuration)),
      defaults_(config_.defaults ? config_.defaults : &UserDefaults::standard()),
      clock_(config_.clock ? config_.clock : Clock::system()),
      lateLookups_(std::make_unique<ManagerLateLookups>(*this)) {
    appSearchRoots_ = config_.appSearchRoots;
    folderSearchRoots_ = config_.folderSearchRoots;
    shortcutSearchRoots_ = config_.shortcutSearchRoots;
    searchRankingSettingsStore_ = config_.searchRankingSettingsStore
                                      ? config_.searchRankingSettingsStore
                                      : std::make_shared<SearchRankingSettingsStore>(*defaults_);
    pinnedFolderPaths_ = config_.pinnedFolderPaths;
    backgroundRefreshEnabled_ = config_.backgroundRefreshEnabled;
    excludedFolderNames_ = {
        QStringLiteral("library"), QStringLiteral(".git"),         QStringLiteral(".svn"),
        QStringLiteral(".hg"),     QStringLiteral("node_modules"), QStringLiteral(".next"),
        QStringLiteral(".turbo"),  QStringLiteral(".cache"),       QStringLiteral(".pnpm-store"),
        QStringLiteral("dist"),    QStringLiteral("build"),        QStringLiteral("target"),
        QStringLiteral("coverage")};
    baselineShortcutFileExtensions_ = {QStringLiteral("url"), QStringLiteral("webloc")};

    usageStoreKey_ = config_.usageStoreKey;
    recentActivationsStoreKey_ = config_.recentActivationsStoreKey.isEmpty()
                                     ? usageStoreKey_ + QStringLiteral(".recentActivations")
                                     : config_.recentActivationsStoreKey;
    const bool underTests = isRunningUnitTests();
    recentActivationsEnabled_ = config_.recentActivationsEnabled.value_or(!underTests);
    persistentQueryResultCacheEnabled_ = config_.persistentQueryResultCacheEnabled.value_or(!underTests);
    // Taken even when disabled, so the panel and the manager agree on one store per key.
    persistentQueryResultCacheStore_ = PersistentQueryResultCacheStoreRegistry::store(
        config_.persistentQueryResultCacheStoreKey.value_or(usageStoreKey_ + QStringLiteral(".queryResults")),
        *defaults_);
    if (persistentQueryResultCacheEnabled_)
        persistentQueryResultCacheInvalidatedAt_ = persistentQueryResultCacheStore_->actorInvalidatedAt();

    if (config_.makeSources) {
        for (std::shared_ptr<const Source> &source : config_.makeSources(config_)) {
            auto snapshot = source->initialSnapshot();
            sources_.push_back({std::move(source), std::move(snapshot), std::nullopt});
        }
    }
    openIndexDatabase();
}

DatabaseManager::~DatabaseManager() {
    shutdown();
    closeIndexDatabase();
}

namespace {

// The process-wide manager once shared() has built it.
std::atomic<DatabaseManager *> sharedManager{nullptr};

std::function<DatabaseManagerConfiguration()> &sharedConfiguration() {
    static std::function<DatabaseManagerConfiguration()> make;
    return make;
}

} // namespace

DatabaseManager &DatabaseManager::shared() {
    // Built once and never released, like the process it serves.
    static DatabaseManager *manager = [] {
        const auto &make = sharedConfiguration();
        auto *created = new DatabaseManager(make ? make() : DatabaseManagerConfiguration::production());
        // The query cache payload is written on the background pool, which is never joined: what is
        // still owed when the application object goes is written then, while the defaults still exist.
        qAddPostRoutine([] { shared().persistentQueryResultCacheStore_->writeOwedPayload(); });
        sharedManager.store(created);
        return created;
    }();
    return *manager;
}

void DatabaseManager::setSharedConfiguration(
    std::function<DatabaseManagerConfiguration()> makeConfiguration) {
    Q_ASSERT(!sharedManager.load());
    sharedConfiguration() = std::move(makeConfiguration);
}

void DatabaseManager::shutdownShared() {
    if (DatabaseManager *manager = sharedManager.load())
        manager->shutdown();
}

void DatabaseManager::startUserInitiatedTask(std::function<void()> work) {
    if (shuttingDown_.load())
        return;
    userInitiatedPool_.start(std::move(work));
}

void DatabaseManager::startBackgroundTask(std::function<void()> work) {
    if (shuttingDown_.load())
        return;
    backgroundPool_.start(std::move(work));
}

void DatabaseManager::waitForBackgroundTasks() {
    // A finishing task may start a follow-up; wait until both pools stay empty.
    do {
        userInitiatedPool_.waitForDone();
        backgroundPool_.waitForDone();
    } while (userInitiatedPool_.activeThreadCount() > 0 || backgroundPool_.activeThreadCount() > 0);
}

void DatabaseManager::shutdown() {
    shuttingDown_.store(true);
    // Searches waiting for index statements go on at once; the statements end on their own.
    stopIndexQueriesBefore(std::numeric_limits<quint64>::max());
    std::unique_ptr<ShortcutRootWatcher> watcher;
    {
        auto guard = lock();
        watcher = std::move(shortcutRootWatcher_);
    }
    // Stopped first, outside the lock, and synchronously: once reset() returns no watcher callback
    // runs, and any change it handed over finds shuttingDown_ set.
    watcher.reset();
    userInitiatedPool_.waitForDone();
    backgroundPool_.waitForDone();
    // Owed when the task that writes it was refused because shutdown had begun.
    persistentQueryResultCacheStore_->writeOwedPayload();
}

void DatabaseManager::refreshSourceCachesNow() {
    // One refresh at a time: let a running one end, then crawl every source here and wait for it.
    BackgroundRefreshPlan plan;
    for (;;) {
        {
            auto guard = lock();
            if (shuttingDown_.load())
                return;
            if (!backgroundCacheRefreshRunning_) {
                std::vector<size_t> everySource;
                for (size_t i = 0; i < sources_.size(); ++i)
                    if (sources_[i].source->isCrawled())
                        everySource.push_back(i);
                plan = makeBackgroundRefreshPlan(true, true, true, std::move(everySource));
                backgroundCacheRefreshRunning_ = true;
                break;
            }
        }
        waitForBackgroundTasks();
    }
    runBackgroundCacheRefresh(plan);
    // A follow-up asked for while it ran.
    waitForBackgroundTasks();
}

bool DatabaseManager::hasLateLookupsInFlight() const {
    // The list of sources never changes, so it is read without the lock.
    return std::any_of(sources_.begin(), sources_.end(), [](const RegisteredSource &registered) {
        return registered.source->hasLateLookupsInFlight();
    });
}

void DatabaseManager::postSearchDataRefreshed() {
    MainQueue::post(
        [] { NotificationCenter::defaultCenter().post(NotificationName::launcherSearchDataRefreshed); });
}

SearchRankingPreferences DatabaseManager::loadRankingPreferences() const {
    return searchRankingSettingsStore_->load();
}

// ---- The search road ----

SearchResults DatabaseManager::search(const QString &query, bool allowPersistentQueryCache) {
    // Raised before the lock is taken: the search that holds it, and those still waiting for it, learn
    // at once that only this newest one's answer is wanted.
    const quint64 generation = searchGeneration_.fetch_add(1) + 1;
    // An older search waiting for its index statements goes on at once (and answers nothing).
    stopIndexQueriesBefore(generation);
    const QString trimmed = StringUtils::trimmedWhitespace(boundedQuery(query));
    if (trimmed.isEmpty())
        return {};

    auto guard = lock();
    if (searchGeneration_.load() != generation)
        return {};
    // Restored at the end: a search run from inside another one on this thread (tests do) returns
    // to the outer one.
    struct RestoreRunningSearch {
        const RunningSearch previous;
        ~RestoreRunningSearch() { runningSearchOnThisThread = previous; }
    } restoreRunningSearch{std::exchange(runningSearchOnThisThread, RunningSearch{this, generation})};

    const QString q = matchingForm(trimmed);
    const SearchRankingPreferences preferences = loadRankingPreferences();
    const QString key = q + QLatin1Char('|') + preferences.cacheKey();
    const SearchContext context = searchContext(trimmed);
    const bool bypassesCaches = bypassesQueryCaches(context);

    scheduleBackgroundCacheRefreshIfNeeded();

    if (!bypassesCaches) {
        if (auto cached = cachedQueryResults(key, allowPersistentQueryCache))
            return *cached;
    }

    if (config_.searchWillGatherSources)
        config_.searchWillGatherSources(trimmed);
    // A superseded search stops between sources (and inside the long ones), answers nothing and leaves
    // the caches alone: its rows would only be thrown away.
    SearchResults gathered;
    gathered += matchRegisteredSources(context, SourcePlace::beforeCoreRows);
    gathered += searchActionResults(trimmed);
    gathered += searchDirectPathResults(trimmed);
    gathered += searchRecentActivationResults(trimmed, preferences);
    // The index is read with the lock released, so that a statement that stalls holds up neither
    // activations, the refresh nor the next keystroke. An answer that an invalidation overtook
    // meanwhile may hold stale rows: it is given but not cached.
    const quint64 invalidationsBeforeIndex = queryCacheInvalidations_;
    guard.unlock();
    if (config_.searchWillReadIndex)
        config_.searchWillReadIndex(trimmed);
    const IndexQueryOutcome indexOutcome = queryIndex(trimmed, generation);
    guard.lock();
    gathered += indexSearchResults(indexOutcome);
    // Nor is an answer whose index part is incomplete or missing (a locked or busy index is mostly
    // a passing state): it would stand for the full one for days.
    const bool cacheable = queryCacheInvalidations_ == invalidationsBeforeIndex &&
                           !indexOutcome.deadlinePassed && !indexOutcome.fullTextSkipped &&
                           !indexOutcome.error;
    if (isRunningSearchSuperseded())
        return {};
    const QStringList &suffixes = preferences.sortedSuffixesForBasenameStripping();
    gathered += filterAndSortWalkedRows(walkedRowKeys(WalkedList::shortcuts, cachedShortcuts_, suffixes),
                                        false, {}, q);
    gathered += filterAndSortWalkedRows(walkedRowKeys(WalkedList::apps, cachedApps_, suffixes), false, {}, q);
    // The folders merged with the pinned ones, first row of each path kept (mergedUniqueByPath).
    gathered += filterAndSortWalkedRows(walkedRowKeys(WalkedList::folders, cachedFolders_, suffixes), true,
                                        pinnedFolderResults(), q);
    if (isRunningSearchSuperseded())
        return {};
    // The sources after the walked lists only read what they keep (a Notion request runs in the
    // background), so the lock is held from here to the store below: no invalidation can fall between
    // gathering and caching unless it came while the index was read, and then nothing is stored.
    gathered += matchRegisteredSources(context, SourcePlace::afterWalkedRows);

    SearchResults rows = deduplicatedSearchResults(gathered);
    for (SearchResult &row : rows)
        row = row.withRelevanceScore(relevanceScore(row, q, preferences));
    sortSearchResultsForDisplay(rows);
    if (rows.size() > maxResultCount)
        rows.erase(rows.begin() + maxResultCount, rows.end());
    // The answer is kept by the caches and the panel: without the room every gathered row needed
    // (hundreds of rows, tens of kilobytes per answer).
    rows.squeeze();

    if (isRunningSearchSuperseded())
        return {};
    if (!bypassesCaches && cacheable)
        storeQueryResultsInCache(rows, key);
    return rows;
}

QString DatabaseManager::boundedQuery(const QString &query) {
    if (query.size() <= maxQueryLength)
        return query;
    // Cut where a character begins: half of a surrogate pair would match nothing.
    qsizetype length = maxQueryLength;
    if (query.at(length - 1).isHighSurrogate())
        --length;
    return query.left(length);
}

quint64 DatabaseManager::runningSearchGeneration() const {
    return runningSearchOnThisThread.manager == this ? runningSearchOnThisThread.generation : 0;
}

bool DatabaseManager::isRunningSearchSuperseded() const {
    const quint64 running = runningSearchGeneration();
    return running != 0 && searchGeneration_.load(std::memory_order_relaxed) != running;
}

std::optional<SearchResults> DatabaseManager::cachedQueryResults(const QString &key,
                                                                 bool allowPersistentQueryCache) {
    auto guard = lock();
    if (!allowPersistentQueryCache) {
        cachedQueryResults_.remove(key);
        return std::nullopt;
    }
    const Date now = clock_->now();
    if (const auto it = cachedQueryResults_.constFind(key); it != cachedQueryResults_.cend()) {
        // An entry dated after now (the wall clock was set back) is not fresh either.
        const double age = now.secondsSince(it->cachedAt);
        if (age >= 0 && age <= queryResultCacheTTL_)
            return it->results;
        cachedQueryResults_.erase(it);
    }
    if (persistentQueryResultCacheEnabled_) {
        if (auto entry = persistentCachedQueryResults(key)) {
            cachedQueryResults_.insert(key, QueryResultCacheEntry{entry->results, now});
            return entry->results;
        }
    }
    return std::nullopt;
}

void DatabaseManager::storeQueryResultsInCache(const SearchResults &results, const QString &key) {
    auto guard = lock();
    const Date now = clock_->now();
    cachedQueryResults_.insert(key, QueryResultCacheEntry{results, now});
    if (persistentQueryResultCacheEnabled_ && !results.isEmpty())
        storeInPersistentQueryCache(results, key, now);
    if (cachedQueryResults_.size() > queryResultCacheMaxEntries_) {
        QList<std::pair<Date, QString>> byAge;
        byAge.reserve(cachedQueryResults_.size());
        for (auto it = cachedQueryResults_.cbegin(); it != cachedQueryResults_.cend(); ++it)
            byAge.append({it->cachedAt, it.key()});
        std::stable_sort(byAge.begin(), byAge.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        const qsizetype excess = cachedQueryResults_.size() - queryResultCacheMaxEntries_;
        for (qsizetype i = 0; i < excess; ++i)
            cachedQueryResults_.remove(byAge.at(i).second);
    }
}

SearchResults DatabaseManager::searchActionResults(const QString &query) {
    auto guard = lock();
    const QString q = query.toLower();
    if (StringUtils::graphemeCount(q) < 2)
        return {};
    SearchResults rows = searchLauncherActionResults(q);
    rows += matchRegisteredSources(searchContext(query), SourcePlace::amongActions);
    return rows;
}

SearchContext DatabaseManager::searchContext(const QString &query) {
    // Outside a search nothing supersedes it.
    const quint64 generation = runningSearchGeneration();
    return SearchContext(
        StringUtils::trimmedWhitespace(query),
        [this](const SearchResult &row) { return learnedOpenCount(row, 0); }, generation,
        generation != 0 ? &searchGeneration_ : nullptr, lateLookups_.get());
}

SearchResults DatabaseManager::matchSource(const QString &sourceID, const QString &query) {
    std::shared_ptr<const Source> source;
    std::shared_ptr<const SourceSnapshot> snapshot;
    {
        auto guard = lock();
        for (const RegisteredSource &registered : sources_) {
            if (registered.source->id() == sourceID) {
                source = registered.source;
                snapshot = registered.snapshot;
            }
        }
    }
    if (!source)
        return {};
    return source->match(*snapshot, searchContext(query));
}

bool DatabaseManager::bypassesQueryCaches(const SearchContext &context) const {
    // The list of sources never changes, so it is read without the lock.
    return std::any_of(sources_.begin(), sources_.end(), [&context](const RegisteredSource &registered) {
        return registered.source->bypassesQueryCaches(context);
    });
}

SearchResults DatabaseManager::matchRegisteredSources(const SearchContext &context, SourcePlace place) {
    std::vector<std::pair<std::shared_ptr<const Source>, std::shared_ptr<const SourceSnapshot>>> snapshots;
    {
        auto guard = lock();
        for (const RegisteredSource &registered : sources_)
            if (registered.source->place() == place)
                snapshots.emplace_back(registered.source, registered.snapshot);
    }
    SearchResults rows;
    for (const auto &[source, snapshot] : snapshots) {
        if (context.isSuperseded())
            return {};
        rows += source->match(*snapshot, context);
    }
    return rows;
}

std::shared_ptr<const SourceSnapshot> DatabaseManager::sourceSnapshot(const QString &sourceID) const {
    auto guard = lock();
    for (const RegisteredSource &registered : sources_)
        if (registered.source->id() == sourceID)
            return registered.snapshot;
    return nullptr;
}

std::vector<std::shared_ptr<const Source>> DatabaseManager::sources() const {
    auto guard = lock();
    std::vector<std::shared_ptr<const Source>> list;
    for (const RegisteredSource &registered : sources_)
        list.push_back(registered.source);
    return list;
}

SearchResults DatabaseManager::searchLauncherActionResults(const QString &queryLowercased) {
    static const QStringList keywords = {
        QStringLiteral("settings"), QStringLiteral("preference"),    QStringLiteral("preferences"),
        QStringLiteral("config"),   QStringLiteral("configuration"), QStringLiteral("hotkey"),
        QStringLiteral("shortcut"), QStringLiteral("launcher"),      QStringLiteral("alfred")};
    static const QString title = QStringLiteral("Show Launcher Settings");
    static const QString subtitle = QStringLiteral("Configure hotkey and launcher options");

    const QString &q = queryLowercased;
    const bool keywordMatch = std::any_of(keywords.begin(), keywords.end(), [&q](const QString &keyword) {
        return keyword.contains(q) || q.contains(keyword);
    });
    if (!keywordMatch && !title.toLower().contains(q) && !subtitle.toLower().contains(q))
        return {};

    auto guard = lock();
    SearchResult row({.id = stableNegativeID(QStringLiteral("action://open-settings")),
                      .filename = title,
                      .directory = subtitle,
                      .kind = SearchResultKind::action,
                      .action = SearchResultAction::openSettings});
    if (const qint64 count = learnedOpenCount(row, 0); count != 0)
        row = row.withOpenCount(count);
    return {row};
}

std::optional<QString> DatabaseManager::resolveDirectPath(const QString &text) const {
    QString s = StringUtils::trimmedWhitespaceAndNewlines(text);
    if (s.isEmpty())
        return std::nullopt;
    if (s.size() >= 2 && ((s.startsWith(QLatin1Char('"')) && s.endsWith(QLatin1Char('"'))) ||
                          (s.startsWith(QLatin1Char('\'')) && s.endsWith(QLatin1Char('\''))))) {
        s = s.mid(1, s.size() - 2);
    } else if (s == QLatin1String("\"") || s == QLatin1String("'")) {
        s.clear();
    }
    if (s.startsWith(QLatin1String("file://"))) {
        const QUrl url(s, QUrl::StrictMode);
        if (url.isValid() && url.scheme() == QLatin1String("file"))
            s = url.path(QUrl::FullyDecoded);
    }
    if (s.startsWith(QLatin1Char('~')))
        s = expandedTilde(s);
    if (!s.startsWith(QLatin1Char('/')))
        return std::nullopt;
    // cleanPath keeps ".." that climbs above the root; the file system resolves it to the root itself.
    QString path = QDir::cleanPath(s);
    while (path.startsWith(QLatin1String("/../")))
        path.remove(0, 3);
    if (path == QLatin1String("/.."))
        path = QStringLiteral("/");
    return path;
}

QString DatabaseManager::expandedTilde(const QString &path) const {
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (user.isEmpty())
        return homePath() + rest;
    // "~name" stands for that user's home folder; an unknown user leaves the text as typed.
    const QByteArray name = user.toLocal8Bit();
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(suggested > 0 ? suggested : 16384));
    struct passwd entry {};
    struct passwd *found = nullptr;
    if (::getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return path;
    return QFile::decodeName(found->pw_dir) + rest;
}

QString DatabaseManager::homePath() const {
    return config_.homePath.isEmpty() ? QDir::homePath() : config_.homePath;
}

SearchResults DatabaseManager::searchDirectPathResults(const QString &query) {
    const auto path = resolveDirectPath(query);
    if (!path)
        return {};
    const QFileInfo info(*path);
    if (!info.exists())
        return {};
    const QString name = *path == QLatin1String("/") ? *path : info.fileName();
    const QString parent = info.dir().path();
    SearchResultKind kind = SearchResultKind::file;
    if (name.toLower().endsWith(QLatin1String(".app")))
        kind = SearchResultKind::app;
    else if (info.isDir())
        kind = SearchResultKind::folder;

    auto guard = lock();
    SearchResult row({.id = stableNegativeID(QStringLiteral("direct-path:") + *path),
                      .filename = name,
                      .directory = parent,
                      .kind = kind,
                      .isDirectPathMatch = true,
                      .usageKey = cachedShortcutUsageKey(*path, name)});
    if (const qint64 count = learnedOpenCount(row, 0); count != 0)
        row = row.withOpenCount(count);
    return {row};
}

SearchResults DatabaseManager::pinnedFolderResults() {
    auto guard = lock();
    SearchResults rows;
    for (const QString &path : pinnedFolderPaths_) {
        const QFileInfo info(path);
        if (!info.isDir())
            continue;
        SearchResult row({.id = stableNegativeID(QStringLiteral("folder:") + path),
                          .filename = info.fileName(),
                          .directory = info.dir().path(),
                          .kind = SearchResultKind::folder});
        if (const qint64 count = learnedOpenCount(row, 0); count != 0)
            row = row.withOpenCount(count);
        rows.append(row);
    }
    return rows;
}

SearchResults DatabaseManager::mergedUniqueByPath(const SearchResults &results) {
    SearchResults kept;
    kept.reserve(results.size());
    QSet<QString> seen;
    for (const SearchResult &r : results) {
        const QString identity = r.fullPath().toLower();
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        kept.append(r);
    }
    return kept;
}

SearchResults DatabaseManager::filterAndSortPathResults(const SearchResults &results,
                                                        const QString &queryLowercased,
                                                        const SearchRankingPreferences &rankingPreferences) {
    const WalkedRowSearchKeys keys(results, rankingPreferences.sortedSuffixesForBasenameStripping());
    return filterAndSortWalkedRows(keys, false, {}, queryLowercased);
}

void DatabaseManager::prepareWalkedRowKeys(const SearchResults &rows) {
    auto keys = std::make_shared<WalkedRowSearchKeys>(
        rows, loadRankingPreferences().sortedSuffixesForBasenameStripping());
    auto guard = lock();
    preparedWalkedRowKeys_.append(std::move(keys));
    // One crawl of each list may be waiting to be installed; older ones were replaced meanwhile.
    while (preparedWalkedRowKeys_.size() > 3)
        preparedWalkedRowKeys_.removeFirst();
}

WalkedRowSearchKeys &DatabaseManager::walkedRowKeys(WalkedList list, const SearchResults &rows,
                                                    const QStringList &suffixes) {
    auto guard = lock();
    std::shared_ptr<WalkedRowSearchKeys> &current = walkedRowKeys_[static_cast<int>(list)];
    if (!current || !current->isKeysOf(rows)) {
        const auto prepared = std::find_if(preparedWalkedRowKeys_.begin(), preparedWalkedRowKeys_.end(),
                                           [&rows](const auto &keys) { return keys->isKeysOf(rows); });
        if (prepared != preparedWalkedRowKeys_.end()) {
            current = *prepared;
            preparedWalkedRowKeys_.erase(prepared);
        } else {
            // Installed without prepared keys (or replaced since): computed once here.
            current = std::make_shared<WalkedRowSearchKeys>(rows, suffixes);
        }
    }
    current->useSuffixes(suffixes);
    return *current;
}

SearchResults DatabaseManager::filterAndSortWalkedRows(const WalkedRowSearchKeys &keys,
                                                       bool skipRepeatedPaths, const SearchResults &pinned,
                                                       const QString &queryLowercased) {
    auto guard = lock();
    const QString &q = queryLowercased;
    const SearchResults &rows = keys.rows();

    // Pinned rows follow the list's rows; one whose path the list (or an earlier pinned row) has is dropped.
    std::vector<WalkedRowSearchKeys::Key> pinnedKeys;
    SearchResults pinnedRows;
    QSet<QString> pinnedPaths;
    for (const SearchResult &row : pinned) {
        const QString path = row.fullPath().toLower();
        if (pinnedPaths.contains(path) || keys.containsPath(path))
            continue;
        pinnedPaths.insert(path);
        pinnedRows.append(row);
        pinnedKeys.push_back(WalkedRowSearchKeys::keyOf(row, keys.suffixes()));
    }

    // The rows whose name holds the query, with their tier. The searchable basename is a prefix of the
    // lowercased name: the name test covers it, and its length tells equality and prefix.
    enum Tier { exact, prefix, other };
    struct Match {
        qsizetype order; // position among the list's rows, then the pinned rows
        Tier tier;
    };
    std::vector<Match> matches;
    qsizetype tierCounts[3] = {0, 0, 0};
    // One matcher for every row: QString::contains would build its search tables again for each name.
    // A single character is found faster by a plain scan.
    const QStringMatcher matcher(q);
    const auto contains = [&](const QString &name) {
        return q.size() == 1 ? name.contains(q.front()) : matcher.indexIn(name) >= 0;
    };
    const auto match = [&](qsizetype order, const WalkedRowSearchKeys::Key &key) {
        if (!contains(key.lowercasedFilename))
            return;
        Tier tier = other;
        if (key.lowercasedFilename.startsWith(q) && key.basenameLength >= q.size())
            tier = key.basenameLength == q.size() ? exact : prefix;
        matches.push_back({order, tier});
        ++tierCounts[tier];
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if ((i & 1023) == 0 && isRunningSearchSuperseded())
            return {};
        const WalkedRowSearchKeys::Key &key = keys.key(i);
        if (!skipRepeatedPaths || !key.repeatsEarlierPath)
            match(i, key);
    }
    for (qsizetype i = 0; i < pinnedRows.size(); ++i)
        match(rows.size() + i, pinnedKeys[size_t(i)]);

    // The tier comes first in the order, so once the better tiers fill the kept rows the worse ones can
    // be left out before their learned counts are looked up.
    int lastTier = other;
    for (int tier = exact, total = 0; tier <= other; ++tier) {
        total += int(tierCounts[tier]);
        if (total >= maxPathResultCount) {
            lastTier = tier;
            break;
        }
    }
    struct Candidate {
        qsizetype order;
        Tier tier;
        qint64 openCount;
        const SearchResult *row;
        const WalkedRowSearchKeys::Key *key;
    };
    std::vector<Candidate> kept;
    for (const Match &m : matches) {
        if (m.tier > lastTier)
            continue;
        const bool pinnedRow = m.order >= rows.size();
        const SearchResult &row = pinnedRow ? pinnedRows.at(m.order - rows.size()) : rows.at(m.order);
        const WalkedRowSearchKeys::Key &key =
            pinnedRow ? pinnedKeys[size_t(m.order - rows.size())] : keys.key(m.order);
        qint64 count = row.openCount();
        if (row.kind() != SearchResultKind::action && !row.databaseID()) {
            // Only Notion rows are counted under more than one identifier.
            count = row.action() == SearchResultAction::openNotionPage
                        ? learnedOpenCount(row, row.openCount())
                        : learnedOpenCountOfWalkedRow(row, key.usageIdentifierHash);
        }
        kept.push_back({m.order, m.tier, count, &row, &key});
    }

    // Exact basenames, then prefixes, then the most opened, then by name; equal rows keep their order.
    // Only the first rows are wanted, so they are selected rather than the whole list sorted.
    const auto before = [](const Candidate &a, const Candidate &b) {
        if (a.tier != b.tier)
            return a.tier < b.tier;
        if (a.openCount != b.openCount)
            return a.openCount > b.openCount;
        if (const int c =
                WalkedRowSearchKeys::compareFilenames(a.row->filename(), *a.key, b.row->filename(), *b.key);
            c != 0)
            return c < 0;
        return a.order < b.order;
    };
    const size_t count = std::min<size_t>(kept.size(), size_t(maxPathResultCount));
    std::partial_sort(kept.begin(), kept.begin() + qsizetype(count), kept.end(), before);
    SearchResults result;
    result.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i) {
        const Candidate &c = kept[i];
        result.append(c.openCount == c.row->openCount() ? *c.row : c.row->withOpenCount(c.openCount));
    }
    return result;
}

} // namespace orvex
