#include "search/Database.h"
#include "search/SearchContext.h"

#include "platform/FileEventStream.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "search/AppsSource.h"
#include "search/FoldersSource.h"
#include "search/IndexQuery.h"
#include "search/LateLookups.h"
#include "search/LearnedOpenCounts.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/Ranking.h"
#include "search/SearchContext.h"
#include "search/ShortcutFilesSource.h"
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
        if (answersChanged)
            manager_.invalidateQueryResultCache();
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
    searchRankingSettingsStore_ = config_.searchRankingSettingsStore
                                      ? config_.searchRankingSettingsStore
                                      : std::make_shared<SearchRankingSettingsStore>(*defaults_);
    backgroundRefreshEnabled_ = config_.backgroundRefreshEnabled;
    const QSet<QString> excludedFolderNames = {
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

    // The walked lists, in the refresh's order; a crawl keys its rows with the suffixes of that moment.
    const auto suffixes = [store = searchRankingSettingsStore_] {
        return store->load().sortedSuffixesForBasenameStripping();
    };
    appsSource_ =
        std::make_shared<const AppsSource>(config_.appSearchRoots, config_.desktopEntries, suffixes);
    foldersSource_ = std::make_shared<const FoldersSource>(config_.folderSearchRoots, 5, excludedFolderNames,
                                                           config_.pinnedFolderPaths, suffixes);
    shortcutFilesSource_ = std::make_shared<const ShortcutFilesSource>(
        config_.shortcutSearchRoots, 6, excludedFolderNames, [this] { return shortcutFileExtensions(); },
        suffixes);
    for (std::shared_ptr<const Source> walked :
         {std::shared_ptr<const Source>(appsSource_), std::shared_ptr<const Source>(foldersSource_),
          std::shared_ptr<const Source>(shortcutFilesSource_)}) {
        auto snapshot = walked->initialSnapshot();
        sources_.push_back({std::move(walked), std::move(snapshot), std::nullopt});
    }
    Q_ASSERT(sources_.size() == walkedCount);
    if (config_.makeSources) {
        for (std::shared_ptr<const Source> &source : config_.makeSources(config_)) {
            Q_ASSERT(source && source->place() != SourcePlace::walkedLists);
            auto snapshot = source->initialSnapshot();
            sources_.push_back({std::move(source), std::move(snapshot), std::nullopt});
        }
    }
    indexDatabase_ = std::make_unique<IndexDatabase>(config_.databasePath, config_.readonly,
                                                     config_.indexDatabaseBusyTimeoutMilliseconds, clock_);
    // Opened now, so that a file that cannot be opened is said at the start (no answer is cached yet).
    if (const auto failure = indexDatabase_->connections(IndexDatabase::Look::now).failure)
        sayIndexProblem(QStringLiteral("Failed to open database: ") + *failure);
}

DatabaseManager::~DatabaseManager() {
    shutdown();
    indexDatabase_->close();
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
    std::unique_ptr<FileEventStream> applicationWatcher;
    {
        auto guard = lock();
        watcher = std::move(shortcutRootWatcher_);
        applicationWatcher = std::move(applicationFolderWatcher_);
    }
    // Stopped first, outside the lock, and synchronously: once reset() returns no watcher callback
    // runs, and any change it handed over finds shuttingDown_ set.
    watcher.reset();
    applicationWatcher.reset();
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
                plan.sources = std::move(everySource);
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
    // Raised before the lock is taken: the search that runs, and those still waiting for the lock,
    // learn at once that only this newest one's answer is wanted.
    const quint64 generation = searchGeneration_.fetch_add(1) + 1;
    // An older search waiting for its index statements goes on at once (and answers nothing).
    stopIndexQueriesBefore(generation);
    const QString trimmed = StringUtils::trimmedWhitespace(boundedQuery(query));
    if (trimmed.isEmpty())
        return {};

    const QString q = matchingForm(trimmed);
    const SearchRankingPreferences preferences = loadRankingPreferences();
    const QString key = q + QLatin1Char('|') + preferences.cacheKey();
    const bool bypassesCaches = bypassesQueryCaches(SearchContext(trimmed));

    // What the search reads, taken at once: the sources' snapshots, the learned counts, the recent list
    // and the answer table it may store into. Everything after runs with no lock held.
    std::optional<SearchContext> context;
    std::vector<RegisteredSource> sources;
    std::optional<RecentActivations> recent;
    std::shared_ptr<QueryResultCache> answers;
    {
        auto held = lock();
        if (searchGeneration_.load() != generation)
            return {};
        scheduleBackgroundCacheRefreshIfNeeded(held);
        if (!bypassesCaches) {
            if (auto cached = cachedQueryResults(held, key, allowPersistentQueryCache))
                return *cached;
        }
        context.emplace(
            searchContext(held, trimmed, preferences.sortedSuffixesForBasenameStripping(), generation));
        sources = sources_;
        recent = recentActivations(held);
        answers = cachedQueryResults_;
    }

    if (config_.searchWillGatherSources)
        config_.searchWillGatherSources(trimmed);
    // A superseded search stops between sources (and inside the long ones), answers nothing and leaves
    // the caches alone: its rows would only be thrown away.
    SearchResults gathered;
    gathered += matchSources(sources, *context, SourcePlace::beforeCoreRows);
    gathered += searchActionResults(sources, *context);
    gathered += searchDirectPathResults(*context);
    if (recent)
        gathered += matchRecentActivations(*recent, *context);
    if (config_.searchWillReadIndex)
        config_.searchWillReadIndex(trimmed);
    const IndexQueryOutcome indexOutcome = queryIndex(*context);
    gathered += indexSearchResults(indexOutcome, *context);
    // An answer whose index part is incomplete or missing is not cached (a locked or busy index is
    // mostly a passing state): it would stand for the full one for days.
    const bool cacheable =
        !indexOutcome.deadlinePassed && !indexOutcome.fullTextSkipped && !indexOutcome.error;
    if (context->isSuperseded())
        return {};
    for (const size_t walked : {shortcutsIndex, appsIndex, foldersIndex})
        gathered += sources[walked].source->match(*sources[walked].snapshot, *context);
    if (context->isSuperseded())
        return {};
    gathered += matchSources(sources, *context, SourcePlace::afterWalkedRows);

    SearchResults rows = deduplicatedSearchResults(gathered);
    for (SearchResult &row : rows)
        row = row.withRelevanceScore(relevanceScore(row, q, preferences));
    sortSearchResultsForDisplay(rows);
    if (rows.size() > maxResultCount)
        rows.erase(rows.begin() + maxResultCount, rows.end());
    // The answer is kept by the caches and the panel: without the room every gathered row needed
    // (hundreds of rows, tens of kilobytes per answer).
    rows.squeeze();

    auto held = lock();
    if (context->isSuperseded())
        return {};
    // Stored only into the table it was looked up in: an invalidation since (new snapshots, counts,
    // late rows) replaced it, and this answer may hold what it dropped.
    if (!bypassesCaches && cacheable && answers == cachedQueryResults_)
        storeQueryResultsInCache(held, rows, key);
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

std::optional<SearchResults> DatabaseManager::cachedQueryResults(const QString &key,
                                                                 bool allowPersistentQueryCache) {
    auto held = lock();
    return cachedQueryResults(held, key, allowPersistentQueryCache);
}

std::optional<SearchResults> DatabaseManager::cachedQueryResults(const Lock &held, const QString &key,
                                                                 bool allowPersistentQueryCache) {
    Q_ASSERT(held.owns_lock());
    QueryResultCache &answers = *cachedQueryResults_;
    if (!allowPersistentQueryCache) {
        answers.remove(key);
        return std::nullopt;
    }
    const Date now = clock_->now();
    if (const auto it = answers.constFind(key); it != answers.cend()) {
        // An entry dated after now (the wall clock was set back) is not fresh either.
        const double age = now.secondsSince(it->cachedAt);
        if (age >= 0 && age <= queryResultCacheTTL_)
            return it->results;
        answers.erase(it);
    }
    if (persistentQueryResultCacheEnabled_) {
        if (auto entry = persistentCachedQueryResults(held, key)) {
            answers.insert(key, QueryResultCacheEntry{entry->results, now});
            return entry->results;
        }
    }
    return std::nullopt;
}

void DatabaseManager::storeQueryResultsInCache(const SearchResults &results, const QString &key) {
    auto held = lock();
    storeQueryResultsInCache(held, results, key);
}

void DatabaseManager::storeQueryResultsInCache(const Lock &held, const SearchResults &results,
                                               const QString &key) {
    Q_ASSERT(held.owns_lock());
    QueryResultCache &answers = *cachedQueryResults_;
    const Date now = clock_->now();
    answers.insert(key, QueryResultCacheEntry{results, now});
    if (persistentQueryResultCacheEnabled_ && !results.isEmpty())
        storeInPersistentQueryCache(held, results, key, now);
    if (answers.size() > queryResultCacheMaxEntries_) {
        QList<std::pair<Date, QString>> byAge;
        byAge.reserve(answers.size());
        for (auto it = answers.cbegin(); it != answers.cend(); ++it)
            byAge.append({it->cachedAt, it.key()});
        std::stable_sort(byAge.begin(), byAge.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        const qsizetype excess = answers.size() - queryResultCacheMaxEntries_;
        for (qsizetype i = 0; i < excess; ++i)
            answers.remove(byAge.at(i).second);
    }
}

SearchResults DatabaseManager::searchActionResults(const SearchContext &context) {
    std::vector<RegisteredSource> sources;
    {
        auto held = lock();
        sources = sources_;
    }
    return searchActionResults(sources, context);
}

SearchResults DatabaseManager::searchActionResults(const std::vector<RegisteredSource> &sources,
                                                   const SearchContext &context) {
    if (StringUtils::graphemeCount(context.queryLowercased()) < 2)
        return {};
    SearchResults rows = searchLauncherActionResults(context);
    rows += matchSources(sources, context, SourcePlace::amongActions);
    return rows;
}

SearchContext DatabaseManager::searchContext(const QString &query) {
    auto held = lock();
    return searchContext(held, StringUtils::trimmedWhitespace(query),
                         loadRankingPreferences().sortedSuffixesForBasenameStripping(), 0);
}

SearchContext DatabaseManager::searchContext(const Lock &held, const QString &query,
                                             QStringList basenameSuffixes, quint64 generation) {
    return SearchContext(query, {.learnedOpenCounts = learnedOpenCounts(held),
                                 .basenameSuffixes = std::move(basenameSuffixes),
                                 .generation = generation,
                                 .currentGeneration = generation != 0 ? &searchGeneration_ : nullptr,
                                 .lateLookups = lateLookups_.get()});
}

SearchResults DatabaseManager::matchSource(const QString &sourceID, const QString &query) {
    std::shared_ptr<const Source> source;
    std::shared_ptr<const SourceSnapshot> snapshot;
    {
        auto held = lock();
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

SearchResults DatabaseManager::matchSources(const std::vector<RegisteredSource> &sources,
                                            const SearchContext &context, SourcePlace place) {
    SearchResults rows;
    for (const RegisteredSource &registered : sources) {
        if (registered.source->place() != place)
            continue;
        if (context.isSuperseded())
            return {};
        rows += registered.source->match(*registered.snapshot, context);
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
    return searchLauncherActionResults(searchContext(queryLowercased));
}

SearchResults DatabaseManager::searchLauncherActionResults(const SearchContext &context) {
    static const QStringList keywords = {
        QStringLiteral("settings"), QStringLiteral("preference"),    QStringLiteral("preferences"),
        QStringLiteral("config"),   QStringLiteral("configuration"), QStringLiteral("hotkey"),
        QStringLiteral("shortcut"), QStringLiteral("launcher"),      QStringLiteral("alfred")};
    static const QString title = QStringLiteral("Show Launcher Settings");
    static const QString subtitle = QStringLiteral("Configure hotkey and launcher options");

    const QString &q = context.queryLowercased();
    const bool keywordMatch = std::any_of(keywords.begin(), keywords.end(), [&q](const QString &keyword) {
        return keyword.contains(q) || q.contains(keyword);
    });
    if (!keywordMatch && !title.toLower().contains(q) && !subtitle.toLower().contains(q))
        return {};

    return {context.withLearnedOpenCount(
        SearchResult({.id = stableNegativeID(QStringLiteral("action://open-settings")),
                      .filename = title,
                      .directory = subtitle,
                      .kind = SearchResultKind::action,
                      .action = SearchResultAction::openSettings}))};
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

SearchResults DatabaseManager::searchDirectPathResults(const SearchContext &context) {
    const auto path = resolveDirectPath(context.query());
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

    return {context.withLearnedOpenCount(
        SearchResult({.id = stableNegativeID(QStringLiteral("direct-path:") + *path),
                      .filename = name,
                      .directory = parent,
                      .kind = kind,
                      .isDirectPathMatch = true,
                      .usageKey = cachedShortcutUsageKey(*path, name)}))};
}

SearchResults DatabaseManager::pinnedFolderResults() {
    return foldersSource_->pinnedRows(searchContext(QString()));
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
    return WalkedListSource::matchRows(keys, false, {}, queryLowercased, searchContext(queryLowercased));
}

} // namespace orvex
