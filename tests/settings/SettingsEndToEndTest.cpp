// The real launcher on a desktop of the test's own (Xvfb with openbox and a tray), driven as a user
// drives it: the panel's settings row and the status menu open the settings window, which keeps the
// size the user gave it over restarts; a theme chosen in it recolours the open panel; the onboarding
// window greets a first launch and lets the user skip or continue.
#include "SettingsTestSupport.h"
#include "fixtures/ArgosFakeInterpreter.h"
#include "support/AccessibilityBus.h"
#include "support/DesktopSession.h"
#include "support/TestEnvironment.h"

#include "panel/LauncherThemeCatalog.h"
#include "platform/UserDefaults.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>

namespace orvex {
namespace {

using test::AccessibilityBus;
using test::AccessibleNode;
using test::AccessibleRef;
using test::ChildProcess;
using test::DesktopSession;
using test::XWindowInfo;
using namespace std::chrono_literals;

const QString panelTitle = QStringLiteral("Orvex Launcher");
const QString settingsTitle = QStringLiteral("Launcher Settings");
const QString settingsRowTitle = QStringLiteral("Show Launcher Settings");
const QString onboardingTitle = QStringLiteral("Permission Setup");
const QString onboardingCompletedKey = QStringLiteral("launcherPermissionsOnboardingCompleted");

// The launcher's files in the test's home, cleared; a folder for the permission checks to find.
void prepareHome(const std::function<void(UserDefaults &)> &settings = {}) {
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
    QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher")).removeRecursively();
    test::makeDirectory(test::homePath() + QStringLiteral("/Documents/Projects"));
    UserDefaults defaults(UserDefaults::standardFilePath());
    if (settings)
        settings(defaults);
    ASSERT_TRUE(defaults.flush());
}

void completeOnboarding(UserDefaults &defaults) {
    defaults.set(onboardingCompletedKey, PlistValue(true));
}

// What the launcher has written to its defaults file so far.
std::unique_ptr<UserDefaults> storedDefaults() {
    return std::make_unique<UserDefaults>(UserDefaults::standardFilePath());
}

std::optional<QSize> storedSettingsWindowSize() {
    const auto stored = storedDefaults();
    const auto width = stored->realValue(QStringLiteral("launcherSettingsWindowWidth"));
    const auto height = stored->realValue(QStringLiteral("launcherSettingsWindowHeight"));
    if (!width || !height)
        return std::nullopt;
    return QSize(qRound(*width), qRound(*height));
}

// Pixels of `image` inside `area` within a small distance of `color`.
QList<QPoint> pixelsOfColor(const QImage &image, const QRect &area, const QColor &color) {
    QList<QPoint> found;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) <= 6 && std::abs(pixel.green() - color.green()) <= 6 &&
                std::abs(pixel.blue() - color.blue()) <= 6)
                found.append(QPoint(x, y));
        }
    return found;
}

class SettingsEndToEnd : public ::testing::Test {
protected:
    void startSession(DesktopSession::Options options) {
        options.tray = true;
        session = std::make_unique<DesktopSession>(options);
        ASSERT_TRUE(session->isReady()) << "Xvfb, openbox or the tray did not start";
        bus = std::make_unique<AccessibilityBus>();
        ASSERT_TRUE(bus->isReady()) << bus->failure().toStdString();
    }
    // `extra` is added to the desktop's environment.
    bool start(ChildProcess &launcher, const QProcessEnvironment &extra = {}) {
        QProcessEnvironment environment = bus->environment(session->environment());
        environment.insert(extra);
        return launcher.start(QStringLiteral(ORVEX_LAUNCHER), {}, environment);
    }
    QRect geometry(quint32 window) const { return session->window(window).value_or(XWindowInfo{}).geometry; }
    // The window with the window manager's frame around it.
    QRect frameGeometry(const XWindowInfo &window) const { return geometry(window.topLevel); }
    bool waitForViewable(quint32 window, bool viewable) {
        return session->waitUntil([&] { return session->isViewable(window) == viewable; });
    }
    bool waitForFocus(quint32 window) {
        return session->waitUntil([&] { return session->inputFocus() == window; });
    }
    bool key(const QString &keys) { return session->xdotool({QStringLiteral("key"), keys}); }
    bool type(const QString &text) {
        return session->xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), text});
    }
    bool clickAt(QPoint point, int button = 1) {
        return session->xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
                                 QString::number(point.y()), QStringLiteral("click"),
                                 QString::number(button)});
    }

    // Selects the row titled `title` with the arrow keys, as a user who reads the list does; false when
    // no such row answers. The rows are read through the accessibility bus.
    bool selectRow(ChildProcess &launcher, const QString &title) {
        const std::optional<AccessibleRef> app = bus->waitForApplication(launcher.pid());
        if (!app)
            return false;
        const std::optional<AccessibleNode> results = bus->waitForNode(*app, [](const AccessibleNode &node) {
            return node.name == QLatin1String("Results") && node.role == QLatin1String("list");
        });
        if (!results)
            return false;
        for (int step = 0; step < 20; ++step) {
            const QList<AccessibleRef> rows = bus->children(results->ref);
            qsizetype wanted = -1, selected = -1;
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const AccessibleNode row = bus->node(rows[i]);
                if (row.name == title)
                    wanted = i;
                if (row.has(QStringLiteral("selected")))
                    selected = i;
            }
            if (wanted >= 0 && wanted == selected)
                return true;
            if (wanted >= 0 && !key(selected > wanted ? QStringLiteral("Up") : QStringLiteral("Down")))
                return false;
            session->settle(100ms);
        }
        ADD_FAILURE() << "no row \"" << title.toStdString() << "\" selected:\n"
                      << AccessibilityBus::describe(bus->tree(results->ref)).toStdString();
        return false;
    }

    // Types "settings" into the shown panel, selects the launcher's own settings row (a machine may have
    // applications that answer "settings" better) and chooses it with Return.
    std::optional<XWindowInfo> openSettingsFromThePanel(ChildProcess &launcher, const XWindowInfo &panel) {
        EXPECT_TRUE(waitForFocus(panel.id));
        EXPECT_TRUE(type(QStringLiteral("settings")));
        if (!selectRow(launcher, settingsRowTitle))
            return std::nullopt;
        EXPECT_TRUE(key(QStringLiteral("Return")));
        return session->waitForWindow(launcher.pid(), settingsTitle);
    }

    // Opens the status item's menu and chooses the entry `steps` places below its top (above its
    // bottom when negative).
    bool chooseFromStatusMenu(ChildProcess &launcher, int steps) {
        const quint32 tray = session->trayWindow();
        std::optional<XWindowInfo> item;
        if (!session->waitUntil([&] {
                for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
                    if (info.viewable && tray != 0 && info.topLevel == tray) {
                        item = info;
                        return true;
                    }
                return false;
            }))
            return false;
        if (!clickAt(item->geometry.center()))
            return false;
        const bool menuShown = session->waitUntil([&] {
            for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
                if (info.viewable && info.overrideRedirect && info.geometry.height() > 100)
                    return true;
            return false;
        });
        if (!menuShown)
            return false;
        for (int i = 0; i < std::abs(steps); ++i)
            if (!key(steps > 0 ? QStringLiteral("Down") : QStringLiteral("Up")))
                return false;
        return key(QStringLiteral("Return"));
    }

    // Ctrl+Q in one of the launcher's windows ends it cleanly.
    void quitFrom(ChildProcess &launcher, quint32 window) {
        ASSERT_TRUE(waitForFocus(window));
        ASSERT_TRUE(key(QStringLiteral("ctrl+q")));
        ASSERT_TRUE(launcher.waitForExit())
            << "Ctrl+Q did not end the launcher; " << launcher.standardError().toStdString();
        EXPECT_EQ(launcher.exitCode(), 0) << launcher.standardError().toStdString();
    }

    std::unique_ptr<DesktopSession> session;
    std::unique_ptr<AccessibilityBus> bus;
};

TEST_F(SettingsEndToEnd, TheSettingsRowAndTheStatusMenuOpenAWindowThatKeepsItsSizeOverTwoRestarts) {
    prepareHome(completeOnboarding);
    startSession({});

    std::optional<QRect> firstFrame;
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        ChildProcess launcher;
        ASSERT_TRUE(start(launcher));
        const std::optional<XWindowInfo> panel = session->waitForWindow(launcher.pid(), panelTitle);
        ASSERT_TRUE(panel) << launcher.standardError().toStdString();

        std::optional<XWindowInfo> settings;
        if (run == 1) {
            ASSERT_TRUE(chooseFromStatusMenu(launcher, 2)) << "no \"Settings\u2026\" in the status menu";
            settings = session->waitForWindow(launcher.pid(), settingsTitle);
            ASSERT_TRUE(settings) << "\"Settings\u2026\" did not open the settings window";
        } else {
            settings = openSettingsFromThePanel(launcher, *panel);
            ASSERT_TRUE(settings) << "the settings row did not open the settings window";
        }
        EXPECT_TRUE(waitForViewable(panel->id, false)) << "opening the settings hides the panel";
        const QSize screen = session->screenSize();
        EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(frameGeometry(*settings)));

        if (run == 0) {
            EXPECT_EQ(settings->geometry.size(), QSize(980, 620));
            session->settle(300ms);
            DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("settings-e2e-window"));
            // The user drags the window to 1000 × 700.
            ASSERT_TRUE(session->xdotool({QStringLiteral("windowsize"), QString::number(settings->id),
                                          QStringLiteral("1000"), QStringLiteral("700")}));
            EXPECT_TRUE(
                session->waitUntil([&] { return geometry(settings->id).size() == QSize(1000, 700); }));
            EXPECT_TRUE(session->waitUntil([] { return storedSettingsWindowSize() == QSize(1000, 700); }));
            firstFrame = frameGeometry(*settings);
            // The window manager's title bar: the frame is taller than what the launcher stored.
            EXPECT_GT(firstFrame->height(), 700);
        } else {
            // The same size at every start: no growth by the window manager's frame.
            EXPECT_EQ(settings->geometry.size(), QSize(1000, 700));
            ASSERT_TRUE(firstFrame);
            EXPECT_EQ(frameGeometry(*settings).size(), firstFrame->size());
        }
        quitFrom(launcher, settings->id);
        EXPECT_EQ(storedSettingsWindowSize(), QSize(1000, 700));
    }
}

// Ctrl+Q right after the settings window opened, while it still asks the translation interpreter whether
// Argos can run: the launcher ends without waiting for the answer. The interpreter is killed and reaped
// then, not left to run out the check's time limit (which would end it with SIGTERM), and nothing is said
// of it.
TEST_F(SettingsEndToEnd, QuittingWhileTheSettingsStillCheckTheTranslationEngineStopsTheCheck) {
    prepareHome(completeOnboarding);
    startSession({});
    const QString folder = test::homePath() + QStringLiteral("/fake-python");
    const test::ArgosFakeInterpreter fake(folder, {});
    // Never released: the check answers only when it runs out its time limit.
    fake.holdImportCheck(0ms);
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), fake.path());
    extra.insert(QStringLiteral("ORVEX_FAKE_DIR"), folder);
    ChildProcess launcher;
    ASSERT_TRUE(start(launcher, extra));
    const std::optional<XWindowInfo> panel = session->waitForWindow(launcher.pid(), panelTitle);
    ASSERT_TRUE(panel) << launcher.standardError().toStdString();
    const std::optional<XWindowInfo> settings = openSettingsFromThePanel(launcher, *panel);
    ASSERT_TRUE(settings) << "the settings row did not open the settings window";
    ASSERT_TRUE(waitForFocus(settings->id));
    ASSERT_TRUE(session->waitUntil([&] { return fake.importCheckProcess().has_value(); }))
        << "the settings window does not check the engine";
    const auto check = static_cast<pid_t>(*fake.importCheckProcess());

    ASSERT_TRUE(key(QStringLiteral("ctrl+q")));
    ASSERT_TRUE(launcher.waitForExit()) << launcher.standardError().toStdString();
    EXPECT_EQ(launcher.exitCode(), 0) << launcher.standardError().toStdString();
    const QStringList log = fake.log();
    for (const QString &line : log)
        EXPECT_FALSE(line.startsWith(QLatin1String("term "))) << "quitting waited for the check's time limit";
    errno = 0;
    EXPECT_EQ(::kill(check, 0), -1) << "the interpreter outlives the launcher: "
                                    << log.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(errno, ESRCH);
    const QByteArray said = launcher.standardOutput() + launcher.standardError();
    EXPECT_FALSE(said.contains("Argos") || said.contains("argos")) << said.toStdString();
}

TEST_F(SettingsEndToEnd, AThemeChosenInTheSettingsRecoloursTheOpenPanel) {
    // The largest settings window, so that the theme cards show three to a row.
    prepareHome([](UserDefaults &defaults) {
        completeOnboarding(defaults);
        defaults.set(QStringLiteral("launcherSettingsWindowWidth"), PlistValue(1200.0));
        defaults.set(QStringLiteral("launcherSettingsWindowHeight"), PlistValue(900.0));
    });
    startSession({.screen = QSize(1600, 1000)});
    ChildProcess launcher;
    ASSERT_TRUE(start(launcher));
    const std::optional<XWindowInfo> panel = session->waitForWindow(launcher.pid(), panelTitle);
    ASSERT_TRUE(panel) << launcher.standardError().toStdString();
    const std::optional<XWindowInfo> settings = openSettingsFromThePanel(launcher, *panel);
    ASSERT_TRUE(settings);
    ASSERT_TRUE(waitForViewable(panel->id, false));

    // The panel back over the settings window, with its settings row selected.
    ASSERT_TRUE(key(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitForViewable(panel->id, true));
    ASSERT_TRUE(waitForFocus(panel->id));
    ASSERT_TRUE(type(QStringLiteral("settings")));
    ASSERT_TRUE(selectRow(launcher, settingsRowTitle));
    ASSERT_TRUE(session->waitUntil([&] { return geometry(panel->id).height() > panel->geometry.height(); }));
    session->settle(300ms);

    // The Forest card is found on screen by its green sample row, away from the panel.
    const QColor forestGreen = LauncherThemeCatalog::theme(LauncherThemeID::forest).selectedRowBackground;
    const QRect panelArea = frameGeometry(*session->window(panel->id));
    QImage screen = session->screenshot();
    EXPECT_TRUE(pixelsOfColor(screen, panelArea, forestGreen).isEmpty()) << "the panel starts as Graphite";
    QList<QPoint> card;
    for (const QPoint &point : pixelsOfColor(screen, geometry(settings->id), forestGreen))
        if (!panelArea.contains(point))
            card.append(point);
    ASSERT_FALSE(card.isEmpty())
        << "no Forest card on screen; see "
        << DesktopSession::saveScreenshot(screen, QStringLiteral("settings-e2e-no-forest")).toStdString();
    QRect cardArea;
    for (const QPoint &point : card)
        cardArea |= QRect(point, QSize(1, 1));
    ASSERT_TRUE(clickAt(cardArea.center()));

    // The panel stays open (a click in the launcher's own window is no click outside) and turns green.
    const int selectedRowArea = 200;
    EXPECT_TRUE(session->waitUntil([&] {
        return pixelsOfColor(session->screenshot(), panelArea, forestGreen).size() > selectedRowArea;
    })) << "the open panel kept its colours";
    EXPECT_TRUE(session->isViewable(panel->id));
    EXPECT_TRUE(session->waitUntil([] {
        return storedDefaults()->stringValue(QStringLiteral("launcherThemeID")) == QStringLiteral("forest");
    }));
    session->settle(300ms);
    DesktopSession::saveScreenshot(session->screenshot(),
                                   QStringLiteral("settings-e2e-theme-recolours-panel"));
    // Ctrl+Q in the settings window with the panel shown too.
    quitFrom(launcher, settings->id);
}

TEST_F(SettingsEndToEnd, TheOnboardingGreetsTheFirstLaunchUntilContinued) {
    prepareHome();
    startSession({});
    // The file card's status in its success colour: the check found the test's folder.
    const QColor successGreen(40, 167, 69);

    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        ChildProcess launcher;
        ASSERT_TRUE(start(launcher));
        if (run == 2) {
            // Continued once: the panel from now on, and the onboarding only from the status menu.
            const std::optional<XWindowInfo> panel = session->waitForWindow(launcher.pid(), panelTitle);
            ASSERT_TRUE(panel) << launcher.standardError().toStdString();
            ASSERT_TRUE(chooseFromStatusMenu(launcher, 3))
                << "no \"Permission Setup\u2026\" in the status menu";
            const std::optional<XWindowInfo> onboarding =
                session->waitForWindow(launcher.pid(), onboardingTitle);
            ASSERT_TRUE(onboarding) << "\"Permission Setup\u2026\" did not open the onboarding window";
            // Ctrl+Q in the onboarding window with the panel shown too.
            EXPECT_TRUE(session->isViewable(panel->id));
            quitFrom(launcher, onboarding->id);
            break;
        }
        const std::optional<XWindowInfo> onboarding = session->waitForWindow(launcher.pid(), onboardingTitle);
        ASSERT_TRUE(onboarding) << launcher.standardError().toStdString();
        EXPECT_EQ(onboarding->geometry.size(), QSize(680, 460));
        // (The status item in the tray carries the launcher's name too, in a window of its own.)
        for (const XWindowInfo &info : session->windowsOf(launcher.pid()))
            EXPECT_FALSE(info.viewable && !info.overrideRedirect && info.title == panelTitle)
                << "the panel waits for the onboarding";
        ASSERT_TRUE(waitForFocus(onboarding->id));

        if (run == 0) {
            // "Continue to Launcher" has the focus first; Tab goes round to the first card's button,
            // and Space presses it: the files and folders check.
            ASSERT_TRUE(key(QStringLiteral("Tab")));
            ASSERT_TRUE(key(QStringLiteral("space")));
            EXPECT_TRUE(session->waitUntil([&] {
                return pixelsOfColor(session->screenshot(), onboarding->geometry, successGreen).size() > 50;
            })) << "the files and folders check did not report success";
            session->settle(200ms);
            DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("settings-e2e-onboarding"));
        }
        // Escape skips, Return continues; either way the panel follows.
        ASSERT_TRUE(key(run == 0 ? QStringLiteral("Escape") : QStringLiteral("Return")));
        EXPECT_TRUE(waitForViewable(onboarding->id, false));
        const std::optional<XWindowInfo> panel = session->waitForWindow(launcher.pid(), panelTitle);
        ASSERT_TRUE(panel) << "the panel did not follow the onboarding";
        if (run == 0) {
            session->settle(300ms);
            EXPECT_EQ(storedDefaults()->boolValue(onboardingCompletedKey), std::nullopt)
                << "skipped, not completed";
        } else {
            EXPECT_TRUE(session->waitUntil([] {
                return storedDefaults()->boolValue(onboardingCompletedKey) == std::optional<bool>(true);
            }));
        }
        quitFrom(launcher, panel->id);
    }
}

} // namespace
} // namespace orvex
