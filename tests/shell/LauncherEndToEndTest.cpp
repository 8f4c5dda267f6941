// The real orvex-launcher on a desktop of the test's own (Xvfb with openbox), driven as a user drives
// it: the hot key, typing, clicks, drags, later starts, the status item in a tray, Ctrl+Q.
#include "KeyHolder.h"
#include "LauncherEndToEndFixture.h"

#include <QDir>
#include <QFile>

#include "support/FakeNotificationService.h"
#include "support/PrivateSessionBus.h"
#include "support/SmallFileSystem.h"
#include "support/TestEnvironment.h"

namespace orvex {
namespace {

using test::ChildProcess;
using test::DesktopSession;
using test::LauncherEndToEnd;
using test::prepareHome;
using test::storedDefaults;
using test::XWindowInfo;

TEST_F(LauncherEndToEnd, ThePanelAnswersTheHotKeyTypingEscapeAndClicksWithoutATray) {
    prepareHome();
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);

    // Compact, centred as a 600 × 460 panel would be, its top edge kept; stored at once.
    const QSize screen = session->screenSize();
    const QPoint centred((screen.width() - 600) / 2, (screen.height() - 460) / 2);
    EXPECT_EQ(panel.geometry, QRect(centred, QSize(600, 76)));
    EXPECT_TRUE(session->waitUntil([&] {
        const auto stored = storedDefaults();
        return stored->realValue(QStringLiteral("launcherWindowX")) == centred.x() &&
               stored->realValue(QStringLiteral("launcherWindowTopY")) == centred.y();
    }));
    const QStringList states = session->windowStates(panel.id);
    for (const char *state :
         {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_TRUE(states.contains(QString::fromLatin1(state)))
            << state << " in " << states.join(' ').toStdString();
    EXPECT_TRUE(session->waitUntil([&] { return session->inputFocus() == panel.id; }));

    // The hot key hides and shows; text typed right after showing lands in the field.
    ASSERT_TRUE(key(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    ASSERT_TRUE(showWithHotKey(panel.id));
    ASSERT_TRUE(type(QStringLiteral("12*3")));
    ASSERT_TRUE(waitForHeight(panel.id, 460)) << "rows appear and the panel grows";
    EXPECT_EQ(geometry(panel.id).topLeft(), centred) << "the top edge stays";
    EXPECT_EQ(session->inputFocus(), panel.id);
    session->settle(std::chrono::milliseconds(300));
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("shell-panel-with-rows"));

    // Escape hides; the query it keeps in its history is the whole typed text.
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    EXPECT_TRUE(session->waitUntil([&] {
        const auto history = storedDefaults()->arrayValue(QStringLiteral("launcherSearchHistoryQueries"));
        return history && !history->isEmpty() && history->last().toString() == QStringLiteral("12*3");
    })) << "the typed text reached the field in full";

    // A click outside hides; a click inside does not.
    ASSERT_TRUE(showWithHotKey(panel.id));
    const QRect frame = geometry(panel.id);
    ASSERT_TRUE(clickAt(frame.topLeft() + QPoint(14, 38)));
    session->settle(std::chrono::milliseconds(300));
    EXPECT_TRUE(session->isViewable(panel.id)) << "a click inside keeps the panel";
    ASSERT_TRUE(clickAt(QPoint(20, screen.height() - 20)));
    EXPECT_TRUE(waitForViewable(panel.id, false)) << "a click outside hides the panel";
    // A right click in another application's window too (one on the desktop opens the window manager's
    // menu, which takes the keyboard).
    const quint32 other =
        session->openOtherWindow(QRect(screen.width() - 300, 20, 280, 120), QStringLiteral("Other"));
    ASSERT_TRUE(session->waitUntil([&] { return session->isViewable(other); }));
    ASSERT_TRUE(showWithHotKey(panel.id));
    ASSERT_TRUE(clickAt(geometry(other).center(), 3));
    EXPECT_TRUE(waitForViewable(panel.id, false)) << "a right click outside too";

    EXPECT_FALSE(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") +
                               QStringLiteral("/autostart/io.orvex.launcher.desktop")))
        << "start at login never chosen: nothing registered";
    quitWithControlQ(launcher, panel.id);
}

// With the status item hidden and the hot key switched off, a second start (the application menu's
// entry) is the way back to the panel.
TEST_F(LauncherEndToEnd, ASecondStartShowsTheHiddenPanelAndLeaves) {
    prepareHome([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherShowMenuBarIcon"), PlistValue(false));
        defaults.set(QStringLiteral("launcherHotKeyEnabled"), PlistValue(false));
    });
    startSession({.tray = true});
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    ASSERT_TRUE(key(QStringLiteral("ctrl+space")));
    session->settle(std::chrono::milliseconds(300));
    ASSERT_FALSE(session->isViewable(panel.id)) << "the hot key is off";
    for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
        EXPECT_FALSE(info.viewable && info.topLevel == session->trayWindow()) << "no status item";

    ChildProcess &second = newProcess();
    ASSERT_TRUE(second.start(QStringLiteral(ORVEX_LAUNCHER), {}, session->environment()));
    ASSERT_TRUE(second.waitForExit());
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(waitForViewable(panel.id, true)) << "the hidden panel shows";
    EXPECT_TRUE(session->waitUntil([&] { return session->inputFocus() == panel.id; }));

    // A later start never hides a panel that shows.
    ChildProcess &third = newProcess();
    ASSERT_TRUE(third.start(QStringLiteral(ORVEX_LAUNCHER), {}, session->environment()));
    ASSERT_TRUE(third.waitForExit());
    session->settle(std::chrono::milliseconds(300));
    EXPECT_TRUE(session->isViewable(panel.id));
    quitWithControlQ(launcher, panel.id);
}

// The launcher listens in its own folder when the runtime folder is not there for it, and a second
// start looks in both: it shows the panel instead of waiting and giving up.
TEST_F(LauncherEndToEnd, ASecondStartFindsTheLauncherWhereverItListens) {
    const QString runtimeEntry = qEnvironmentVariable("XDG_RUNTIME_DIR") +
                                 QStringLiteral("/io.orvex.launcher.single-instance.activate");
    struct Case {
        const char *name;
        bool runtimeFolderForTheFirst;
        bool foreignEntry;
    } cases[] = {
        {"the first started without a runtime folder", false, false},
        {"a folder of the user's under the socket's name", true, true},
    };
    startSession();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prepareHome();
        QDir(runtimeEntry).removeRecursively();
        if (c.foreignEntry)
            test::writeFile(runtimeEntry + QStringLiteral("/notes.txt"), "the user's");
        QProcessEnvironment environment = session->environment();
        if (!c.runtimeFolderForTheFirst)
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        ChildProcess &launcher = newProcess();
        const XWindowInfo panel = startLauncher(launcher, environment);
        ASSERT_NE(panel.id, 0u);
        ASSERT_TRUE(waitForFocus(panel.id));
        ASSERT_TRUE(key(QStringLiteral("Escape")));
        ASSERT_TRUE(waitForViewable(panel.id, false));

        ChildProcess &second = newProcess();
        ASSERT_TRUE(second.start(QStringLiteral(ORVEX_LAUNCHER), {}, session->environment()));
        ASSERT_TRUE(second.waitForExit());
        EXPECT_EQ(second.exitCode(), 0) << second.standardError().toStdString();
        EXPECT_TRUE(waitForViewable(panel.id, true)) << "the hidden panel shows";
        if (c.foreignEntry) {
            EXPECT_TRUE(QFile::exists(runtimeEntry + QStringLiteral("/notes.txt"))) << "left as it was";
        }
        // Quitting leaves no socket of the launcher's in the runtime folder.
        QDir(runtimeEntry).removeRecursively();
        quitWithControlQ(launcher, panel.id);
    }
}

// Control+Space held by another X client (an input method) when the launcher starts: the user hears of
// it on the desktop and on stderr, and once the other program lets go a second start makes it work.
TEST_F(LauncherEndToEnd, AHotKeyHeldElsewhereIsSaidAndWorksOnceFree) {
    prepareHome();
    startSession();
    test::KeyHolder other(session->displayName());
    ASSERT_TRUE(other.holds());
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::FakeNotificationService notifications;
    ASSERT_TRUE(notifications.registerOn(bus.connect(QStringLiteral("notifications"))));
    QProcessEnvironment environment = session->environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());

    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, environment);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(session->waitUntil([&] { return notifications.messages.size() == 1; }));
    EXPECT_EQ(notifications.messages.first().applicationName, QStringLiteral("Orvex Launcher"));
    EXPECT_EQ(notifications.messages.first().summary,
              QStringLiteral("Hot key Control + Space is not available"));
    EXPECT_TRUE(session->waitUntil([&] {
        return launcher.standardError().contains(
            "Orvex Launcher could not register the hot key Control + Space: another program holds it\n");
    })) << launcher.standardError().toStdString();

    ASSERT_TRUE(waitForFocus(panel.id));
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    other.letGo();
    ChildProcess &second = newProcess();
    ASSERT_TRUE(second.start(QStringLiteral(ORVEX_LAUNCHER), {}, environment));
    ASSERT_TRUE(second.waitForExit());
    ASSERT_TRUE(waitForViewable(panel.id, true));
    ASSERT_TRUE(waitForFocus(panel.id));
    ASSERT_TRUE(key(QStringLiteral("ctrl+space")));
    EXPECT_TRUE(waitForViewable(panel.id, false)) << "the hot key is the launcher's now";
    EXPECT_EQ(notifications.messages.size(), 1);
    quitWithControlQ(launcher, panel.id);
}

// Return on a folder that no application on this desktop opens: the panel goes, and the user is told
// where they look instead of being left to think it opened.
TEST_F(LauncherEndToEnd, AFolderNothingOpensIsToldOnTheDesktopAndOnStderr) {
    prepareHome();
    startSession();
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::FakeNotificationService notifications;
    ASSERT_TRUE(notifications.registerOn(bus.connect(QStringLiteral("notifications"))));
    QProcessEnvironment environment = session->environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());

    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, environment);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));
    // The first crawl may still run: the folder is typed until it is found.
    ASSERT_TRUE(session->waitUntil(
        [&] {
            if (geometry(panel.id).height() > 76)
                return true;
            key(QStringLiteral("ctrl+a"));
            type(QStringLiteral("projects"));
            return session->waitUntil([&] { return geometry(panel.id).height() > 76; },
                                      std::chrono::seconds(1));
        },
        std::chrono::seconds(20)));
    session->settle(std::chrono::milliseconds(200));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    const QString folder = test::homePath() + QStringLiteral("/Documents/Projects");
    ASSERT_TRUE(session->waitUntil([&] { return notifications.messages.size() == 1; }))
        << launcher.standardError().toStdString();
    EXPECT_EQ(notifications.messages.first().summary, QStringLiteral("Could not open \u201cProjects\u201d"));
    EXPECT_EQ(notifications.messages.first().body,
              QStringLiteral("No application on this system opens folders."));
    EXPECT_TRUE(launcher.standardError().contains(
        QStringLiteral("Orvex Launcher could not open %1: No application on this system opens folders.\n")
            .arg(folder)
            .toUtf8()))
        << launcher.standardError().toStdString();
    quitWithControlQ(launcher, panel.id);
}

// The desktop's notification service is started by the bus at the first message for it, as many
// desktops install it: the hot key's warning starts it and reaches it.
TEST_F(LauncherEndToEnd, AHotKeyHeldElsewhereIsSaidByANotificationServiceTheBusStartsOnDemand) {
    prepareHome();
    startSession();
    test::KeyHolder other(session->displayName());
    ASSERT_TRUE(other.holds());
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    const QString record = test::homePath() + QStringLiteral("/notifications.jsonl");
    ASSERT_TRUE(bus.addActivatableService(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral(ORVEX_NOTIFICATION_SERVICE), {record}));
    QProcessEnvironment environment = session->environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());

    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, environment);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(session->waitUntil([&] {
        return !test::FakeNotificationService::recorded(record).isEmpty();
    })) << "no notification reached the service the bus starts";
    const QList<test::FakeNotificationService::Message> messages =
        test::FakeNotificationService::recorded(record);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first().applicationName, QStringLiteral("Orvex Launcher"));
    EXPECT_EQ(messages.first().summary, QStringLiteral("Hot key Control + Space is not available"));
    ASSERT_TRUE(waitForFocus(panel.id));
    quitWithControlQ(launcher, panel.id);
}

// Settings on a disk that takes no writes, full or read-only: the launcher runs on with them in memory
// and tells once why they cannot be saved, on the desktop and on stderr; the file keeps what it held.
TEST_F(LauncherEndToEnd, SettingsThatCannotBeSavedAreToldOnTheDesktopAndInOneLine) {
    test::SmallFileSystem disk(1024 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
    prepareHome();
    startSession();
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::FakeNotificationService notifications;
    ASSERT_TRUE(notifications.registerOn(bus.connect(QStringLiteral("notifications"))));

    const struct {
        const char *name;
        std::function<bool()> refuse;
        std::function<bool()> allow;
        const char *reason;
    } cases[] = {
        {"full", [&] { return disk.fill(); }, [&] { return disk.makeRoom(); }, "No space left on device"},
        {"read-only", [&] { return disk.setReadOnly(true); }, [&] { return disk.setReadOnly(false); },
         "Read-only file system"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        notifications.messages.clear();
        // Onboarding done, and no place stored yet: the launcher stores the panel's first place at once.
        const QString config = disk.path() + QLatin1Char('/') + QLatin1String(c.name);
        const QString file = config + QStringLiteral("/orvex-launcher/defaults.plist");
        {
            UserDefaults defaults(file);
            defaults.set(QStringLiteral("launcherPermissionsOnboardingCompleted"), PlistValue(true));
            ASSERT_TRUE(defaults.flush());
        }
        const QByteArray stored = [&] {
            QFile read(file);
            return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
        }();
        ASSERT_TRUE(c.refuse());
        QProcessEnvironment environment = session->environment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);

        ChildProcess &launcher = newProcess();
        const XWindowInfo panel = startLauncher(launcher, environment);
        ASSERT_NE(panel.id, 0u);
        ASSERT_TRUE(session->waitUntil([&] { return !notifications.messages.isEmpty(); }))
            << launcher.standardOutput().toStdString();
        EXPECT_EQ(notifications.messages.first().summary, QStringLiteral("Settings cannot be saved"));
        EXPECT_TRUE(notifications.messages.first().body.contains(QLatin1String(c.reason)))
            << notifications.messages.first().body.toStdString();
        EXPECT_TRUE(session->waitUntil([&] {
            return launcher.standardOutput().contains(
                QStringLiteral("Failed to write defaults file: %1: ").arg(file).toUtf8());
        })) << launcher.standardOutput().toStdString();
        ASSERT_TRUE(waitForFocus(panel.id));
        quitWithControlQ(launcher, panel.id);
        EXPECT_EQ(notifications.messages.size(), 1);
        QFile read(file);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly));
        EXPECT_EQ(read.readAll(), stored) << "the file changed on a disk that takes no writes";
        ASSERT_TRUE(c.allow());
    }
}

TEST_F(LauncherEndToEnd, ADragByTheBackgroundSnapsToTheGuidesAndThePlaceSurvivesARestart) {
    prepareHome([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherWindowX"), PlistValue(100.0));
        defaults.set(QStringLiteral("launcherWindowTopY"), PlistValue(100.0));
        defaults.set(QStringLiteral("launcherRunAtLogin"), PlistValue(true));
    });
    startSession();
    ChildProcess &launcher = newProcess();
    XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);
    ASSERT_EQ(panel.geometry.topLeft(), QPoint(100, 100));
    // Start at login, wished in the settings, is registered at launch.
    QFile autostart(qEnvironmentVariable("XDG_CONFIG_HOME") +
                    QStringLiteral("/autostart/io.orvex.launcher.desktop"));
    ASSERT_TRUE(session->waitUntil([&] { return autostart.exists(); }));
    ASSERT_TRUE(autostart.open(QIODevice::ReadOnly));
    EXPECT_TRUE(autostart.readAll().contains("orvex-launcher")) << "starts this program";

    // Centred x is 340; the horizontal guides of an 800-high screen put a 76-high panel's top at
    // 495, 362, 229 or 95. Aim a few pixels off 340, 362.
    const QPoint grip = panel.geometry.topLeft() + QPoint(14, 38);
    const QPoint target = grip + QPoint(340 - 100 + 6, 362 - 100 - 4);
    ASSERT_TRUE(session->xdotool({QStringLiteral("mousemove"), QString::number(grip.x()),
                                  QString::number(grip.y()), QStringLiteral("mousedown"), QStringLiteral("1"),
                                  QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("mousemove"),
                                  QString::number(grip.x() + 60), QString::number(grip.y() + 60),
                                  QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("mousemove"),
                                  QString::number(target.x()), QString::number(target.y())}));
    EXPECT_TRUE(session->waitUntil([&] { return geometry(panel.id).topLeft() == QPoint(340, 362); }))
        << "at " << geometry(panel.id).x() << "," << geometry(panel.id).y();
    // The grid and the highlighted guides while the button is held.
    session->settle(std::chrono::milliseconds(300));
    const QImage duringDrag = session->screenshot();
    DesktopSession::saveScreenshot(duringDrag, QStringLiteral("shell-snap-overlay"));
    const QRgb centreLine = duringDrag.pixel(640, 40);
    EXPECT_GT(qRed(centreLine), 200) << "the highlighted centre line is yellow";
    EXPECT_GT(qGreen(centreLine), 150);
    EXPECT_LT(qBlue(centreLine), 100);
    ASSERT_TRUE(session->xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    session->settle(std::chrono::milliseconds(200));
    EXPECT_NE(session->screenshot().pixel(640, 40), centreLine) << "the overlay goes with the drag";

    quitWithControlQ(launcher, panel.id);
    const auto stored = storedDefaults();
    EXPECT_EQ(stored->realValue(QStringLiteral("launcherWindowX")), 340.0);
    EXPECT_EQ(stored->realValue(QStringLiteral("launcherWindowTopY")), 362.0);

    ChildProcess &restarted = newProcess();
    panel = startLauncher(restarted);
    EXPECT_EQ(panel.geometry.topLeft(), QPoint(340, 362));
    quitWithControlQ(restarted, panel.id);
}

// Shown, typed into and left by Return again and again while other programs' windows come and go, the
// panel stays at the place the user gave it, on screen and in the defaults file. (A window manager that
// maps it again can first report its frame's corner, 0, 0, before the true place.)
TEST_F(LauncherEndToEnd, ShowTypeReturnCyclesKeepThePlaceTheUserChose) {
    const QPoint chosen(100, 150);
    prepareHome([&](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherWindowX"), PlistValue(double(chosen.x())));
        defaults.set(QStringLiteral("launcherWindowTopY"), PlistValue(double(chosen.y())));
    });
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);
    ASSERT_EQ(panel.geometry.topLeft(), chosen);
    ASSERT_TRUE(key(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    const QSize screen = session->screenSize();
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(cycle);
        const quint32 other =
            session->openOtherWindow(QRect(screen.width() - 300, 20, 280, 120), QStringLiteral("Other"));
        ASSERT_TRUE(session->waitUntil([&] { return session->isViewable(other); }));
        ASSERT_TRUE(showWithHotKey(panel.id));
        ASSERT_TRUE(type(QStringLiteral("12*3")));
        ASSERT_TRUE(waitForHeight(panel.id, 460));
        EXPECT_EQ(geometry(panel.id).topLeft(), chosen);
        ASSERT_TRUE(key(QStringLiteral("Return")));
        ASSERT_TRUE(waitForViewable(panel.id, false));
        session->closeOtherWindow(other);
        const auto stored = storedDefaults();
        ASSERT_EQ(stored->realValue(QStringLiteral("launcherWindowX")), double(chosen.x()));
        ASSERT_EQ(stored->realValue(QStringLiteral("launcherWindowTopY")), double(chosen.y()));
    }
    ASSERT_TRUE(showWithHotKey(panel.id));
    EXPECT_EQ(geometry(panel.id).topLeft(), chosen);
    quitWithControlQ(launcher, panel.id);
}

// A place and a height saved with a larger screen: the panel opens on this one and grows only as far
// as its area goes (1200 high on a 1000-pixel screen would put the lower rows off it).
TEST_F(LauncherEndToEnd, APlaceOnAScreenThatIsGoneAndAPanelTallerThanTheScreenStayOnIt) {
    prepareHome([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherWindowX"), PlistValue(5000.0));
        defaults.set(QStringLiteral("launcherWindowTopY"), PlistValue(3000.0));
        defaults.set(QStringLiteral("launcherWindowHeight"), PlistValue(1200.0));
    });
    startSession({.screen = QSize(1280, 1000)});
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);
    const QSize screen = session->screenSize();
    EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(panel.geometry)) << "opens on the screen";
    ASSERT_TRUE(session->waitUntil([&] { return session->inputFocus() == panel.id; }));
    ASSERT_TRUE(type(QStringLiteral("7+8")));
    ASSERT_TRUE(waitForHeight(panel.id, screen.height()));
    EXPECT_TRUE(session->waitUntil([&] { return QRect(QPoint(0, 0), screen).contains(geometry(panel.id)); }))
        << "at " << geometry(panel.id).y() << ", " << geometry(panel.id).height() << " high";
    session->settle(std::chrono::milliseconds(300));
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("shell-panel-bounded-by-screen"));
    quitWithControlQ(launcher, panel.id);
}

TEST_F(LauncherEndToEnd, TheHotKeyFocusesThePanelOnTheCurrentDesktopOverAnotherApplication) {
    prepareHome();
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));

    // Another application's window, focused and in use, on the second desktop.
    ASSERT_TRUE(session->xdotool({QStringLiteral("set_num_desktops"), QStringLiteral("2")}));
    ASSERT_TRUE(session->xdotool({QStringLiteral("set_desktop"), QStringLiteral("1")}));
    ASSERT_TRUE(session->waitUntil([&] { return session->currentDesktop() == 1u; }));
    const quint32 other = session->openOtherWindow(QRect(50, 50, 500, 300), QStringLiteral("Other"));
    ASSERT_TRUE(session->waitUntil([&] {
        const auto info = session->window(other);
        return info && info->viewable && session->inputFocus() == other;
    }));
    ASSERT_TRUE(clickAt(geometry(other).center()));
    ASSERT_TRUE(type(QStringLiteral("abc")));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(showWithHotKey(panel.id));
        EXPECT_EQ(session->windowDesktop(panel.id), 1u) << "shown where the user is";
        EXPECT_EQ(session->currentDesktop(), 1u) << "the user stays where they are";
        ASSERT_TRUE(type(QStringLiteral("9*9")));
        EXPECT_TRUE(waitForHeight(panel.id, 460)) << "the typing reached the field";
        EXPECT_EQ(session->inputFocus(), panel.id);

        // A window that appears and takes the focus, or a keyboard layout switch, does not hide it.
        const quint32 popup = session->openOtherWindow(QRect(900, 600, 200, 80), QStringLiteral("Notice"));
        ASSERT_TRUE(session->waitUntil([&] { return session->isViewable(popup); }));
        ASSERT_TRUE(session->run(QStringLiteral("setxkbmap"), {QStringLiteral("de")}));
        session->settle(std::chrono::milliseconds(300));
        EXPECT_TRUE(session->isViewable(panel.id));
        session->closeOtherWindow(popup);
        ASSERT_TRUE(session->run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));

        // Back to the other application for the next round.
        ASSERT_TRUE(clickAt(geometry(other).center()));
        ASSERT_TRUE(waitForViewable(panel.id, false));
        ASSERT_TRUE(session->waitUntil([&] { return session->inputFocus() == other; }));
        ASSERT_TRUE(type(QStringLiteral("xyz")));
    }
    quitWithControlQ(launcher, panel.id);
}

TEST_F(LauncherEndToEnd, WithATrayTheStatusItemsMenuShowsThePanelAndQuits) {
    prepareHome();
    startSession({.tray = true});
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher);
    ASSERT_NE(panel.id, 0u);
    const quint32 tray = session->trayWindow();
    ASSERT_NE(tray, 0u);

    // The status item: a window of the launcher inside the tray.
    std::optional<XWindowInfo> item;
    ASSERT_TRUE(session->waitUntil([&] {
        for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
            if (info.viewable && info.topLevel == tray) {
                item = info;
                return true;
            }
        return false;
    })) << "no status item in the tray";
    session->settle(std::chrono::milliseconds(300));
    // Four times as large, to be seen.
    const QImage trayImage = session->screenshot().copy(session->window(tray)->geometry);
    DesktopSession::saveScreenshot(trayImage.scaled(trayImage.size() * 4),
                                   QStringLiteral("shell-status-item"));

    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    auto findMenu = [&]() -> std::optional<XWindowInfo> {
        for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
            if (info.viewable && info.overrideRedirect && info.geometry.height() > 100)
                return info;
        return std::nullopt;
    };
    // Qt takes the application for inactive 400 ms after its last window lost the focus unless another
    // of its windows gains it, and closes every menu then; on a busy machine the menu's own focus can come
    // after that. A menu that closes by itself at once is opened again, as a user would.
    auto openMenu = [&](int button) -> std::optional<XWindowInfo> {
        for (int attempt = 0; attempt < 3; ++attempt) {
            // The tray lays its icons out again as they come and go.
            const std::optional<XWindowInfo> now = session->window(item->id);
            if (!now || !clickAt(now->geometry.center(), button))
                return std::nullopt;
            if (!session->waitUntil([&] { return findMenu().has_value(); }))
                continue;
            if (!session->waitUntil([&] { return !findMenu(); }, std::chrono::milliseconds(800)))
                return findMenu();
        }
        return std::nullopt;
    };
    // Left click, first item: "Show Launcher".
    std::optional<XWindowInfo> menu = openMenu(1);
    if (!menu)
        DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("shell-status-menu-missing"));
    ASSERT_TRUE(menu) << "a click on the status item opens its menu; item at " << item->geometry.x() << ","
                      << item->geometry.y() << " " << item->geometry.width() << "x"
                      << item->geometry.height();
    session->settle(std::chrono::milliseconds(200));
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("shell-status-menu"));
    ASSERT_TRUE(key(QStringLiteral("Down")));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    EXPECT_TRUE(waitForViewable(panel.id, true)) << "\"Show Launcher\" shows the panel";
    EXPECT_TRUE(session->waitUntil([&] { return session->inputFocus() == panel.id; }));

    // Right click opens the same menu; its last item quits.
    menu = openMenu(3);
    ASSERT_TRUE(menu) << "a right click opens the same menu";
    EXPECT_TRUE(session->isViewable(panel.id)) << "a click on the status item is no click outside";
    ASSERT_TRUE(key(QStringLiteral("Up")));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    EXPECT_TRUE(launcher.waitForExit()) << "\"Quit\" ends the launcher";
    EXPECT_EQ(launcher.exitCode(), 0);
}

} // namespace
} // namespace orvex
