#include "fixtures/ManagerFixture.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

const QString kStoreKey = QStringLiteral("launcherPathOpenCounts.queryResults");

SearchResults rowsNamed(const QString &name) {
    return {SearchResult({.id = -1, .filename = name, .directory = QStringLiteral("/d")})};
}

TEST(PersistentQueryResultCacheManager, StampHidesOlderEntriesFromTheManagerOnly) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    // The panel takes the same store from the registry.
    auto panelStore = PersistentQueryResultCacheStoreRegistry::store(kStoreKey, *fixture.defaults);

    const Date start = fixture.clock->now();
    panelStore->storeResults(rowsNamed(QStringLiteral("before")), QStringLiteral("before|K"),
                             start.addingSeconds(-1));
    ASSERT_TRUE(manager->persistentCachedQueryResults(QStringLiteral("before|K")));

    manager->invalidateQueryResultCache();
    EXPECT_EQ(fixture.defaults->dateValue(kStoreKey + QStringLiteral(".actorInvalidatedAt")), start);
    // Dated exactly at the stamp: used.
    panelStore->storeResults(rowsNamed(QStringLiteral("at")), QStringLiteral("at|K"), start);

    const auto check = [&](DatabaseManager &m) {
        EXPECT_FALSE(m.persistentCachedQueryResults(QStringLiteral("before|K")));
        const auto at = m.persistentCachedQueryResults(QStringLiteral("at|K"));
        ASSERT_TRUE(at);
        EXPECT_EQ(at->cachedAt, start);
        EXPECT_EQ(at->results.first().filename(), QStringLiteral("at"));
        // The hidden entry stays stored and the panel still gets it.
        EXPECT_TRUE(panelStore->cachedSearchResults(QStringLiteral("before|K"), fixture.clock->now(), false));
    };
    check(*manager);

    // A restart reads the stamp back.
    manager.reset();
    panelStore.reset();
    manager = fixture.makeManager();
    panelStore = PersistentQueryResultCacheStoreRegistry::store(kStoreKey, *fixture.defaults);
    check(*manager);
}

TEST(PersistentQueryResultCacheManager, AnEntryStoredBeforeTheInvalidationStaysHiddenWhateverTheClockSays) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    auto panelStore = PersistentQueryResultCacheStoreRegistry::store(kStoreKey, *fixture.defaults);

    // Same instant: stored, then invalidated.
    panelStore->storeResults(rowsNamed(QStringLiteral("same")), QStringLiteral("same|K"),
                             fixture.clock->now());
    manager->invalidateQueryResultCache();
    EXPECT_FALSE(manager->persistentCachedQueryResults(QStringLiteral("same|K")));
    // Stored at the same instant after the invalidation: fresh.
    panelStore->storeResults(rowsNamed(QStringLiteral("after")), QStringLiteral("after|K"),
                             fixture.clock->now());
    EXPECT_TRUE(manager->persistentCachedQueryResults(QStringLiteral("after|K")));

    // The clock is set back a minute between a store and an invalidation.
    panelStore->storeResults(rowsNamed(QStringLiteral("back")), QStringLiteral("back|K"),
                             fixture.clock->now());
    fixture.clock->advance(-60);
    manager->invalidateQueryResultCache();
    EXPECT_FALSE(manager->persistentCachedQueryResults(QStringLiteral("back|K")));
    EXPECT_TRUE(panelStore->cachedSearchResults(QStringLiteral("back|K"), fixture.clock->now(), false));
}

TEST(PersistentQueryResultCacheManager, LooksUpTheExactKeyWithinTheWeek) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    auto panelStore = PersistentQueryResultCacheStoreRegistry::store(kStoreKey, *fixture.defaults);
    panelStore->storeResults(rowsNamed(QStringLiteral("x")), QStringLiteral("abc|K2"), fixture.clock->now());

    EXPECT_FALSE(manager->persistentCachedQueryResults(QStringLiteral("abc|K1"))); // no fallback here
    EXPECT_TRUE(manager->persistentCachedQueryResults(QStringLiteral("abc|K2")));
    fixture.clock->advance(604801);
    EXPECT_FALSE(manager->persistentCachedQueryResults(QStringLiteral("abc|K2")));
}

// The search writes its answer's payload in the background: the panel sees the answer at once, and the
// defaults have it once the manager has shut down (earlier in practice).
TEST(PersistentQueryResultCacheManager, ASearchsAnswerIsSharedAtOnceAndStoredByShutdown) {
    test::ManagerFixture fixture;
    // No index at all (an answer whose index part failed is not cached), whatever earlier tests left.
    auto configuration = fixture.configuration();
    configuration.databasePath = test::homePath() + QStringLiteral("/no-index/index.db");
    auto manager = fixture.makeManager(configuration);
    auto panelStore = PersistentQueryResultCacheStoreRegistry::store(kStoreKey, *fixture.defaults);
    ASSERT_FALSE(manager->search(QStringLiteral("2+2")).isEmpty());
    const QString key =
        QStringLiteral("2+2|") + SearchRankingSettingsStore(*fixture.defaults).load().cacheKey();
    EXPECT_TRUE(panelStore->cachedSearchResults(key, fixture.clock->now(), false));

    manager.reset();
    const auto payload = fixture.defaults->dataValue(kStoreKey);
    ASSERT_TRUE(payload);
    EXPECT_TRUE(PersistentQueryResultCachePayload::fromJson(*payload)->entries.contains(
        PersistentQueryResultCacheStore::storedKey(key)));
}

TEST(PersistentQueryResultCacheManager, UnderUnitTestsTheStoreIsNeverTouched) {
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.runningUnitTests = true;
    auto manager = fixture.makeManager(configuration);
    auto panelStore = PersistentQueryResultCacheStoreRegistry::store(kStoreKey, *fixture.defaults);
    panelStore->storeResults(rowsNamed(QStringLiteral("x")), QStringLiteral("abc|K"), fixture.clock->now());

    EXPECT_FALSE(manager->persistentCachedQueryResults(QStringLiteral("abc|K")));
    manager->invalidateQueryResultCache();
    EXPECT_FALSE(panelStore->actorInvalidatedAt());
}

TEST(PersistentQueryResultCacheManager, UsesTheConfiguredStoreKey) {
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.usageStoreKey = QStringLiteral("otherCounts");
    auto manager = fixture.makeManager(configuration);
    manager->invalidateQueryResultCache();
    EXPECT_TRUE(fixture.defaults->dateValue(QStringLiteral("otherCounts.queryResults.actorInvalidatedAt")));
}

} // namespace
} // namespace orvex
