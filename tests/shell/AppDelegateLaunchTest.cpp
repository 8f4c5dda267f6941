// Launching and ending the launcher: where the panel first appears, the first window, start at login,
// the hot key's registration, the permission check after launch, later launches and termination.
#include "KeyHolder.h"
#include "ShellTestSupport.h"

#include "panel/PanelNotifications.h"
#include "panel/SearchTextField.h"
#include "platform/MainQueue.h"
#include "search/LauncherNotifications.h"
#include "shell/OrvexLauncherRuntime.h"
#include "single-instance/SingleInstanceController.h"
#include "support/DesktopSession.h"
#include "support/SmallFileSystem.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::DelegateHarness;

QRect screenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

void setPosition(UserDefaults &defaults, double x, double topY) {
    defaults.set(QStringLiteral("launcherWindowX"), PlistValue(x));
    defaults.set(QStringLiteral("launcherWindowTopY"), PlistValue(topY));
}

void setSize(UserDefaults &defaults, double width, double height) {
    defaults.set(QStringLiteral("launcherWindowWidth"), PlistValue(width));
    defaults.set(QStringLiteral("launcherWindowHeight"), PlistValue(height));
}

TEST(AppDelegateLaunch, AFirstLaunchCentresTheCompactPanelAndStoresItsPlaceAtOnce) {
    DelegateHarness harness;
    harness.launch();
    CustomWindow *window = harness.delegate->window();
    ASSERT_TRUE(window->isVisible());
    const QRect area = screenArea();
    // Centred at its full size, then collapsed with the top edge kept.
    const QPoint centred(area.x() + (area.width() - 600) / 2, area.y() + (area.height() - 460) / 2);
    EXPECT_EQ(window->geometry(), QRect(centred, QSize(600, 76)));
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowX")), double(centred.x()));
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowTopY")), double(centred.y()));
    EXPECT_NE(harness.defaults.realValue(QStringLiteral("launcherWindowHeight")), 76.0)
        << "the compact height is never stored";
    EXPECT_EQ(window->windowFlags() & (Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
              Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvex Launcher"));
    EXPECT_TRUE(harness.delegate->contentView()->searchField()->hasFocus());
    EXPECT_EQ(harness.posted(QString(NotificationName::launcherWindowAppeared)).size(), 1);
}

TEST(AppDelegateLaunch, ASavedPlaceAndSizeAreUsedWithinTheScreen) {
    const QRect area = screenArea();
    struct Case {
        const char *name;
        QPointF saved;
        QSizeF size;
        QRect expected;
        int expandedHeight;
    } cases[] = {
        {"as saved", {50, 40}, {700, 300}, {50, 40, 700, 76}, 300},
        {"limits", {10, 10}, {200, 76}, {10, 10, 560, 76}, 120},
        // Kept on screen as the compact panel that shows: a place low on the screen stays where it is.
        {"low on the screen",
         {50, double(area.bottom() + 1 - 100)},
         {600, 460},
         {50, area.bottom() + 1 - 100, 600, 76},
         460},
        {"a screen that is gone",
         {5000, 3000},
         {600, 460},
         {area.right() + 1 - 600, area.bottom() + 1 - 76, 600, 76},
         460},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DelegateHarness harness([&](UserDefaults &defaults) {
            setPosition(defaults, c.saved.x(), c.saved.y());
            setSize(defaults, c.size.width(), c.size.height());
        });
        harness.launch();
        EXPECT_EQ(harness.delegate->window()->geometry(), c.expected);
        EXPECT_EQ(harness.delegate->lastExpandedWindowHeight(), c.expandedHeight);
    }
}

TEST(AppDelegateLaunch, WithoutCompletedOnboardingOnlyTheOnboardingWindowShows) {
    DelegateHarness harness([](UserDefaults &defaults) {
        defaults.remove(QStringLiteral("launcherPermissionsOnboardingCompleted"));
    });
    harness.launch();
    EXPECT_FALSE(harness.delegate->window()->isVisible());
    QWidget *onboarding = harness.delegate->permissionsOnboardingWindow();
    ASSERT_TRUE(onboarding);
    EXPECT_TRUE(onboarding->isVisible());
    EXPECT_EQ(onboarding->windowTitle(), QStringLiteral("Permission Setup"));
    EXPECT_EQ(harness.fileSystemWarmups.load(), 0) << "no permission check at a first launch";

    // A later launch brings the onboarding window forward and leaves the panel hidden.
    harness.delegate->handleDuplicateLaunch();
    EXPECT_FALSE(harness.delegate->window()->isVisible());
    EXPECT_TRUE(onboarding->isVisible());

    // "Permission Setup…" again shows the same window.
    harness.delegate->showPermissionsOnboardingWindow();
    EXPECT_EQ(harness.delegate->permissionsOnboardingWindow(), onboarding);
}

TEST(AppDelegateLaunch, ThePermissionCheckAfterLaunchReopensOnboardingWhenAccessIsMissing) {
    using Result = BrowserAutomationWarmupResult;
    struct Case {
        const char *name;
        qint64 folders;
        Result browser;
        bool flagCleared;
        bool reopens;
    } cases[] = {
        {"all found", 4, Result::tabsFound(3), false, false},
        {"no browser running", 4, Result::browserNotRunning(), false, false},
        {"a browser without tabs", 4, Result::noTabsFound({QStringLiteral("Brave")}), false, false},
        {"a script error of another kind", 4,
         Result::scriptError(QStringLiteral("Edge"),
                             QStringLiteral("Open tabs cannot be listed on this system")),
         false, false},
        {"no folder found", 0, Result::tabsFound(3), false, true},
        {"automation refused", 4, Result::permissionDenied(QStringLiteral("Edge")), false, true},
        {"a script error that says it was refused", 4,
         Result::scriptError(QStringLiteral("Edge"),
                             QStringLiteral("Not authorized to send Apple events to Edge. (-1743)")),
         false, true},
        {"onboarding reset meanwhile", 4, Result::tabsFound(3), true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DelegateHarness harness;
        harness.folderCount = c.folders;
        harness.browserResult = c.browser;
        if (c.flagCleared)
            harness.duringFileSystemWarmup = [&] {
                harness.defaults.set(QStringLiteral("launcherPermissionsOnboardingCompleted"),
                                     PlistValue(false));
            };
        harness.launch();
        ASSERT_TRUE(test::waitUntil([&] { return !harness.delegate->isRevalidatingPermissions(); }));
        EXPECT_EQ(harness.fileSystemWarmups.load(), 1);
        QWidget *onboarding = harness.delegate->permissionsOnboardingWindow();
        EXPECT_EQ(onboarding && onboarding->isVisible(), c.reopens);
        EXPECT_EQ(harness.delegate->window()->isVisible(), !c.reopens);
    }
}

TEST(AppDelegateLaunch, StartAtLoginIsReconciledAtLaunch) {
    using State = LaunchAtLoginState;
    struct Case {
        const char *name;
        std::optional<bool> stored;
        State system;
        std::optional<State> afterUpdate;
        bool fails;
        QList<bool> expectedUpdates;
        std::optional<bool> expectedStored;
        QByteArray expectedOutput;
    } cases[] = {
        // Never chosen: the system's state is taken and nothing in the system changes.
        {"never chosen, registered", std::nullopt, State::enabled, std::nullopt, false, {}, true, {}},
        {"never chosen, awaiting approval",
         std::nullopt,
         State::requiresApproval,
         std::nullopt,
         false,
         {},
         true,
         {}},
        {"never chosen, not registered", std::nullopt, State::disabled, std::nullopt, false, {}, false, {}},
        {"wished on", true, State::disabled, std::nullopt, false, {true}, true, {}},
        {"wished off", false, State::enabled, std::nullopt, false, {false}, false, {}},
        {"wished on, approval pending",
         true,
         State::disabled,
         State::requiresApproval,
         false,
         {true},
         true,
         {}},
        {"a failing update keeps the wish",
         true,
         State::disabled,
         std::nullopt,
         true,
         {true},
         true,
         "Failed to update run-at-login state: Could not register run-at-login: disk full\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DelegateHarness harness([&](UserDefaults &defaults) {
            if (c.stored)
                defaults.set(QStringLiteral("launcherRunAtLogin"), PlistValue(*c.stored));
        });
        harness.launchAtLogin->state = c.system;
        harness.launchAtLogin->stateAfterUpdate = c.afterUpdate;
        if (c.fails)
            harness.launchAtLogin->failure = LaunchAtLoginManagerError{
                LaunchAtLoginManagerError::Kind::registerFailed, QStringLiteral("disk full")};
        testing::internal::CaptureStdout();
        harness.launch();
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(harness.launchAtLogin->updates, c.expectedUpdates);
        EXPECT_EQ(harness.defaults.boolValue(QStringLiteral("launcherRunAtLogin")), c.expectedStored);
        EXPECT_EQ(QByteArray::fromStdString(output), c.expectedOutput);
    }
}

// The launcher says which of its keys are expendable: when the defaults file would be full, the search
// history gives way, and the counts learned meanwhile are written.
TEST(AppDelegateLaunch, TheSearchHistoryGivesWayBeforeASettingWhenTheDefaultsFileIsFull) {
    const QString path = test::homePath() + QStringLiteral("/.config/history-full/defaults.plist");
    constexpr qint64 limit = 256 * 1024;
    const QString history = QStringLiteral("launcherSearchHistoryQueries");
    DelegateHarness harness(path, limit, [&](UserDefaults &defaults) {
        defaults.set(history, PlistValue(PlistValue::Array{PlistValue(QString(200000, QLatin1Char('q')))}));
    });
    ASSERT_TRUE(harness.defaults.flush());
    harness.launch();
    PlistValue::Dictionary counts;
    for (int i = 0; i < 3000; ++i)
        counts.insert(QStringLiteral("/home/user/Documents/file-%1.txt").arg(i), PlistValue(i));
    harness.defaults.set(QStringLiteral("launcherPathOpenCounts"), PlistValue(counts));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(harness.defaults.flush());
    testing::internal::GetCapturedStdout();
    UserDefaults stored(path, std::chrono::hours(1), limit);
    EXPECT_EQ(stored.dictionaryValue(QStringLiteral("launcherPathOpenCounts")), counts);
    EXPECT_FALSE(stored.value(history));
    EXPECT_EQ(stored.boolValue(QStringLiteral("launcherPermissionsOnboardingCompleted")), true);
}

TEST(AppDelegateLaunch, TheHotKeyIsRegisteredAtLaunchAndAgainOnEveryChange) {
    struct Case {
        const char *name;
        bool enabled;
        bool expectedSuccess;
    } cases[] = {
        // Tests reach no X display: an enabled hot key cannot be grabbed there.
        {"enabled, no display", true, false},
        {"disabled", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DelegateHarness harness([&](UserDefaults &defaults) {
            defaults.set(QStringLiteral("launcherHotKeyEnabled"), PlistValue(c.enabled));
        });
        harness.launch();
        const QString status(NotificationName::launcherHotKeyRegistrationStatusChanged);
        ASSERT_EQ(harness.posted(status).size(), 1);
        EXPECT_EQ(notificationFlag(harness.posted(status).first(), NotificationUserInfoKey::success),
                  c.expectedSuccess);
        ASSERT_TRUE(harness.delegate->hotKeyManager().registeredSettings());
        EXPECT_EQ(harness.delegate->hotKeyManager().registeredSettings()->isEnabled, c.enabled);

        harness.defaults.set(QStringLiteral("launcherHotKeyCode"), PlistValue(qint64(120)));
        harness.center.post(QString(NotificationName::launcherHotKeyChanged));
        ASSERT_TRUE(test::waitUntil([&] { return harness.posted(status).size() == 2; }));
        EXPECT_EQ(harness.delegate->hotKeyManager().registeredSettings()->keyCode, 120u);
        test::waitUntil([] { return false; }, std::chrono::milliseconds(50));
        EXPECT_EQ(harness.posted(status).size(), 2) << "one registration per change";
    }
}

// A second launch of the real single-instance machinery, inside this process: the first controller's
// handler is the delegate's.
// The lines of the launcher's own in what was written to stderr (the offscreen platform adds its own).
QStringList launcherLines(const std::string &written) {
    return QString::fromStdString(written)
        .split(QLatin1Char('\n'))
        .filter(QRegularExpression(QStringLiteral("^Orvex Launcher ")));
}

// A hot key that another program holds fails out loud: one line on stderr naming the key and why, a
// desktop notification, and the settings window's sentence whenever it opens. It is tried again now
// and then, and works as soon as the other program lets it go.
TEST(AppDelegateLaunch, AHotKeyHeldByAnotherProgramIsSaidAndTakenOnceFree) {
    test::DesktopSession server({.screen = QSize(320, 240), .windowManager = false});
    ASSERT_TRUE(server.isReady());
    test::KeyHolder other(server.displayName());
    ASSERT_TRUE(other.holds());

    DelegateHarness harness;
    harness.hotKeyDisplay = server.displayName();
    harness.hotKeyRetryInterval = std::chrono::milliseconds(100);
    harness.restart();
    testing::internal::CaptureStderr();
    harness.launch();
    EXPECT_EQ(
        launcherLines(testing::internal::GetCapturedStderr()),
        QStringList{QStringLiteral(
            "Orvex Launcher could not register the hot key Control + Space: another program holds it")});
    ASSERT_EQ(harness.userNotifications.size(), 1);
    EXPECT_EQ(harness.userNotifications.first().first,
              QStringLiteral("Hot key Control + Space is not available"));
    EXPECT_TRUE(
        harness.userNotifications.first().second.contains(QStringLiteral("another program holds it")));
    EXPECT_TRUE(harness.delegate->isHotKeyRegistrationFailing());

    // Opened later, the settings window still says so, and why.
    const QString failure = QStringLiteral("Hotkey could not be registered. It may be used by another app or "
                                           "the desktop. Reason: another program holds it.");
    const QString status(NotificationName::launcherHotKeyRegistrationStatusChanged);
    harness.delegate->showSettingsWindow();
    QWidget *settings = harness.delegate->settingsWindow();
    ASSERT_TRUE(settings);
    auto sentenceShown = [&] {
        for (const QLabel *label : settings->findChildren<QLabel *>())
            if (label->isVisible() && label->text() == failure)
                return true;
        return false;
    };
    EXPECT_TRUE(test::waitUntil(sentenceShown));
    // Once laid out, whole: as tall as its wrapped lines and inside its section's card.
    const QLabel *sentence = nullptr;
    for (const QLabel *label : settings->findChildren<QLabel *>())
        if (label->isVisible() && label->text() == failure)
            sentence = label;
    ASSERT_TRUE(sentence);
    EXPECT_TRUE(test::waitUntil([&] {
        return sentence->height() >= sentence->heightForWidth(sentence->width());
    })) << sentence->height()
        << " of " << sentence->heightForWidth(sentence->width());
    EXPECT_TRUE(sentence->parentWidget()->rect().contains(sentence->geometry()));
    test::DesktopSession::saveScreenshot(settings->grab().toImage(),
                                         QStringLiteral("shell-settings-hot-key-held"));

    // Tried again quietly, and taken once the other program lets go.
    testing::internal::CaptureStderr();
    test::waitUntil([] { return false; }, std::chrono::milliseconds(350));
    other.letGo();
    ASSERT_TRUE(test::waitUntil([&] { return harness.delegate->hotKeyManager().isRegistered(); }));
    EXPECT_EQ(launcherLines(testing::internal::GetCapturedStderr()), QStringList()) << "retries say nothing";
    EXPECT_EQ(harness.userNotifications.size(), 1);
    EXPECT_FALSE(harness.delegate->isHotKeyRegistrationFailing());
    ASSERT_TRUE(test::waitUntil([&] {
        return notificationFlag(harness.posted(status).last(), NotificationUserInfoKey::success) == true;
    }));
    EXPECT_TRUE(test::waitUntil([&] { return !sentenceShown(); }))
        << "the sentence says it is registered now";

    harness.delegate->hideWindow();
    ASSERT_TRUE(server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+space")}));
    EXPECT_TRUE(test::waitUntil([&] { return harness.delegate->window()->isVisible(); }))
        << "the hot key works";
}

// Return on a row that nothing on the system can open is not taken for done: the user is told.
TEST(AppDelegateLaunch, AnOpenThatFailsIsToldToTheUser) {
    // Without a display an enabled hot key would be a failure to tell of too.
    DelegateHarness harness([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherHotKeyEnabled"), PlistValue(false));
    });
    harness.launch();
    harness.workspace.openFailure =
        OpenResult::failed(OpenFailure::noApplicationForType, QStringLiteral("text/plain"));
    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(460));
    testing::internal::CaptureStderr();
    QTest::keyClick(harness.delegate->contentView()->searchField(), Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return !harness.workspace.openedURLs.isEmpty(); }));
    ASSERT_TRUE(test::waitUntil([&] { return !harness.userNotifications.isEmpty(); }));
    const QString path = test::homePath() + QStringLiteral("/Documents/row 0.txt");
    const QString reason = QStringLiteral("No application on this system opens files of the type \u201cplain "
                                          "text document\u201d (text/plain).");
    EXPECT_EQ(launcherLines(testing::internal::GetCapturedStderr()),
              QStringList{QStringLiteral("Orvex Launcher could not open %1: %2").arg(path, reason)});
    EXPECT_EQ(harness.userNotifications.first().first,
              QStringLiteral("Could not open \u201crow 0.txt\u201d"));
    EXPECT_EQ(harness.userNotifications.first().second, reason);
    EXPECT_FALSE(harness.delegate->window()->isVisible());

    // An open that works says nothing.
    harness.workspace.opensEverything = true;
    harness.delegate->showWindow();
    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(460));
    QTest::keyClick(harness.delegate->contentView()->searchField(), Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return harness.workspace.openedURLs.size() == 2; }));
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(harness.userNotifications.size(), 1);
}

// Settings that cannot be saved (a full disk, a read-only folder) are told once, on stderr and on the
// desktop, with why; the launcher keeps them in memory meanwhile and writes them once it can.
TEST(AppDelegateLaunch, SettingsThatCannotBeSavedAreToldOnceWithWhy) {
    test::SmallFileSystem disk(256 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
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
        const QString path =
            disk.path() + QLatin1Char('/') + QLatin1String(c.name) + QStringLiteral("/defaults.plist");
        // Without a display an enabled hot key would be a failure to tell of too.
        DelegateHarness harness(path, UserDefaults::maxFileBytes, [](UserDefaults &defaults) {
            defaults.set(QStringLiteral("launcherHotKeyEnabled"), PlistValue(false));
        });
        harness.launch();
        ASSERT_TRUE(harness.defaults.flush());
        ASSERT_TRUE(c.refuse());
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        for (int theme = 0; theme < 3; ++theme) {
            harness.defaults.set(QStringLiteral("launcherThemeID"), PlistValue(QString::number(theme)));
            EXPECT_FALSE(harness.defaults.flush());
        }
        // Whatever the failures queued for the GUI thread has run once this has.
        bool delivered = false;
        MainQueue::post([&] { delivered = true; });
        EXPECT_TRUE(test::waitUntil([&] { return delivered; }));
        EXPECT_TRUE(launcherLines(testing::internal::GetCapturedStderr()).isEmpty());
        const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
        QStringList lines;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line.contains(QLatin1String("defaults file")))
                lines.append(line);

        ASSERT_EQ(lines.size(), 1) << out.toStdString();
        EXPECT_TRUE(lines.first().contains(QStringLiteral("Failed to write defaults file: %1: ").arg(path)))
            << lines.first().toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String(c.reason))) << lines.first().toStdString();
        ASSERT_EQ(harness.userNotifications.size(), 1);
        EXPECT_EQ(harness.userNotifications.first().first, QStringLiteral("Settings cannot be saved"));
        const QString body = harness.userNotifications.first().second;
        EXPECT_TRUE(body.contains(path) && body.contains(QLatin1String(c.reason))) << body.toStdString();
        EXPECT_EQ(harness.defaults.stringValue(QStringLiteral("launcherThemeID")), QStringLiteral("2"));

        ASSERT_TRUE(c.allow());
        EXPECT_TRUE(harness.defaults.flush());
        EXPECT_EQ(UserDefaults(path).stringValue(QStringLiteral("launcherThemeID")), QStringLiteral("2"));
    }
}

class SecondLaunch {
public:
    SecondLaunch()
        : configuration_(QStringLiteral("io.orvex.launcher.test"), SingleInstancePolicy::alwaysSingle(),
                         SingleInstanceLockLocation::applicationSupport()) {
        result_ = SingleInstanceController::start(configuration_, DuplicateLaunchRequest{});
    }
    std::shared_ptr<SingleInstanceController> controller() const { return result_.controller; }
    // Starts again: the running controller takes the launch.
    bool launchAgain() {
        return SingleInstanceController::start(configuration_, DuplicateLaunchRequest{}).kind ==
               SingleInstanceStartupResult::Kind::alreadyRunning;
    }

private:
    SingleInstanceConfiguration configuration_;
    SingleInstanceStartupResult result_;
};

TEST(AppDelegateLaunch, ALaterLaunchAlwaysShowsThePanelAndNeverHidesIt) {
    SecondLaunch instance;
    ASSERT_TRUE(instance.controller());
    DelegateHarness harness;
    harness.singleInstanceController = instance.controller();
    harness.restart();
    harness.launch();
    CustomWindow *window = harness.delegate->window();
    harness.delegate->hideWindow();
    ASSERT_FALSE(window->isVisible());

    ASSERT_TRUE(instance.launchAgain());
    ASSERT_TRUE(test::waitUntil([&] { return window->isVisible(); })) << "the hidden panel shows";
    ASSERT_TRUE(instance.launchAgain());
    test::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(window->isVisible()) << "a visible panel stays";

    // After termination later launches do nothing.
    harness.delegate->hideWindow();
    harness.delegate->applicationWillTerminate();
    ASSERT_TRUE(instance.launchAgain());
    test::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(window->isVisible());
}

TEST(AppDelegateLaunch, TerminationRemovesObserversMonitorsAndTheHotKey) {
    DelegateHarness harness;
    harness.launch();
    ASSERT_TRUE(harness.delegate->statusItem());
    ASSERT_TRUE(harness.delegate->hasEventMonitors());
    harness.delegate->applicationWillTerminate();

    EXPECT_FALSE(harness.delegate->hasEventMonitors());
    EXPECT_FALSE(harness.delegate->hotKeyManager().registeredSettings());
    // No observer answers any more.
    harness.defaults.set(QStringLiteral("launcherShowMenuBarIcon"), PlistValue(false));
    harness.center.post(QString(NotificationName::launcherMenuBarIconVisibilityChanged));
    harness.center.post(QString(NotificationName::launcherHotKeyChanged));
    postResultsVisibilityChanged(true, harness.center);
    test::waitUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_TRUE(harness.delegate->statusItem());
    EXPECT_EQ(harness.posted(QString(NotificationName::launcherHotKeyRegistrationStatusChanged)).size(), 1);
    EXPECT_EQ(harness.delegate->window()->height(), 76);
}

} // namespace
} // namespace orvex
