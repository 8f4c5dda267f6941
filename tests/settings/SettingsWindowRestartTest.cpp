// The settings window under a real X server and window manager, restarted as the launcher is.
#include "SettingsTestSupport.h"
#include "support/DesktopSession.h"

#include <QRegularExpression>
#include <QSize>

#include <gtest/gtest.h>

namespace orvex {
namespace {

struct HostRun {
    QSize content;
    QSize frame;
};

// One launch of the settings window; nothing when it failed or outlived its time.
std::optional<HostRun> runHost(const test::DesktopSession &desktop, const QStringList &arguments) {
    test::ChildProcess host;
    if (!host.start(QStringLiteral(ORVEX_SETTINGS_WINDOW_HOST), arguments, desktop.environment())) {
        ADD_FAILURE() << "the settings window host did not start";
        return std::nullopt;
    }
    if (!host.waitForExit(std::chrono::seconds(30))) {
        ADD_FAILURE() << "the settings window host did not end";
        return std::nullopt;
    }
    const QString output = QString::fromLocal8Bit(host.standardOutput());
    EXPECT_EQ(host.exitCode(), 0) << output.toStdString() << host.standardError().toStdString();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("content (\\d+) (\\d+) frame (\\d+) (\\d+)")).match(output);
    if (!match.hasMatch())
        return std::nullopt;
    return HostRun{QSize(match.captured(1).toInt(), match.captured(2).toInt()),
                   QSize(match.captured(3).toInt(), match.captured(4).toInt())};
}

TEST(SettingsWindowRestart, KeepsItsSizeWithoutGrowingByItsFrame) {
    const test::DesktopSession desktop;
    ASSERT_TRUE(desktop.isReady()) << "Xvfb or openbox did not start";

    const std::optional<HostRun> first = runHost(desktop, {QStringLiteral("1000x700")});
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->content, QSize(1000, 700));
    // The window manager draws a title bar: the frame is larger than the content.
    EXPECT_GT(first->frame.height(), first->content.height());
    for (int restart = 1; restart <= 2; ++restart) {
        SCOPED_TRACE(restart);
        const std::optional<HostRun> again = runHost(desktop, {});
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(again->content, QSize(1000, 700));
        EXPECT_EQ(again->frame, first->frame);
    }
}

} // namespace
} // namespace orvex
