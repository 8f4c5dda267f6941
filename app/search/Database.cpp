#include "search/Database.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/ShortcutRootWatcher.h"

#include <QDir>
#include <QFileInfo>

namespace orvex {

DatabaseManagerConfiguration DatabaseManagerConfiguration::production() {
    DatabaseManagerConfiguration c;
    c.homePath = QDir::homePath();
    const QString home = c.homePath;
    c.databasePath = home + QStringLiteral("/.pdf-indexer/index.db");
    c.appSearchRoots = {QStringLiteral("/Applications"), QStringLiteral("/System/Applications"),
                        QStringLiteral("/System/Cryptexes/App/System/Applications"),
                        home + QStringLiteral("/Applications")};
    c.folderSearchRoots = {home};
    // Only the shortcut roots that exist now; the list is not revisited later.
    for (const char *name : {"Documents", "Desktop", "Downloads", "My Drive"}) {
        const QString path = home + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(path))
            c.shortcutSearchRoots.append(path);
    }
    c.browserBookmarkSources = DatabaseManager::isRunningUnitTestsEnvironment()
                                   ? QList<BrowserBookmarkSource>{}
                                   : DatabaseManager::defaultBrowserBookmarkSources(home);
    return c;
}

DatabaseManager::DatabaseManager(DatabaseManagerConfiguration configuration)
    : config_(std::move(configuration)),
      defaults_(config_.defaults ? config_.defaults : &UserDefaults::standard()),
      clock_(config_.clock ? config_.clock : Clock::system()) {
    userInitiatedPool_.setMaxThreadCount(4);
    backgroundPool_.setMaxThreadCount(4);

    appSearchRoots_ = config_.appSearchRoots;
    folderSearchRoots_ = config_.folderSearchRoots;
    shortcutSearchRoots_ = config_.shortcutSearchRoots;
    browserBookmarkSources_ = config_.browserBookmarkSources;
    searchRankingSettingsStore_ = config_.searchRankingSettingsStore;
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
    recentActivationsEnabled_ = !underTests;
    persistentQueryResultCacheEnabled_ = !underTests;
    // Taken even when disabled, so the panel and the manager agree on one store per key.
    persistentQueryResultCacheStore_ = PersistentQueryResultCacheStoreRegistry::store(
        config_.persistentQueryResultCacheStoreKey.value_or(usageStoreKey_ + QStringLiteral(".queryResults")),
        *defaults_);
    if (persistentQueryResultCacheEnabled_)
        persistentQueryResultCacheInvalidatedAt_ = persistentQueryResultCacheStore_->actorInvalidatedAt();

    cachedSystemSettingsShortcuts_ = systemSettingsSeedShortcuts();
    openIndexDatabase();
}

DatabaseManager::~DatabaseManager() {
    shutdown();
    closeIndexDatabase();
}

DatabaseManager &DatabaseManager::shared() {
    // Built once and never released, like the process it serves.
    static DatabaseManager *manager = new DatabaseManager(DatabaseManagerConfiguration::production());
    return *manager;
}

bool DatabaseManager::isRunningUnitTestsEnvironment() {
    return qEnvironmentVariableIsSet("XCTestConfigurationFilePath");
}

bool DatabaseManager::isRunningUnitTests() const {
    return config_.runningUnitTests.value_or(isRunningUnitTestsEnvironment());
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
    std::unique_ptr<ShortcutRootWatcher> watcher;
    {
        auto guard = lock();
        watcher = std::move(shortcutRootWatcher_);
    }
    // Stopped outside the lock: the watcher's callback takes the manager's lock.
    watcher.reset();
    userInitiatedPool_.waitForDone();
    backgroundPool_.waitForDone();
}

void DatabaseManager::postSearchDataRefreshed() {
    MainQueue::post(
        [] { NotificationCenter::defaultCenter().post(QStringLiteral("LauncherSearchDataRefreshed")); });
}

SearchResults DatabaseManager::search(const QString &, bool) {
    return {};
}
std::optional<SearchResults> DatabaseManager::cachedQueryResults(const QString &, bool) {
    return std::nullopt;
}
void DatabaseManager::storeQueryResultsInCache(const SearchResults &, const QString &) {}
SearchResults DatabaseManager::searchActionResults(const QString &) {
    return {};
}
SearchResults DatabaseManager::searchLauncherActionResults(const QString &) {
    return {};
}
SearchResults DatabaseManager::searchDirectPathResults(const QString &) {
    return {};
}
std::optional<QString> DatabaseManager::resolveDirectPath(const QString &) const {
    return std::nullopt;
}
SearchResults DatabaseManager::pinnedFolderResults() {
    return {};
}
SearchResults DatabaseManager::mergedUniqueByPath(const SearchResults &results) {
    return results;
}
SearchResults DatabaseManager::filterAndSortPathResults(const SearchResults &, const QString &,
                                                        const SearchRankingPreferences &) {
    return {};
}

} // namespace orvex
