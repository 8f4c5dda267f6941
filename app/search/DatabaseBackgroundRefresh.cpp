#include "search/Database.h"

#include "search/AppsSource.h"
#include "search/FoldersSource.h"
#include "search/ShortcutFilesSource.h"
#include "search/ShortcutRootWatcher.h"

#include "platform/FileEventStream.h"

#include <algorithm>
#include <future>
#include <memory>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace orvex {

namespace {

// A large home's walked lists take tens of megabytes, and a refresh frees the old ones once the new are
// installed. The allocator keeps freed pages that lie between live ones, so without this the resident
// set would grow by the lists' size at the first refresh and stay there (on the large synthetic home:
// 92 MB before a refresh, 127 MB after, 102 MB after this).
void returnFreedMemoryToTheSystem() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// Both the watcher's event latency and its trailing debounce, in seconds.
constexpr double shortcutRootWatcherCoalescingDelay = 0.5;
// A package install writes its entries within moments: they are crawled together, half a second after
// the first.
constexpr std::chrono::milliseconds applicationFolderLatency{500};
// Applications folders hold a few subfolders at most; a tree past this is left to the time to live.
constexpr int maxWatchedApplicationFolders = 256;

// Stale when never refreshed or older than its time to live. A date in the future means the wall clock
// was set back; waiting for it to catch up could leave the cache unrefreshed for as long, so such a
// cache counts as stale too.
bool isStale(const std::optional<Date> &lastRefresh, double timeToLive, Date now) {
    if (!lastRefresh)
        return true;
    const double elapsed = now.secondsSince(*lastRefresh);
    return elapsed > timeToLive || elapsed < 0;
}

} // namespace

void DatabaseManager::scheduleBackgroundCacheRefreshIfNeeded() {
    auto held = lock();
    scheduleBackgroundCacheRefreshIfNeeded(held);
}

void DatabaseManager::scheduleBackgroundCacheRefreshIfNeeded(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    if (!backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    startShortcutRootWatcherIfNeeded(held);
    startApplicationFolderWatcherIfNeeded(held);
    if (backgroundCacheRefreshRunning_)
        return;

    BackgroundRefreshPlan plan;
    const Date now = clock_->now();
    for (size_t i = 0; i < sources_.size(); ++i) {
        if (sources_[i].source->isCrawled() &&
            isStale(sources_[i].lastRefresh, sources_[i].source->timeToLive(), now))
            plan.sources.push_back(i);
    }
    if (plan.sources.empty())
        return;
    backgroundCacheRefreshRunning_ = true;
    // The pool belongs to the manager and shutdown() waits for it, so the task may use `this`.
    startBackgroundTask([this, plan = std::move(plan)] { runBackgroundCacheRefresh(plan); });
}

void DatabaseManager::startShortcutRootWatcherIfNeeded() {
    auto held = lock();
    startShortcutRootWatcherIfNeeded(held);
}

void DatabaseManager::startShortcutRootWatcherIfNeeded(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    if (shortcutRootWatcher_ || !backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    // The callback only hands the change to the manager's background pool, so the watcher's thread
    // never waits for the manager's lock. shutdown() (the destructor's first step) sets shuttingDown_
    // and destroys the watcher, joining its thread, before anything the callback reaches is torn down;
    // a change handed over just before that finds shuttingDown_ set and does nothing.
    shortcutRootWatcher_ =
        ShortcutRootWatcher::create(shortcutFilesSource_->searchRoots(), shortcutRootWatcherCoalescingDelay,
                                    [this] { startBackgroundTask([this] { shortcutRootsDidChange(); }); });
}

void DatabaseManager::startApplicationFolderWatcherIfNeeded(const Lock &held) {
    Q_ASSERT(held.owns_lock());
    if (applicationFolderWatcher_ || !backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    const QStringList folders = appsSource_->watchedFolders();
    if (folders.isEmpty())
        return;
    FileEventStream::Options options;
    options.latency = applicationFolderLatency;
    options.maxWatches = maxWatchedApplicationFolders;
    // As with the shortcut roots: the stream's thread only hands the change to the background pool, and
    // shutdown() stops the stream, joining its thread, before anything the callback reaches goes.
    auto watcher = std::make_unique<FileEventStream>(
        folders, options, [this](const QList<FileEventStream::Event> &events) {
            if (std::any_of(events.begin(), events.end(), &AppsSource::changesApplications))
                startBackgroundTask([this] { applicationFoldersDidChange(); });
        });
    if (watcher->start())
        applicationFolderWatcher_ = std::move(watcher);
}

void DatabaseManager::runBackgroundCacheRefresh(const BackgroundRefreshPlan &plan) {
    // One crawl at a time, in the fixed order, none once shutdown began (a walk under way stops early;
    // its partial list is never installed).
    CrawledSnapshots snapshots;
    bool walked = false;
    // The list of sources never changes, so `sources_` is read without the lock.
    for (const size_t index : plan.sources) {
        const Source &source = *sources_[index].source;
        if (shuttingDown_.load())
            break;
        if (config_.backgroundRefreshWillCrawl)
            config_.backgroundRefreshWillCrawl(source.id());
        if (shuttingDown_.load())
            break;
        auto snapshot = source.crawl(shuttingDown_);
        if (shuttingDown_.load())
            break;
        snapshots.emplace_back(index, std::move(snapshot));
        walked = walked || index < walkedCount;
    }
    finishBackgroundCacheRefresh(std::move(snapshots));
    if (walked)
        returnFreedMemoryToTheSystem();
}

void DatabaseManager::finishBackgroundCacheRefresh(CrawledSnapshots snapshots) {
    auto held = lock();
    if (shuttingDown_.load()) {
        // Nothing is installed, announced or started again once shutdown began.
        backgroundCacheRefreshRunning_ = false;
        sourcesChangedDuringRefresh_.clear();
        return;
    }
    if (installCrawledSnapshots(held, std::move(snapshots)))
        postSearchDataRefreshed();
    backgroundCacheRefreshRunning_ = false;
    if (!sourcesChangedDuringRefresh_.empty()) {
        // Their folders changed while this run crawled: the lists just installed may predate the
        // change, so they stay stale and the follow-up crawls them again.
        for (const size_t index : sourcesChangedDuringRefresh_)
            sources_[index].lastRefresh.reset();
        sourcesChangedDuringRefresh_.clear();
        scheduleBackgroundCacheRefreshIfNeeded(held);
    }
}

DatabaseManager::CrawledSnapshots
DatabaseManager::walkedSnapshots(std::optional<SearchResults> apps, std::optional<SearchResults> folders,
                                 std::optional<SearchResults> shortcuts) const {
    CrawledSnapshots snapshots;
    if (apps)
        snapshots.emplace_back(appsIndex, appsSource_->snapshotOf(std::move(*apps)));
    if (folders)
        snapshots.emplace_back(foldersIndex, foldersSource_->snapshotOf(std::move(*folders)));
    if (shortcuts)
        snapshots.emplace_back(shortcutsIndex, shortcutFilesSource_->snapshotOf(std::move(*shortcuts)));
    return snapshots;
}

void DatabaseManager::applyBackgroundCacheRefresh(std::optional<SearchResults> apps,
                                                  std::optional<SearchResults> folders,
                                                  std::optional<SearchResults> shortcuts,
                                                  CrawledSnapshots snapshots) {
    CrawledSnapshots all = walkedSnapshots(std::move(apps), std::move(folders), std::move(shortcuts));
    for (auto &crawled : snapshots)
        all.push_back(std::move(crawled));
    auto held = lock();
    if (installCrawledSnapshots(held, std::move(all)))
        postSearchDataRefreshed();
}

bool DatabaseManager::installCrawledSnapshots(const Lock &held, CrawledSnapshots snapshots) {
    Q_ASSERT(held.owns_lock());
    if (snapshots.empty())
        return false;
    // Every snapshot that came back replaces its source's and is stamped with the same date.
    const Date now = clock_->now();
    for (auto &[index, snapshot] : snapshots) {
        Q_ASSERT(index < sources_.size() && snapshot);
        sources_[index].snapshot = std::move(snapshot);
        sources_[index].lastRefresh = now;
    }
    invalidateQueryResultCache(held);
    return true;
}

void DatabaseManager::installSourceSnapshot(const QString &sourceID,
                                            std::shared_ptr<const SourceSnapshot> snapshot) {
    auto held = lock();
    for (size_t i = 0; i < sources_.size(); ++i) {
        if (sources_[i].source->id() == sourceID) {
            installCrawledSnapshots(held, {{i, std::move(snapshot)}});
            return;
        }
    }
}

void DatabaseManager::shortcutRootsDidChange() {
    auto held = lock();
    if (!backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    {
        std::lock_guard keys(shortcutUsageKeysMutex_);
        shortcutUsageKeyCache_.clear();
    }
    walkedFoldersDidChange(held, shortcutsIndex);
}

void DatabaseManager::applicationFoldersDidChange() {
    auto held = lock();
    if (!backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    walkedFoldersDidChange(held, appsIndex);
}

void DatabaseManager::walkedFoldersDidChange(const Lock &held, size_t index) {
    Q_ASSERT(held.owns_lock());
    // Stale now; its rows stay until the crawl replaces them.
    sources_[index].lastRefresh.reset();
    invalidateQueryResultCache(held);
    if (backgroundCacheRefreshRunning_)
        sourcesChangedDuringRefresh_.insert(index);
    else
        scheduleBackgroundCacheRefreshIfNeeded(held);
}

DatabaseManager::SourceCacheDates DatabaseManager::sourceCacheLastRefreshDates() const {
    auto held = lock();
    SourceCacheDates dates;
    for (const RegisteredSource &registered : sources_)
        if (registered.source->isCrawled())
            dates.emplace(registered.source->id(), registered.lastRefresh);
    return dates;
}

bool DatabaseManager::isBackgroundCacheRefreshRunning() const {
    auto held = lock();
    return backgroundCacheRefreshRunning_;
}

bool DatabaseManager::hasShortcutRootWatcher() const {
    auto held = lock();
    return shortcutRootWatcher_ != nullptr;
}

std::pair<qint64, qint64> DatabaseManager::warmupFileSystemPermissions() {
    // Both walks at once, off the manager, each keying its rows as it goes. A task dropped at shutdown
    // breaks its promise, so the wait below always ends.
    using Crawl = std::shared_ptr<const SourceSnapshot>;
    auto appsPromise = std::make_shared<std::promise<Crawl>>();
    auto foldersPromise = std::make_shared<std::promise<Crawl>>();
    std::future<Crawl> appsFuture = appsPromise->get_future();
    std::future<Crawl> foldersFuture = foldersPromise->get_future();
    startBackgroundTask([this, appsPromise] { appsPromise->set_value(appsSource_->crawl(shuttingDown_)); });
    startBackgroundTask(
        [this, foldersPromise] { foldersPromise->set_value(foldersSource_->crawl(shuttingDown_)); });
    appsPromise.reset();
    foldersPromise.reset();

    Crawl apps;
    Crawl folders;
    try {
        apps = appsFuture.get();
        folders = foldersFuture.get();
    } catch (const std::future_error &) {
        return {0, 0};
    }
    if (shuttingDown_.load())
        return {0, 0};

    const auto count = [](const Crawl &crawl) {
        return qint64(dynamic_cast<const WalkedListSnapshot &>(*crawl).rows().size());
    };
    auto held = lock();
    installCrawledSnapshots(held, {{appsIndex, apps}, {foldersIndex, folders}});
    postSearchDataRefreshed();
    return {count(apps), count(folders)};
}

} // namespace orvex
