#include "fixtures/ManagerFixture.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(DatabaseManager, BuildsAndShutsDownWithoutAnIndex) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    EXPECT_FALSE(manager->isRunningUnitTests());
    manager->shutdown();
}

} // namespace
} // namespace orvex
