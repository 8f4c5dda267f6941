#include "search/Database.h"

#include "search/ShortcutRootWatcher.h"
#include "search/WalkedRowSearchKeys.h"

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
    auto guard = lock();
    if (!backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    startShortcutRootWatcherIfNeeded();
    if (backgroundCacheRefreshRunning_)
        return;

    const bool apps = isStale(appCacheLastRefresh_, appCacheTTL_, clock_->now());
    const bool folders = isStale(folderCacheLastRefresh_, folderCacheTTL_, clock_->now());
    const bool shortcuts = isStale(shortcutCacheLastRefresh_, shortcutCacheTTL_, clock_->now());
    std::vector<size_t> staleSources;
    for (size_t i = 0; i < sources_.size(); ++i) {
        if (sources_[i].source->isCrawled() &&
            isStale(sources_[i].lastRefresh, sources_[i].source->timeToLive(), clock_->now()))
            staleSources.push_back(i);
    }
    if (!apps && !folders && !shortcuts && staleSources.empty())
        return;

    BackgroundRefreshPlan plan = makeBackgroundRefreshPlan(apps, folders, shortcuts, std::move(staleSources));
    backgroundCacheRefreshRunning_ = true;
    // The pool belongs to the manager and shutdown() waits for it, so the task may use `this`.
    startBackgroundTask([this, plan = std::move(plan)] { runBackgroundCacheRefresh(plan); });
}

void DatabaseManager::startShortcutRootWatcherIfNeeded() {
    auto guard = lock();
    if (shortcutRootWatcher_ || !backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    // The callback only hands the change to the manager's background pool, so the watcher's thread
    // never waits for the manager's lock. shutdown() (the destructor's first step) sets shuttingDown_
    // and destroys the watcher, joining its thread, before anything the callback reaches is torn down;
    // a change handed over just before that finds shuttingDown_ set and does nothing.
    shortcutRootWatcher_ =
        ShortcutRootWatcher::create(shortcutSearchRoots_, shortcutRootWatcherCoalescingDelay,
                                    [this] { startBackgroundTask([this] { shortcutRootsDidChange(); }); });
}

DatabaseManager::BackgroundRefreshPlan
DatabaseManager::makeBackgroundRefreshPlan(bool apps, bool folders, bool shortcuts,
                                           std::vector<size_t> sources) {
    auto guard = lock();
    BackgroundRefreshPlan plan;
    plan.apps = apps;
    plan.folders = folders;
    plan.shortcuts = shortcuts;
    plan.sources = std::move(sources);
    plan.appSearchRoots = appSearchRoots_;
    plan.desktopEntries = config_.desktopEntries;
    plan.folderSearchRoots = folderSearchRoots_;
    plan.shortcutSearchRoots = shortcutSearchRoots_;
    plan.excludedFolderNames = excludedFolderNames_;
    if (shortcuts)
        plan.shortcutFileExtensions = shortcutFileExtensions();
    plan.folderSearchMaxDepth = folderSearchMaxDepth_;
    plan.shortcutSearchMaxDepth = shortcutSearchMaxDepth_;
    return plan;
}

void DatabaseManager::runBackgroundCacheRefresh(const BackgroundRefreshPlan &plan) {
    // One crawl at a time, in the fixed order, none once shutdown began (a walk under way stops early;
    // its partial list is never installed).
    const auto mayCrawl = [this](const QString &sourceID) {
        if (shuttingDown_.load())
            return false;
        if (config_.backgroundRefreshWillCrawl)
            config_.backgroundRefreshWillCrawl(sourceID);
        return !shuttingDown_.load();
    };

    std::optional<SearchResults> apps;
    std::optional<SearchResults> folders;
    std::optional<SearchResults> shortcuts;
    CrawledSnapshots snapshots;

    if (plan.apps && mayCrawl(QStringLiteral("apps")))
        apps = discoverApplications(plan.appSearchRoots, plan.desktopEntries, &shuttingDown_);
    if (plan.folders && mayCrawl(QStringLiteral("folders")))
        folders = discoverFolders(plan.folderSearchRoots, plan.folderSearchMaxDepth, plan.excludedFolderNames,
                                  &shuttingDown_);
    if (plan.shortcuts && mayCrawl(QStringLiteral("shortcuts")))
        shortcuts = discoverShortcuts(plan.shortcutSearchRoots, plan.shortcutSearchMaxDepth,
                                      plan.excludedFolderNames, plan.shortcutFileExtensions, &shuttingDown_);
    // The walked lists' search keys are made here, off the manager, rather than on the next keystroke.
    for (const std::optional<SearchResults> *walked : {&apps, &folders, &shortcuts}) {
        if (*walked && !shuttingDown_.load())
            prepareWalkedRowKeys(**walked);
    }
    // The registered sources: their list never changes, so `sources_` is read without the lock.
    for (const size_t index : plan.sources) {
        const Source &source = *sources_[index].source;
        if (!mayCrawl(source.id()))
            continue;
        auto snapshot = source.crawl(shuttingDown_);
        if (!shuttingDown_.load())
            snapshots.emplace_back(index, std::move(snapshot));
    }

    const bool walked = apps || folders || shortcuts;
    finishBackgroundCacheRefresh(std::move(apps), std::move(folders), std::move(shortcuts),
                                 std::move(snapshots));
    if (walked)
        returnFreedMemoryToTheSystem();
}

void DatabaseManager::finishBackgroundCacheRefresh(std::optional<SearchResults> apps,
                                                   std::optional<SearchResults> folders,
                                                   std::optional<SearchResults> shortcuts,
                                                   CrawledSnapshots snapshots) {
    auto guard = lock();
    if (shuttingDown_.load()) {
        // Nothing is installed, announced or started again once shutdown began.
        backgroundCacheRefreshRunning_ = false;
        shouldScheduleBackgroundRefreshAfterCurrentTask_ = false;
        return;
    }
    applyBackgroundCacheRefresh(std::move(apps), std::move(folders), std::move(shortcuts),
                                std::move(snapshots));
    backgroundCacheRefreshRunning_ = false;
    if (shouldScheduleBackgroundRefreshAfterCurrentTask_) {
        shouldScheduleBackgroundRefreshAfterCurrentTask_ = false;
        // The roots changed while this run crawled: the shortcut list just installed may predate the
        // change, so it stays stale and the follow-up crawls it again.
        shortcutCacheLastRefresh_.reset();
        scheduleBackgroundCacheRefreshIfNeeded();
    }
}

void DatabaseManager::applyBackgroundCacheRefresh(std::optional<SearchResults> apps,
                                                  std::optional<SearchResults> folders,
                                                  std::optional<SearchResults> shortcuts,
                                                  CrawledSnapshots snapshots) {
    auto guard = lock();
    const Date now = clock_->now();
    bool changed = false;
    // Every list that came back replaces its cache and is stamped with the same date.
    const auto install = [&](auto &incoming, auto &cache, std::optional<Date> &lastRefresh) {
        if (!incoming)
            return;
        cache = std::move(*incoming);
        lastRefresh = now;
        changed = true;
    };
    install(apps, cachedApps_, appCacheLastRefresh_);
    install(folders, cachedFolders_, folderCacheLastRefresh_);
    install(shortcuts, cachedShortcuts_, shortcutCacheLastRefresh_);
    // The keys of a replaced list hold its rows: let both go now rather than at the next search.
    for (const auto &[list, rows] : {std::pair{WalkedList::apps, &cachedApps_},
                                     {WalkedList::folders, &cachedFolders_},
                                     {WalkedList::shortcuts, &cachedShortcuts_}}) {
        std::shared_ptr<WalkedRowSearchKeys> &keys = walkedRowKeys_[static_cast<int>(list)];
        if (keys && !keys->isKeysOf(*rows))
            keys.reset();
    }
    for (auto &[index, snapshot] : snapshots) {
        Q_ASSERT(index < sources_.size() && snapshot);
        sources_[index].snapshot = std::move(snapshot);
        sources_[index].lastRefresh = now;
        changed = true;
    }
    if (!changed)
        return;
    invalidateQueryResultCache();
    postSearchDataRefreshed();
}

void DatabaseManager::installSourceSnapshot(const QString &sourceID,
                                            std::shared_ptr<const SourceSnapshot> snapshot) {
    auto guard = lock();
    for (RegisteredSource &registered : sources_) {
        if (registered.source->id() != sourceID)
            continue;
        registered.snapshot = std::move(snapshot);
        registered.lastRefresh = clock_->now();
        invalidateQueryResultCache();
        return;
    }
}

void DatabaseManager::shortcutRootsDidChange() {
    auto guard = lock();
    if (!backgroundRefreshEnabled_ || shuttingDown_.load())
        return;
    // Stale now; its rows stay until the crawl replaces them.
    shortcutCacheLastRefresh_.reset();
    shortcutUsageKeyCache_.clear();
    invalidateQueryResultCache();
    if (backgroundCacheRefreshRunning_)
        shouldScheduleBackgroundRefreshAfterCurrentTask_ = true;
    else
        scheduleBackgroundCacheRefreshIfNeeded();
}

DatabaseManager::SourceCacheDates DatabaseManager::sourceCacheLastRefreshDates() const {
    auto guard = lock();
    SourceCacheDates dates = {{QStringLiteral("apps"), appCacheLastRefresh_},
                              {QStringLiteral("folders"), folderCacheLastRefresh_},
                              {QStringLiteral("shortcuts"), shortcutCacheLastRefresh_}};
    for (const RegisteredSource &registered : sources_)
        if (registered.source->isCrawled())
            dates.emplace(registered.source->id(), registered.lastRefresh);
    return dates;
}

bool DatabaseManager::isBackgroundCacheRefreshRunning() const {
    auto guard = lock();
    return backgroundCacheRefreshRunning_;
}

bool DatabaseManager::hasShortcutRootWatcher() const {
    auto guard = lock();
    return shortcutRootWatcher_ != nullptr;
}

} // namespace orvex
