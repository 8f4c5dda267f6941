#include "fixtures/BackgroundRefreshFixture.h"
#include "fixtures/ManagerFixture.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "search/LauncherNotifications.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace orvex {
namespace {

using namespace std::chrono_literals;
using Source = QString;
// The ids of the sources the refresh crawls.
namespace Sources {
const QString apps = QStringLiteral("apps");
const QString folders = QStringLiteral("folders");
const QString shortcuts = QStringLiteral("shortcuts");
const QString systemSettings = QStringLiteral("systemSettings");
const QString browserTabs = QStringLiteral("browserTabs");
const QString browserBookmarks = QStringLiteral("browserBookmarks");
} // namespace Sources

// In the refresh's order: the core's own walks, then the registered sources.
const std::vector<Source> everySource = {Sources::apps,        Sources::folders,
                                         Sources::shortcuts,   Sources::systemSettings,
                                         Sources::browserTabs, Sources::browserBookmarks};

// Counts "LauncherSearchDataRefreshed" and whether every one arrived on the main thread.
class RefreshedObserver {
public:
    RefreshedObserver() {
        token_ = NotificationCenter::defaultCenter().addObserver(
            NotificationName::launcherSearchDataRefreshed, [this](const Notification &) {
                if (!MainQueue::isMainThread())
                    offMainThread_.store(true);
                ++count_;
            });
    }
    ~RefreshedObserver() { NotificationCenter::defaultCenter().removeObserver(token_); }

    int count() const { return count_.load(); }
    bool allOnMainThread() const { return !offMainThread_.load(); }

private:
    NotificationCenter::ObserverToken token_ = 0;
    std::atomic<int> count_{0};
    std::atomic<bool> offMainThread_{false};
};

struct BackgroundRefreshTest : ::testing::Test {
    test::ManagerFixture fixture;
    test::CrawlLog crawls; // outlives the managers below
    QString shortcutRoot = test::homePath() + QStringLiteral("/Documents");
    QString dataFolder = test::homePath() + QStringLiteral("/.local/share");

    void SetUp() override {
        test::makeDirectory(shortcutRoot);
        test::makeDirectory(dataFolder + QStringLiteral("/applications"));
        // Announcements an earlier test in this process left on the main queue are not this test's.
        QCoreApplication::sendPostedEvents();
    }

    DatabaseManagerConfiguration configuration() {
        DatabaseManagerConfiguration c = fixture.configuration();
        c.backgroundRefreshEnabled = true;
        c.shortcutSearchRoots = {shortcutRoot};
        // Its applications folder is watched too.
        c.desktopEntries.dataFolders = {dataFolder};
        crawls.attach(c);
        return c;
    }

    static void searchAndSettle(DatabaseManager &manager, const QString &query = QStringLiteral("x")) {
        manager.search(query);
        manager.waitForBackgroundTasks();
    }

    static bool allDatesAre(const DatabaseManager::SourceCacheDates &d, std::optional<Date> date) {
        return d.size() == everySource.size() &&
               std::all_of(everySource.begin(), everySource.end(),
                           [&](const QString &id) { return d.count(id) == 1 && d.at(id) == date; });
    }
};

TEST_F(BackgroundRefreshTest, FirstSearchCrawlsEverySourceInOrderStampsOneDateAndAnnouncesOnTheMainThread) {
    RefreshedObserver refreshed;
    auto manager = fixture.makeManager(configuration());
    const Date now = fixture.clock->now();

    searchAndSettle(*manager);

    EXPECT_EQ(crawls.crawls(), everySource);
    EXPECT_TRUE(allDatesAre(manager->sourceCacheLastRefreshDates(), now));
    EXPECT_FALSE(manager->isBackgroundCacheRefreshRunning());
    EXPECT_TRUE(manager->hasShortcutRootWatcher());
    ASSERT_TRUE(test::waitUntil([&] { return refreshed.count() == 1; }));
    EXPECT_TRUE(refreshed.allOnMainThread());
}

TEST_F(BackgroundRefreshTest, ALaterSearchRecrawlsOnlyWhatIsStale) {
    struct Case {
        const char *name;
        double secondsLater;
        std::vector<Source> expected;
    };
    const QList<Case> cases = {
        {"at once", 0, {}},
        {"tab list at its 8 s limit", 8, {}},
        {"9 s: only the tabs", 9, {Sources::browserTabs}},
        {"61 s: tabs and bookmarks", 61, {Sources::browserTabs, Sources::browserBookmarks}},
        {"121 s: apps too", 121, {Sources::apps, Sources::browserTabs, Sources::browserBookmarks}},
        {"181 s: all walks",
         181,
         {Sources::apps, Sources::folders, Sources::shortcuts, Sources::browserTabs,
          Sources::browserBookmarks}},
        {"601 s: everything", 601, everySource},
        {"clock set back: everything", -30, everySource},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto manager = fixture.makeManager(configuration());
        searchAndSettle(*manager);
        crawls.clear();

        fixture.clock->advance(c.secondsLater);
        searchAndSettle(*manager, QStringLiteral("y"));
        EXPECT_EQ(crawls.crawls(), c.expected);
        manager.reset();
        crawls.clear();
    }
}

TEST_F(BackgroundRefreshTest, ASearchDuringARefreshStartsNothingAndAsksForNoFollowUp) {
    auto manager = fixture.makeManager(configuration());
    crawls.holdNext(Sources::apps);
    manager->search(QStringLiteral("x"));
    ASSERT_TRUE(crawls.waitUntilHeld());
    EXPECT_TRUE(manager->isBackgroundCacheRefreshRunning());

    fixture.clock->advance(700); // everything would be stale again
    manager->search(QStringLiteral("y"));
    crawls.release();
    manager->waitForBackgroundTasks();

    EXPECT_EQ(crawls.crawls(), everySource);
    EXPECT_FALSE(manager->isBackgroundCacheRefreshRunning());
}

TEST_F(BackgroundRefreshTest, FolderChangesDuringARefreshQueueExactlyOneFollowUpThatRecrawlsTheirList) {
    const struct {
        Source changed;
        void (DatabaseManager::*didChange)();
    } cases[] = {
        {Sources::shortcuts, &DatabaseManager::shortcutRootsDidChange},
        {Sources::apps, &DatabaseManager::applicationFoldersDidChange},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.changed.toStdString());
        auto manager = fixture.makeManager(configuration());
        // Held after the walks of this run, so their lists predate the change.
        crawls.holdNext(Sources::systemSettings);
        manager->search(QStringLiteral("x"));
        ASSERT_TRUE(crawls.waitUntilHeld());

        ((*manager).*c.didChange)();
        ((*manager).*c.didChange)();
        EXPECT_EQ(manager->sourceCacheLastRefreshDates().at(c.changed), std::nullopt);
        crawls.release();
        manager->waitForBackgroundTasks();

        std::vector<Source> expected = everySource;
        expected.push_back(c.changed);
        EXPECT_EQ(crawls.crawls(), expected);
        EXPECT_EQ(manager->sourceCacheLastRefreshDates().at(c.changed), fixture.clock->now());
        EXPECT_FALSE(manager->isBackgroundCacheRefreshRunning());
        manager.reset();
        crawls.clear();
    }
}

TEST_F(BackgroundRefreshTest, AShortcutChangeWhileIdleRecrawlsShortcutsAtOnce) {
    auto manager = fixture.makeManager(configuration());
    searchAndSettle(*manager);
    crawls.clear();

    manager->shortcutRootsDidChange();
    manager->waitForBackgroundTasks();
    EXPECT_EQ(crawls.crawls(), std::vector<Source>{Sources::shortcuts});
}

TEST_F(BackgroundRefreshTest, AppliedListsReplaceTheCachesEvenWhenEmptyAndAlwaysAnnounce) {
    RefreshedObserver refreshed;
    auto manager = fixture.makeManager(); // no background refresh of its own
    const SearchResult alpha({.id = -5,
                              .filename = QStringLiteral("Alpha.app"),
                              .directory = QStringLiteral("/Applications"),
                              .kind = SearchResultKind::app});
    manager->applyBackgroundCacheRefresh(SearchResults{alpha}, std::nullopt, std::nullopt);
    ASSERT_EQ(manager->search(QStringLiteral("alpha")).size(), 1);
    ASSERT_TRUE(test::waitUntil([&] { return refreshed.count() == 1; }));

    // Nothing given: nothing changes and nothing is announced.
    fixture.clock->advance(1);
    manager->applyBackgroundCacheRefresh(std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(manager->sourceCacheLastRefreshDates().at(Sources::apps),
              fixture.clock->now().addingSeconds(-1));
    EXPECT_EQ(manager->sourceCacheLastRefreshDates().at(Sources::folders), std::nullopt);

    // Every list empty: caches emptied, every date set, the cached answer for "alpha" dropped.
    DatabaseManager::CrawledSnapshots initial;
    for (const auto &source : manager->sources())
        initial.emplace_back(initial.size(), source->initialSnapshot());
    manager->applyBackgroundCacheRefresh(SearchResults{}, SearchResults{}, SearchResults{},
                                         std::move(initial));
    EXPECT_TRUE(allDatesAre(manager->sourceCacheLastRefreshDates(), fixture.clock->now()));
    EXPECT_TRUE(manager->search(QStringLiteral("alpha")).isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return refreshed.count() == 2; }));
    test::waitUntil([] { return false; }, 100ms); // a stray second announcement would arrive now
    EXPECT_EQ(refreshed.count(), 2);
    EXPECT_TRUE(refreshed.allOnMainThread());
}

TEST_F(BackgroundRefreshTest, SwitchedOffNothingRunsAndNoWatcherIsMade) {
    DatabaseManagerConfiguration c = configuration();
    c.backgroundRefreshEnabled = false;
    auto manager = fixture.makeManager(c);
    searchAndSettle(*manager);
    manager->shortcutRootsDidChange();
    manager->waitForBackgroundTasks();
    EXPECT_TRUE(crawls.crawls().empty());
    EXPECT_FALSE(manager->hasShortcutRootWatcher());
    EXPECT_TRUE(allDatesAre(manager->sourceCacheLastRefreshDates(), std::nullopt));
}

TEST_F(BackgroundRefreshTest, WithoutAShortcutRootEverySearchTriesToMakeTheWatcher) {
    DatabaseManagerConfiguration c = configuration();
    const QString later = test::homePath() + QStringLiteral("/My Drive");
    c.shortcutSearchRoots = {later};
    auto manager = fixture.makeManager(c);
    searchAndSettle(*manager);
    EXPECT_FALSE(manager->hasShortcutRootWatcher());
    searchAndSettle(*manager);
    EXPECT_FALSE(manager->hasShortcutRootWatcher());

    test::makeDirectory(later);
    searchAndSettle(*manager);
    EXPECT_TRUE(manager->hasShortcutRootWatcher());
}

TEST_F(BackgroundRefreshTest, AFileChangeUnderAShortcutRootRecrawlsShortcuts) {
    auto manager = fixture.makeManager(configuration());
    searchAndSettle(*manager);
    ASSERT_TRUE(manager->hasShortcutRootWatcher());
    crawls.clear();

    test::makeDirectory(shortcutRoot + QStringLiteral("/made-later"));
    test::writeFile(shortcutRoot + QStringLiteral("/made-later/note.url"),
                    "[InternetShortcut]\nURL=https://a.test/\n");
    ASSERT_TRUE(test::waitUntil([&] { return crawls.count(Sources::shortcuts) == 1; }, 10s));
    manager->waitForBackgroundTasks();
    EXPECT_EQ(crawls.crawls(), std::vector<Source>{Sources::shortcuts});
}

TEST_F(BackgroundRefreshTest, AShortcutFileInAFolderMadeAfterTheWatcherStartedIsFoundByTheNextSearch) {
    auto manager = fixture.makeManager(configuration());
    searchAndSettle(*manager);
    ASSERT_TRUE(manager->hasShortcutRootWatcher());

    test::makeDirectory(shortcutRoot + QStringLiteral("/projects/2024"));
    test::writeFile(shortcutRoot + QStringLiteral("/projects/2024/quarterly-plan.url"),
                    "[InternetShortcut]\nURL=https://plan.test/\n");
    // About a second (latency plus debounce) and one crawl; the limit only keeps a broken build from
    // hanging.
    const bool found = test::waitUntil(
        [&] {
            const SearchResults rows = manager->search(QStringLiteral("quarterly-plan"));
            return std::any_of(rows.begin(), rows.end(), [](const SearchResult &r) {
                return r.filename() == QLatin1String("quarterly-plan.url");
            });
        },
        10s);
    EXPECT_TRUE(found);
}

TEST_F(BackgroundRefreshTest, RefreshingNowCrawlsEverySourceAndWaits) {
    struct Case {
        const char *name;
        bool underTests;
        int browserChecks; // how often a browser was looked for: never under the test harness
    };
    const QList<Case> cases = {
        {"live", false, 2},
        {"under the test harness the browsers are not asked for tabs", true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DatabaseManagerConfiguration config = configuration();
        config.backgroundRefreshEnabled = false; // as explicit as the command-line tool's request
        config.runningUnitTests = c.underTests;
        std::atomic<int> browserChecks{0};
        StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
        sources.isBrowserRunning = [&](const QString &) {
            ++browserChecks;
            return false;
        };
        config.makeSources = standardSources(sources);
        auto manager = fixture.makeManager(config);
        manager->refreshSourceCachesNow();
        EXPECT_EQ(crawls.crawls(), everySource);
        EXPECT_EQ(browserChecks.load(), c.browserChecks);
        EXPECT_TRUE(allDatesAre(manager->sourceCacheLastRefreshDates(), fixture.clock->now()));
        EXPECT_FALSE(manager->isBackgroundCacheRefreshRunning());
        manager.reset();
        crawls.clear();
    }
}

TEST_F(BackgroundRefreshTest, ShutdownDuringARefreshInstallsNothingAndStartsNoFollowUp) {
    RefreshedObserver refreshed;
    auto manager = fixture.makeManager(configuration());
    crawls.holdNext(Sources::apps);
    manager->search(QStringLiteral("x"));
    ASSERT_TRUE(crawls.waitUntilHeld());
    manager->shortcutRootsDidChange(); // asks for a follow-up

    std::thread stopper([&] { manager->shutdown(); });
    // shutdown() marks itself before it lets the watcher go.
    ASSERT_TRUE(test::waitUntil([&] { return !manager->hasShortcutRootWatcher(); }));
    crawls.release();
    stopper.join();

    EXPECT_EQ(crawls.crawls(), std::vector<Source>{Sources::apps});
    EXPECT_TRUE(allDatesAre(manager->sourceCacheLastRefreshDates(), std::nullopt));
    EXPECT_FALSE(manager->isBackgroundCacheRefreshRunning());

    manager->search(QStringLiteral("y"));
    manager->shortcutRootsDidChange();
    manager->waitForBackgroundTasks();
    EXPECT_EQ(crawls.crawls(), std::vector<Source>{Sources::apps});
    EXPECT_FALSE(manager->hasShortcutRootWatcher());
    test::waitUntil([] { return false; }, 200ms);
    EXPECT_EQ(refreshed.count(), 0);
}

TEST_F(BackgroundRefreshTest, DestroyingTheManagerLeavesNoThreadBehind) {
    // A sanitizer's runtime starts a helper thread with the first thread of the process: let it start now.
    std::thread([] {}).join();
    const int before = test::processThreadCount();
    {
        auto manager = fixture.makeManager(configuration());
        searchAndSettle(*manager);
        ASSERT_TRUE(manager->hasShortcutRootWatcher());
        // Changes in flight through the watchers' threads while the manager goes.
        test::writeFile(shortcutRoot + QStringLiteral("/late.url"), "x");
        test::writeFile(dataFolder + QStringLiteral("/applications/late.desktop"), "x");
        QThread::msleep(700);
        EXPECT_GT(test::processThreadCount(), before);
    }
    EXPECT_TRUE(test::waitUntil([&] { return test::processThreadCount() == before; }, 5s))
        << test::processThreadCount() << " threads, " << before << " before";
}

} // namespace
} // namespace orvex
