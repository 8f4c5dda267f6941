#include "fixtures/ManagerFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

namespace orvex {
namespace {

class PipelineFaultsTest : public ::testing::Test {
protected:
    PipelineFaultsTest() {
        home = test::homePath();
        config = fixture.configuration();
        config.persistentQueryResultCacheEnabled = false;
        config.recentActivationsEnabled = false;
    }

    DatabaseManager &manager() {
        if (!manager_)
            manager_ = fixture.makeManager(config);
        return *manager_;
    }

    QString home;
    test::ManagerFixture fixture;
    DatabaseManagerConfiguration config;
    std::unique_ptr<DatabaseManager> manager_;
};

// An answer cached "in the future" (the wall clock was set back since) is not fresh: it would
// otherwise be served until the clock caught up again, hours of stale rows.
TEST_F(PipelineFaultsTest, ClockSetBackDoesNotKeepAnAnswerFresh) {
    const QString folder = home + QStringLiteral("/Projects");
    test::makeDirectory(folder);
    ASSERT_EQ(manager().search(QStringLiteral("~/Projects")).size(), 1);
    ASSERT_TRUE(QDir(folder).removeRecursively());

    fixture.clock->advance(-3600);
    EXPECT_TRUE(manager().search(QStringLiteral("~/Projects")).isEmpty())
        << "an entry dated an hour ahead of now was served";
}

} // namespace
} // namespace orvex
