#include "fixtures/ManagerFixture.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(DatabaseManager, BuildsAndShutsDownWithoutAnIndex) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    EXPECT_FALSE(manager->isRunningUnitTests());
    manager->shutdown();
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
