#include "launch-at-login/LaunchAtLoginManager.h"
#include "launch-at-login/LaunchAtLoginPreferenceStore.h"

#include "support/RestrictedFolder.h"
#include "support/SmallFileSystem.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orvex {
namespace {

using State = LaunchAtLoginState;
using ErrorKind = LaunchAtLoginManagerError::Kind;

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class LaunchAtLoginManagerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString autostart = dir.path() + QStringLiteral("/config/autostart");

    LaunchAtLoginManager managerFor(const QString &executable) const {
        return LaunchAtLoginManager(
            LoginItem{QStringLiteral("io.orvex.launcher"), QStringLiteral("Orvex Launcher"), executable},
            autostart);
    }
    QString entry() const { return autostart + QStringLiteral("/io.orvex.launcher.desktop"); }
};

// What a desktop does with the entry at login: GIO reads it and starts its Exec. The program is a
// script that records the path it was started by.
QString launchLikeADesktop(const QString &entryPath, const QString &marker) {
    GError *error = nullptr;
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(QFile::encodeName(entryPath).constData());
    if (!info)
        return QStringLiteral("GIO refused the entry");
    const gboolean launched = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    g_object_unref(info);
    if (!launched) {
        const QString message = QString::fromUtf8(error->message);
        g_error_free(error);
        return QStringLiteral("launch failed: ") + message;
    }
    if (!test::waitUntil([&] { return QFile::exists(marker) && !contents(marker).isEmpty(); },
                         std::chrono::seconds(10)))
        return QStringLiteral("the program never ran");
    return QString::fromUtf8(contents(marker));
}

TEST_F(LaunchAtLoginManagerTest, TheEntryIsValidAndStartsTheProgramWhateverItsPath) {
    // No session bus: GIO's launch notice must not reach a real desktop.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (desktop-file-utils) is needed";
    const char *folders[] = {
        "plain",      "with spaces",        "it's quoted",
        "say \"hi\"", "back\\slash",        "$HOME and ${x}",
        "tick`s",     "semi;colon & pipe|", "tilde~ hash# (paren) *?",
        "ünïcødé",
    };
    for (const char *folder : folders) {
        SCOPED_TRACE(folder);
        const QString programFolder = dir.path() + QStringLiteral("/programs/") + QString::fromUtf8(folder);
        const QString program = programFolder + QStringLiteral("/orvex launcher");
        const QString marker = programFolder + QStringLiteral("/launched");
        test::writeFile(program, "#!/bin/sh\nprintf '%s' \"$0\" > \"$(dirname \"$0\")/launched\"\n");
        ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        LaunchAtLoginManager manager = managerFor(program);
        EXPECT_EQ(manager.currentState(), State::disabled);
        const LaunchAtLoginUpdateResult result = manager.update(true);
        EXPECT_EQ(result.state, State::enabled);
        EXPECT_FALSE(result.error);
        EXPECT_EQ(manager.currentState(), State::enabled);

        QProcess validate;
        validate.start(validator, {entry()});
        ASSERT_TRUE(validate.waitForFinished(10000));
        const QByteArray report = validate.readAllStandardOutput() + validate.readAllStandardError();
        EXPECT_EQ(validate.exitCode(), 0) << report.toStdString();
        EXPECT_TRUE(report.isEmpty()) << report.toStdString();

        EXPECT_EQ(launchLikeADesktop(entry(), marker), program);
        EXPECT_FALSE(manager.update(false).error);
    }
}

TEST_F(LaunchAtLoginManagerTest, DisablingRemovesAnyEntryOfOurs) {
    const QString program = QStringLiteral("/opt/orvex/orvex-launcher");
    LaunchAtLoginManager manager = managerFor(program);
    ASSERT_EQ(manager.update(true).state, State::enabled);
    EXPECT_EQ(contents(entry()), manager.entryContents());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(entry()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    LaunchAtLoginUpdateResult result = manager.update(false);
    EXPECT_EQ(result.state, State::disabled);
    EXPECT_FALSE(result.error);
    EXPECT_FALSE(QFile::exists(entry()));
    result = manager.update(false);
    EXPECT_EQ(result.state, State::disabled);
    EXPECT_FALSE(result.error);

    // An entry that is hidden or starts another program does not start us, but still goes with the wish.
    test::writeFile(entry(), "[Desktop Entry]\nType=Application\nName=Old\nExec=/old/place/orvex-launcher\n");
    EXPECT_EQ(manager.currentState(), State::disabled);
    EXPECT_EQ(manager.update(false).state, State::disabled);
    EXPECT_FALSE(QFile::exists(entry()));
}

TEST_F(LaunchAtLoginManagerTest, OnlyAnEntryThatStartsThisProgramCountsAsEnabled) {
    const QString program = QStringLiteral("/opt/orvex/orvex-launcher");
    LaunchAtLoginManager manager = managerFor(program);
    const QByteArray ours = manager.entryContents();
    struct Case {
        const char *name;
        std::function<void(const QString &path)> prepare;
        State state;
    } cases[] = {
        {"no entry", [](const QString &) {}, State::disabled},
        {"our entry", [&](const QString &p) { test::writeFile(p, ours); }, State::enabled},
        {"our entry, hidden", [&](const QString &p) { test::writeFile(p, ours + "Hidden=true\n"); },
         State::disabled},
        {"our entry, switched off",
         [&](const QString &p) {
             test::writeFile(p, QByteArray(ours).replace("X-GNOME-Autostart-enabled=true",
                                                         "X-GNOME-Autostart-enabled=false"));
         },
         State::disabled},
        {"another program",
         [](const QString &p) {
             test::writeFile(p, "[Desktop Entry]\nType=Application\nExec=/usr/bin/other\n");
         },
         State::disabled},
        {"not a desktop entry",
         [](const QString &p) { test::writeFile(p, "Exec=/opt/orvex/orvex-launcher\n"); }, State::disabled},
        {"a folder", [](const QString &p) { test::makeDirectory(p); }, State::disabled},
        {"a named pipe",
         [](const QString &p) {
             test::makeDirectory(QFileInfo(p).absolutePath());
             ::mkfifo(QFile::encodeName(p).constData(), 0600);
         },
         State::disabled},
    };
    for (const Case &c : cases) {
        QDir(autostart).removeRecursively();
        c.prepare(entry());
        EXPECT_EQ(manager.currentState(), c.state) << c.name;
    }
}

TEST_F(LaunchAtLoginManagerTest, WishingOnTwiceWritesOnce) {
    LaunchAtLoginManager manager = managerFor(QStringLiteral("/opt/orvex/orvex-launcher"));
    ASSERT_EQ(manager.update(true).state, State::enabled);
    test::writeFile(entry(), manager.entryContents() + "# kept\n");
    const LaunchAtLoginUpdateResult again = manager.update(true);
    EXPECT_EQ(again.state, State::enabled);
    EXPECT_FALSE(again.error);
    EXPECT_TRUE(contents(entry()).endsWith("# kept\n"));

    // A hidden entry of ours is replaced by one that starts us.
    test::writeFile(entry(), manager.entryContents() + "Hidden=true\n");
    EXPECT_EQ(manager.update(true).state, State::enabled);
    EXPECT_EQ(contents(entry()), manager.entryContents());
}

TEST_F(LaunchAtLoginManagerTest, FailuresSayWhyAndLeaveTheStoredWishAlone) {
    UserDefaults defaults;
    const LaunchAtLoginPreferenceStore store(defaults, QStringLiteral("launcherRunAtLogin"));
    LaunchAtLoginManager manager = managerFor(QStringLiteral("/opt/orvex/orvex-launcher"));

    struct Case {
        const char *name;
        bool wish;
        std::function<std::unique_ptr<test::RestrictedFolder>()> prepare;
        ErrorKind kind;
        const char *reason;
    } cases[] = {
        {"a file where the autostart folder should be", true,
         [&] {
             test::writeFile(autostart, "not a folder");
             return nullptr;
         },
         ErrorKind::registerFailed, "Not a directory"},
        {"read-only autostart folder, on", true,
         [&] {
             test::makeDirectory(autostart);
             return std::make_unique<test::RestrictedFolder>(autostart, 0555);
         },
         ErrorKind::registerFailed, "Permission denied"},
        {"read-only autostart folder, off", false,
         [&] {
             test::writeFile(entry(), manager.entryContents());
             return std::make_unique<test::RestrictedFolder>(autostart, 0555);
         },
         ErrorKind::unregisterFailed, "Permission denied"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(autostart);
        QDir(autostart).removeRecursively();
        store.save(c.wish);
        const std::unique_ptr<test::RestrictedFolder> readOnly = c.prepare();
        if (readOnly && readOnly->canCreateFiles())
            GTEST_SKIP() << "cannot make a folder read-only here";

        const LaunchAtLoginUpdateResult result = manager.update(c.wish);
        ASSERT_TRUE(result.error);
        EXPECT_EQ(result.error->kind, c.kind);
        const QString description = result.error->localizedDescription();
        EXPECT_TRUE(description.startsWith(c.kind == ErrorKind::registerFailed
                                               ? QStringLiteral("Could not register run-at-login: ")
                                               : QStringLiteral("Could not unregister run-at-login: ")))
            << description.toStdString();
        EXPECT_TRUE(description.contains(QString::fromUtf8(c.reason))) << description.toStdString();
        EXPECT_EQ(result.state, manager.currentState());
        EXPECT_EQ(result.state, c.wish ? State::disabled : State::enabled);
        EXPECT_EQ(store.storedValue(), c.wish);
    }
}

// A full disk: the entry that was there stays as it was (no empty or partial one takes its place) and
// the answer says why, instead of reporting an entry that starts nothing.
TEST(LaunchAtLoginManagerOnAFullDisk, TheEntryIsNotReplacedAndTheFailureSaysWhy) {
    test::SmallFileSystem disk(64 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
    const QString autostart = disk.path() + QStringLiteral("/autostart");
    const QString entry = autostart + QStringLiteral("/io.orvex.launcher.desktop");
    const LoginItem item{QStringLiteral("io.orvex.launcher"), QStringLiteral("Orvex Launcher"),
                         QStringLiteral("/opt/orvex/orvex-launcher")};
    LaunchAtLoginManager manager(item, autostart);
    // From where the program was before it moved: it no longer starts this one.
    const QByteArray old = "[Desktop Entry]\nType=Application\nName=Old\nExec=/old/place/orvex-launcher\n";
    test::writeFile(entry, old);
    ASSERT_TRUE(disk.fill());

    const LaunchAtLoginUpdateResult result = manager.update(true);
    ASSERT_TRUE(result.error) << "an entry that could not be written was reported written";
    EXPECT_EQ(result.error->kind, ErrorKind::registerFailed);
    EXPECT_TRUE(result.error->localizedDescription().contains(QStringLiteral("No space left on device")))
        << result.error->localizedDescription().toStdString();
    EXPECT_EQ(result.state, State::disabled);
    EXPECT_EQ(contents(entry), old);
    EXPECT_EQ(QDir(autostart).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("io.orvex.launcher.desktop")});

    ASSERT_TRUE(disk.makeRoom());
    EXPECT_EQ(manager.update(true).state, State::enabled);
    EXPECT_EQ(contents(entry), manager.entryContents());
}

// Paths that no desktop would start from an entry are refused rather than written.
TEST_F(LaunchAtLoginManagerTest, PathsAnEntryCannotStartAreRefusedWithoutWritingAnything) {
    const QString programs[] = {
        QFile::decodeName(QFile::encodeName(dir.path()) + "/bad\xff/orvex-launcher"),
        dir.path() + QStringLiteral("/100% sure/orvex-launcher"),
    };
    for (const QString &program : programs) {
        LaunchAtLoginManager manager = managerFor(program);
        const LaunchAtLoginUpdateResult result = manager.update(true);
        ASSERT_TRUE(result.error) << program.toStdString();
        EXPECT_EQ(result.error->kind, ErrorKind::registerFailed);
        EXPECT_TRUE(result.error->localizedDescription().contains(program)) << program.toStdString();
        EXPECT_EQ(result.state, State::disabled);
        EXPECT_FALSE(QFile::exists(entry()));
    }
}

TEST(LoginItem, TheMainApplicationIsWhatTheProgramDeclaredElseTheProcessItself) {
    const LoginItem implicit = LoginItem::mainApplication();
    EXPECT_EQ(implicit.executablePath, QCoreApplication::applicationFilePath());
    EXPECT_EQ(implicit.identifier, QStringLiteral("launch_at_login_tests"));
    EXPECT_EQ(implicit.name, QStringLiteral("launch_at_login_tests"));

    LoginItem::setMainApplication({QStringLiteral("io.example.app"), QStringLiteral("Example"), QString()});
    const LoginItem declared = LoginItem::mainApplication();
    EXPECT_EQ(declared.identifier, QStringLiteral("io.example.app"));
    EXPECT_EQ(declared.name, QStringLiteral("Example"));
    EXPECT_EQ(declared.executablePath, QCoreApplication::applicationFilePath());
    EXPECT_EQ(LaunchAtLoginManager().entryPath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/io.example.app.desktop"));
}

TEST(LaunchAtLoginManagerFolder, TheAutostartFolderFollowsTheConfigFolder) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_CONFIG_HOME", "/config/home", 1);
    EXPECT_EQ(LaunchAtLoginManager::defaultAutostartFolder(), QStringLiteral("/config/home/autostart"));
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(LaunchAtLoginManager::defaultAutostartFolder(),
              QDir::homePath() + QStringLiteral("/.config/autostart"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(LaunchAtLoginManager::defaultAutostartFolder(),
              QDir::homePath() + QStringLiteral("/.config/autostart"));
    ::setenv("XDG_CONFIG_HOME", saved.constData(), 1);
}

TEST(LaunchAtLoginState, TheToggleShowsOnWheneverRegistered) {
    EXPECT_TRUE(shouldEnableToggle(LaunchAtLoginState::enabled));
    EXPECT_TRUE(shouldEnableToggle(LaunchAtLoginState::requiresApproval));
    EXPECT_FALSE(shouldEnableToggle(LaunchAtLoginState::disabled));
}

} // namespace
} // namespace orvex
