#include "fixtures/BrowserFixtures.h"
#include "fixtures/ManagerFixture.h"
#include "fixtures/UsageFixture.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace orvex {
namespace {

TEST(DatabaseManager, BuildsAndShutsDownWithoutAnIndex) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    EXPECT_FALSE(manager->isRunningUnitTests());
    manager->shutdown();
}

// The variable the platform's test host sets, which once switched the harness's defaults on.
struct TestHostVariable {
    explicit TestHostVariable(bool set) {
        if (set)
            qputenv(name, "/tmp/harness.xctestconfiguration");
    }
    ~TestHostVariable() { qunsetenv(name); }
    static constexpr const char *name = "XCTestConfigurationFilePath";
};

// Whether the manager runs as under the test harness is the configuration's word alone: recent
// activations, the persistent query cache, the browsers' tabs and their bookmark folders follow it, and
// nothing in the environment does.
TEST(DatabaseManager, TheTestSwitchIsTheConfigurationsAlone) {
    const QString browserData = test::homePath() + QStringLiteral("/switch-browser");
    test::writeBookmarksFile(
        browserData + QStringLiteral("/Default/Bookmarks"),
        {{QStringLiteral("bookmark_bar"),
          test::folderNode(QString(), {test::bookmarkNode(QStringLiteral("Zephyrine notes"),
                                                          QStringLiteral("https://zephyrine.example"))})}});
    struct Case {
        const char *name;
        bool variableSet;
        bool underTests;
    };
    const Case cases[] = {
        {"live by default", false, false},
        {"the test host's variable changes nothing", true, false},
        {"the switch gives the harness's defaults", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TestHostVariable variable(c.variableSet);
        test::ManagerFixture fixture;
        DatabaseManagerConfiguration configuration = fixture.configuration();
        // Off unless the case turns it on: as a configuration built without a word on it has it.
        configuration.runningUnitTests =
            c.underTests ? true : DatabaseManagerConfiguration().runningUnitTests;
        configuration.browserBookmarkSources = {{QStringLiteral("Edge"), browserData}};
        std::atomic<int> browserChecks{0};
        configuration.isBrowserRunning = [&](const QString &) {
            ++browserChecks;
            return false;
        };
        auto manager = fixture.makeManager(configuration);
        manager->refreshSourceCachesNow();
        manager->recordActivation(
            test::bookmarkRow(QStringLiteral("Example"), QStringLiteral("https://example.com/")));
        manager->invalidateQueryResultCache();

        const bool live = !c.underTests;
        EXPECT_EQ(manager->isRunningUnitTests(), c.underTests);
        EXPECT_EQ(manager->searchRecentActivationResults(QString(), SearchRankingPreferences()).size(),
                  live ? 1 : 0);
        EXPECT_EQ(fixture.defaults->dateValue(QStringLiteral(
                      "launcherPathOpenCounts.queryResults.actorInvalidatedAt")) != std::nullopt,
                  live);
        EXPECT_EQ(browserChecks.load() > 0, live);
        const SearchResults rows = manager->search(QStringLiteral("zephyrine"));
        EXPECT_EQ(std::any_of(rows.begin(), rows.end(),
                              [](const SearchResult &row) {
                                  return row.actionURLString() == QLatin1String("https://zephyrine.example");
                              }),
                  live);
        manager->shutdown();
    }
}

// The launcher's quit shuts the process-wide manager down: from then on no crawl starts, so nothing is left
// for the exit to wait for. Before the manager is built there is nothing to shut down.
TEST(DatabaseManager, ShuttingTheSharedManagerDownStopsItsCrawls) {
    test::makeDirectory(test::homePath() + QStringLiteral("/Projects"));
    DatabaseManager::shutdownShared();
    DatabaseManager &manager = DatabaseManager::shared();
    DatabaseManager::shutdownShared();
    manager.refreshSourceCachesNow();
    manager.search(QStringLiteral("projects"));
    EXPECT_FALSE(manager.isBackgroundCacheRefreshRunning());
    const DatabaseManager::SourceCacheDates dates = manager.sourceCacheLastRefreshDates();
    for (const auto &[source, date] : dates)
        EXPECT_FALSE(date) << source.toStdString();
    EXPECT_EQ(manager.warmupFileSystemPermissions(), std::make_pair(qint64(0), qint64(0)));
}

} // namespace
} // namespace orvex
