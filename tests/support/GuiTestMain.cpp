// Entry point of widget tests: the isolated home of every test process, a QApplication on the offscreen
// platform (unless the test names another) at scale 1, with DejaVu Sans so that pixels are comparable.
#include "TestIsolation.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv) {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvex-test-XXXXXX"));
    if (!orvex::test::isolateTestEnvironment(root))
        return 3;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QT_SCALE_FACTOR", "1", 1);
    ::unsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
