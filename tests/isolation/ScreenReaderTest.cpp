// The screen reader that end-to-end tests listen to: Orca starts on the test's own desktop and bus, its
// speech is read, and nothing it started (the speech service included) outlives it.
#include "support/ScreenReader.h"
#include "support/AccessibilityBus.h"
#include "support/DesktopSession.h"

#include <QFile>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(ScreenReader, SaysItIsOnAndLeavesNoProcessBehind) {
    test::DesktopSession desktop;
    ASSERT_TRUE(desktop.isReady()) << desktop.describe().toStdString();
    test::AccessibilityBus bus;
    ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();

    QList<qint64> started;
    {
        test::ScreenReader reader(desktop, bus);
        ASSERT_TRUE(reader.isReady()) << reader.failure().toStdString();
        EXPECT_EQ(reader.count(QStringLiteral("Screen reader on.")), 1) << reader.transcript().toStdString();
        // Orca starts the speech service when it first speaks.
        EXPECT_TRUE(desktop.waitUntil([&] {
            for (const qint64 pid : reader.processes()) {
                QFile command(QStringLiteral("/proc/%1/comm").arg(pid));
                if (command.open(QIODevice::ReadOnly) && command.readAll().startsWith("speech-dispatch"))
                    return true;
            }
            return false;
        })) << "no speech service";
        started = reader.processes();
        ASSERT_GE(started.size(), 2);
        reader.clear();
        EXPECT_TRUE(reader.spoken().isEmpty());
    }
    for (const qint64 pid : started)
        EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(pid))) << pid << " outlived the reader";
}

} // namespace
} // namespace orvex
