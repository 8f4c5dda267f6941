// The real orvex-launcher as a user starts it: one instance, later launches hand over to it and leave.
// What the running launcher does with a hand-over (it shows its panel) is seen on a real display by the
// shell's end-to-end tests.
#include "LauncherProcess.h"

#include "platform/UserDefaults.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace orvex {
namespace {

using test::LauncherProcess;

// Each test starts from a home that no launcher has used: whatever an earlier test of the process left
// (a lock folder in the way, a killed launcher's socket, a setting) is gone.
class LauncherStartup : public ::testing::Test {
protected:
    void SetUp() override { test::removeLauncherFiles(); }
};

TEST_F(LauncherStartup, ASecondStartLeavesSilentlyAndHandsOverToTheFirst) {
    LauncherProcess first;
    ASSERT_TRUE(test::waitUntilInstance(first)) << first.standardError().toStdString();
    LauncherProcess second;
    ASSERT_TRUE(second.waitForExit());
    // 0 only after the running instance was reached.
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.standardOutput(), QByteArray());
    EXPECT_EQ(second.standardError(), QByteArray());
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(first.isRunning());
    EXPECT_EQ(QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher"))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("OrvexLauncher.lock")})
        << "an empty request leaves no file";
}

TEST_F(LauncherStartup, TenStartsAtOnceLeaveExactlyOneLauncher) {
    std::vector<std::unique_ptr<LauncherProcess>> launchers;
    for (int i = 0; i < 10; ++i)
        launchers.push_back(std::make_unique<LauncherProcess>());
    auto running = [&] {
        int count = 0;
        for (const auto &launcher : launchers)
            count += launcher->isRunning() ? 1 : 0;
        return count;
    };
    ASSERT_TRUE(test::waitUntil([&] { return running() == 1; }, test::launcherTimeout))
        << running() << " running";
    LauncherProcess *instance = nullptr;
    for (const auto &launcher : launchers) {
        if (launcher->isRunning()) {
            instance = launcher.get();
            continue;
        }
        EXPECT_EQ(launcher->exitCode(), 0);
        EXPECT_EQ(launcher->standardError(), QByteArray());
    }
    ASSERT_TRUE(instance);
    EXPECT_TRUE(test::waitUntilInstance(*instance));
}

TEST_F(LauncherStartup, AfterAKillTheNextStartBecomesTheLauncher) {
    LauncherProcess crashed;
    ASSERT_TRUE(test::waitUntilInstance(crashed));
    crashed.killHard();
    ASSERT_TRUE(QFile::exists(test::launcherSocketPath())) << "the killed launcher leaves its socket behind";

    LauncherProcess next;
    ASSERT_TRUE(test::waitUntilInstance(next)) << next.standardError().toStdString();
    LauncherProcess later;
    ASSERT_TRUE(later.waitForExit());
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_TRUE(next.isRunning());
}

// The end of a session: the launcher shuts down in order and the next start needs no clean-up.
TEST_F(LauncherStartup, TerminationSignalsEndTheLauncherInOrder) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        LauncherProcess launcher;
        ASSERT_TRUE(test::waitUntilInstance(launcher));
        ASSERT_TRUE(
            test::hasLoadedPlatform(launcher) ||
            test::waitUntil([&] { return test::hasLoadedPlatform(launcher); }, test::launcherTimeout));
        ::kill(static_cast<pid_t>(launcher.pid()), signal);
        ASSERT_TRUE(launcher.waitForExit());
        EXPECT_EQ(launcher.exitCode(), 0) << launcher.standardError().toStdString();
        EXPECT_FALSE(QFile::exists(test::launcherSocketPath()));
        EXPECT_TRUE(QFile::exists(test::launcherLockPath()));
    }
}

// The user deletes the defaults file while the launcher runs: what the launcher holds is written back,
// so the theme, the hot key and the finished onboarding survive the next start.
TEST_F(LauncherStartup, ADefaultsFileDeletedWhileRunningIsWrittenBackWhole) {
    {
        UserDefaults defaults(UserDefaults::standardFilePath());
        defaults.set(QStringLiteral("launcherThemeID"), QStringLiteral("nord"));
        defaults.set(QStringLiteral("launcherHotKeyEnabled"), false);
        defaults.set(QStringLiteral("launcherPermissionsOnboardingCompleted"), true);
        ASSERT_TRUE(defaults.flush());
    }
    LauncherProcess launcher;
    ASSERT_TRUE(test::waitUntilInstance(launcher));
    ASSERT_TRUE(test::waitUntil([&] { return test::hasLoadedPlatform(launcher); }, test::launcherTimeout));
    ASSERT_TRUE(QFile::remove(UserDefaults::standardFilePath()));
    ::kill(static_cast<pid_t>(launcher.pid()), SIGTERM);
    ASSERT_TRUE(launcher.waitForExit());
    const UserDefaults stored(UserDefaults::standardFilePath());
    EXPECT_EQ(stored.stringValue(QStringLiteral("launcherThemeID")), QStringLiteral("nord"));
    EXPECT_EQ(stored.boolValue(QStringLiteral("launcherHotKeyEnabled")), false);
    EXPECT_EQ(stored.boolValue(QStringLiteral("launcherPermissionsOnboardingCompleted")), true);
}

TEST_F(LauncherStartup, AllowingMultipleInstancesLetsTwoRun) {
    {
        UserDefaults defaults(UserDefaults::standardFilePath());
        defaults.set(QStringLiteral("allowMultipleInstances"), true);
        ASSERT_TRUE(defaults.flush());
    }

    LauncherProcess first;
    LauncherProcess second;
    // Neither leaves: both get as far as their application's display connection and stay.
    ASSERT_TRUE(
        test::waitUntil([&] { return test::hasLoadedPlatform(first) && test::hasLoadedPlatform(second); },
                        test::launcherTimeout));
    EXPECT_TRUE(first.isRunning()) << first.standardError().toStdString();
    EXPECT_TRUE(second.isRunning()) << second.standardError().toStdString();
    EXPECT_FALSE(QFile::exists(test::launcherLockPath()));
    EXPECT_FALSE(QFile::exists(test::launcherSocketPath()));
}

TEST_F(LauncherStartup, ALockThatCannotBeTakenEndsTheStartWithAnErrorLine) {
    struct Case {
        const char *name;
        std::function<void()> prepare;
        const char *detail;
    } cases[] = {
        {"a file where the lock folder should be",
         [] {
             test::writeFile(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher"),
                             "x");
         },
         "Could not create the folder "},
        {"a folder where the lock file should be", [] { test::makeDirectory(test::launcherLockPath()); },
         "openFailed(errno: 21): Is a directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::removeLauncherFiles();
        c.prepare();
        LauncherProcess launcher;
        ASSERT_TRUE(launcher.waitForExit());
        EXPECT_EQ(launcher.exitCode(), 1);
        EXPECT_EQ(launcher.standardOutput(), QByteArray());
        const QByteArray error = launcher.standardError();
        EXPECT_TRUE(error.startsWith("Orvex Launcher failed to acquire the single-instance lock: "))
            << error.toStdString();
        EXPECT_TRUE(error.contains(c.detail)) << error.toStdString();
        EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
        EXPECT_TRUE(error.endsWith('\n'));
    }
}

// An instance that holds the lock but never answers (hung, or listening where this start cannot see):
// the start gives up after its hand-over time and says so, instead of passing for a success.
TEST_F(LauncherStartup, AStartThatReachesNoInstanceSaysSoAndFails) {
    test::makeDirectory(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher"));
    const int held =
        ::open(QFile::encodeName(test::launcherLockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    LauncherProcess launcher;
    ASSERT_TRUE(launcher.waitForExit());
    ::close(held);
    EXPECT_EQ(launcher.exitCode(), 3);
    const QByteArray error = launcher.standardError();
    EXPECT_TRUE(error.startsWith("Orvex Launcher is already running, but it did not answer at " +
                                 QFile::encodeName(test::launcherSocketPath()) + " or "))
        << error.toStdString();
    EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
}

// Qt's xcb platform aborts without a display; the launcher says why, with a status of its own, and
// leaves nothing that a later start would hand over to.
TEST_F(LauncherStartup, WithoutAnXDisplayTheStartEndsWithAnErrorLineBeforeTakingTheLock) {
    struct Case {
        const char *name;
        std::optional<QString> display;
        const char *detail;
    } cases[] = {
        {"DISPLAY unset", std::nullopt, "DISPLAY is not set"},
        {"DISPLAY empty", QString(), "DISPLAY is not set"},
        {"no server there", QStringLiteral(":64999"), "\":64999\" does not answer"},
        {"not a display name", QStringLiteral("no-colon"), "\"no-colon\" is not a display name"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher"))
            .removeRecursively();
        LauncherProcess launcher([&](QProcessEnvironment &environment) {
            environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
            environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
            if (c.display)
                environment.insert(QStringLiteral("DISPLAY"), *c.display);
            else
                environment.remove(QStringLiteral("DISPLAY"));
        });
        ASSERT_TRUE(launcher.waitForExit());
        EXPECT_GT(launcher.exitCode(), 0) << "not a crash, not success";
        EXPECT_LT(launcher.exitCode(), 128);
        const QByteArray error = launcher.standardError();
        EXPECT_TRUE(error.startsWith("Orvex Launcher cannot open the X display: ")) << error.toStdString();
        EXPECT_TRUE(error.contains(c.detail)) << error.toStdString();
        EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
        EXPECT_FALSE(QFile::exists(test::launcherLockPath()));
        EXPECT_FALSE(QFile::exists(test::launcherSocketPath()));
    }
}

} // namespace
} // namespace orvex
