// Apart from the isolation itself, which the fuzz targets use too without GoogleTest.
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

} // namespace orvex::test
