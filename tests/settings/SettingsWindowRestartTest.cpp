// The settings window under a real X server and window manager, restarted as the launcher is.
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSize>
#include <QStandardPaths>

#include <gtest/gtest.h>

void PrintTo(const QSize &size, std::ostream *os) {
    *os << size.width() << "x" << size.height();
}

namespace orvex {
namespace {

// Xvfb on a display it picks itself, with openbox managing its windows; both stopped with the fixture.
class VirtualDesktop {
public:
    VirtualDesktop() {
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1600x1000x24")});
        if (!server_.waitForStarted(10000))
            return;
        QByteArray output;
        while (!output.contains('\n') && server_.waitForReadyRead(20000))
            output += server_.readAllStandardOutput();
        bool ok = false;
        output.trimmed().toUInt(&ok);
        if (!ok)
            return;
        display_ = QStringLiteral(":") + QString::fromLatin1(output.trimmed());
        windowManager_.setProcessEnvironment(environment());
        windowManager_.setStandardOutputFile(QProcess::nullDevice());
        windowManager_.setStandardErrorFile(QProcess::nullDevice());
        windowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        windowManager_.waitForStarted(10000);
        // A window mapped while the manager is still starting gets taken over under its feet.
        managing_ = test::waitUntil([this] { return windowManagerIsReady(); }, std::chrono::seconds(10));
    }
    ~VirtualDesktop() {
        for (QProcess *process : {&windowManager_, &server_}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    bool isRunning() const {
        return !display_.isEmpty() && windowManager_.state() == QProcess::Running && managing_;
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return environment;
    }

private:
    // The manager has announced itself on the root window.
    bool windowManagerIsReady() const {
        QProcess probe;
        probe.setProcessEnvironment(environment());
        probe.start(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        if (!probe.waitForFinished(5000)) {
            probe.kill();
            probe.waitForFinished(5000);
            return false;
        }
        return probe.readAllStandardOutput().contains("window id");
    }

    QProcess server_;
    QProcess windowManager_;
    QString display_;
    bool managing_ = false;
};

struct HostRun {
    QSize content;
    QSize frame;
};

// One launch of the settings window; nothing when it failed or outlived its time.
std::optional<HostRun> runHost(const VirtualDesktop &desktop, const QStringList &arguments) {
    QProcess host;
    host.setProcessEnvironment(desktop.environment());
    host.start(QStringLiteral(ORVEX_SETTINGS_WINDOW_HOST), arguments);
    if (!host.waitForFinished(30000)) {
        host.kill();
        host.waitForFinished(5000);
        ADD_FAILURE() << "the settings window host did not end";
        return std::nullopt;
    }
    const QString output = QString::fromLocal8Bit(host.readAllStandardOutput());
    EXPECT_EQ(host.exitCode(), 0) << output.toStdString() << host.readAllStandardError().toStdString();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("content (\\d+) (\\d+) frame (\\d+) (\\d+)")).match(output);
    if (!match.hasMatch())
        return std::nullopt;
    return HostRun{QSize(match.captured(1).toInt(), match.captured(2).toInt()),
                   QSize(match.captured(3).toInt(), match.captured(4).toInt())};
}

TEST(SettingsWindowRestart, KeepsItsSizeWithoutGrowingByItsFrame) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        GTEST_SKIP() << "Xvfb or openbox is not installed";
    VirtualDesktop desktop;
    ASSERT_TRUE(desktop.isRunning());

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
