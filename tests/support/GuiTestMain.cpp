// Entry point of widget tests: the isolated environment of every test process (Qt's offscreen platform at
// scale 1 included), a QApplication with DejaVu Sans so that pixels are comparable.
#include "TestIsolation.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvex-test-XXXXXX"));
    if (!orvex::test::isolateTestEnvironment(root))
        return 3;
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    ::testing::InitGoogleMock(&argc, argv);
    orvex::test::deliverQueuedEventsAfterEachTest();
    orvex::test::startEveryTestWithoutEarlierFiles();
    return RUN_ALL_TESTS();
}
