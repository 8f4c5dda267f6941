// What the test support does around every test; apart from the isolation itself, which the fuzz targets
// use too without GoogleTest.
#include "TestIsolation.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace orvex::test {

void deliverQueuedEventsAfterEachTest() {
    class Deliverer : public ::testing::EmptyTestEventListener {
        void OnTestEnd(const ::testing::TestInfo &) override { QCoreApplication::sendPostedEvents(); }
    };
    ::testing::UnitTest::GetInstance()->listeners().Append(new Deliverer);
}

void startEveryTestWithoutEarlierFiles() {
    class Remover : public ::testing::EmptyTestEventListener {
        void OnTestStart(const ::testing::TestInfo &) override {
            if (earlierTestRan_)
                removeFilesOfEarlierTests();
        }
        void OnTestEnd(const ::testing::TestInfo &) override { earlierTestRan_ = true; }
        bool earlierTestRan_ = false;
    };
    ::testing::UnitTest::GetInstance()->listeners().Append(new Remover);
}

} // namespace orvex::test
