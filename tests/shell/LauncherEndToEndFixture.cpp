#include "LauncherEndToEndFixture.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <iostream>

namespace orvex::test {

void prepareHome(const std::function<void(UserDefaults &)> &settings) {
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
    QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher")).removeRecursively();
    // Start at login as never chosen, whatever an earlier test of the process chose.
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart")).removeRecursively();
    // A folder to find, so that the permission check after launch is content.
    makeDirectory(homePath() + QStringLiteral("/Documents/Projects"));
    UserDefaults defaults(UserDefaults::standardFilePath());
    defaults.set(QStringLiteral("launcherPermissionsOnboardingCompleted"), PlistValue(true));
    if (settings)
        settings(defaults);
    ASSERT_TRUE(defaults.flush());
}

std::unique_ptr<UserDefaults> storedDefaults() {
    return std::make_unique<UserDefaults>(UserDefaults::standardFilePath());
}

QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 candidate = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            children.append(candidate);
    }
    return children;
}

void LauncherEndToEnd::TearDown() {
    for (const std::unique_ptr<ChildProcess> &process : processes) {
        if (HasFailure())
            std::cerr << "orvex-launcher " << process->pid() << " (" << process->isRunning() << "):\n"
                      << process->standardError().toStdString() << std::endl;
        process->stop();
    }
    processes.clear();
    session.reset();
}

void LauncherEndToEnd::startSession(DesktopSession::Options options) {
    session = std::make_unique<DesktopSession>(options);
    ASSERT_TRUE(session->isReady()) << "Xvfb, openbox or the tray did not start";
}

XWindowInfo LauncherEndToEnd::startLauncher(ChildProcess &launcher,
                                            const std::optional<QProcessEnvironment> &environment) {
    EXPECT_TRUE(
        launcher.start(QStringLiteral(ORVEX_LAUNCHER), {}, environment.value_or(session->environment())));
    const std::optional<XWindowInfo> panel = session->waitForWindow(launcher.pid(), panelTitle);
    if (!panel) {
        QStringList windows;
        for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
            windows.append(QStringLiteral("%1 \"%2\" viewable %3 in %4 (viewable %5) on desktop %6, %7")
                               .arg(info.id)
                               .arg(info.title)
                               .arg(info.viewable)
                               .arg(info.topLevel)
                               .arg(session->isViewable(info.topLevel))
                               .arg(session->windowDesktop(info.id).value_or(~0u))
                               .arg(session->windowStates(info.id).join(QLatin1Char(' '))));
        ADD_FAILURE() << "no panel; running " << launcher.isRunning() << "; "
                      << session->describe().toStdString() << "; current desktop "
                      << session->currentDesktop().value_or(~0u)
                      << ", windows: " << windows.join(QStringLiteral("; ")).toStdString() << "; see "
                      << DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("no-panel"))
                             .toStdString();
    }
    return panel.value_or(XWindowInfo{});
}

QRect LauncherEndToEnd::geometry(quint32 window) const {
    return session->window(window).value_or(XWindowInfo{}).geometry;
}

::testing::AssertionResult LauncherEndToEnd::waitForHeight(quint32 window, int height) {
    if (session->waitUntil([&] { return geometry(window).height() == height; }))
        return ::testing::AssertionSuccess();
    const QRect frame = geometry(window);
    return ::testing::AssertionFailure() << "the window is at " << frame.x() << "," << frame.y() << " "
                                         << frame.width() << "x" << frame.height();
}

::testing::AssertionResult LauncherEndToEnd::waitForViewable(quint32 window, bool viewable) {
    if (session->waitUntil([&] { return session->isViewable(window) == viewable; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the window is " << (viewable ? "not " : "") << "viewable";
}

::testing::AssertionResult LauncherEndToEnd::waitForFocus(quint32 window) {
    if (session->waitUntil([&] { return session->inputFocus() == window; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the keyboard focus is on " << session->inputFocus();
}

::testing::AssertionResult LauncherEndToEnd::showWithHotKey(quint32 panel) {
    if (!key(QStringLiteral("ctrl+space")))
        return ::testing::AssertionFailure() << "xdotool failed";
    if (const auto viewable = waitForViewable(panel, true); !viewable)
        return viewable;
    return waitForFocus(panel);
}

bool LauncherEndToEnd::key(const QString &keys) {
    return session->xdotool({QStringLiteral("key"), keys});
}

bool LauncherEndToEnd::type(const QString &text, int delayMilliseconds) {
    return session->xdotool(
        {QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMilliseconds), text});
}

bool LauncherEndToEnd::clickAt(QPoint point, int button) {
    return session->xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
                             QString::number(point.y()), QStringLiteral("click"), QString::number(button)});
}

void LauncherEndToEnd::quitWithControlQ(ChildProcess &launcher, quint32 panel) {
    if (!session->isViewable(panel)) {
        ASSERT_TRUE(showWithHotKey(panel));
    }
    ASSERT_TRUE(waitForFocus(panel));
    const QList<qint64> children = childrenOf(launcher.pid());
    ASSERT_TRUE(key(QStringLiteral("ctrl+q")));
    ASSERT_TRUE(launcher.waitForExit()) << "Ctrl+Q did not end the launcher";
    EXPECT_EQ(launcher.exitCode(), 0) << launcher.standardError().toStdString();
    // Helpers (the translation engine's) end once their pipes close.
    for (const qint64 child : children)
        EXPECT_TRUE(session->waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(child)); },
                                       std::chrono::seconds(5)))
            << "child " << child << " left";
    EXPECT_FALSE(QFile::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") +
                               QStringLiteral("/io.orvex.launcher.single-instance.activate")));
}

} // namespace orvex::test
