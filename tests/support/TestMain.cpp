// Test entry point: every test process runs in a fresh temporary home with its own XDG folders, locale and
// Qt settings, so that no test touches the real home, the real defaults or the real autostart folder, and
// what the machine has installed changes no verdict.
#include "TestIsolation.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvex-test-XXXXXX"));
    if (!orvex::test::isolateTestEnvironment(root))
        return 3;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    orvex::test::deliverQueuedEventsAfterEachTest();
    orvex::test::startEveryTestWithoutEarlierFiles();
    return RUN_ALL_TESTS();
}
