// Programs the real orvex-launcher starts when a person picks them in the panel: where they start, what
// they are given, and what the person is told when one cannot start. The applications are desktop
// entries of the test's own whose programs write down how they were started.
#include "LauncherEndToEndFixture.h"

#include "support/FakeNotificationService.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvex {
namespace {

using test::ChildProcess;
using test::LauncherEndToEnd;
using test::prepareHome;
using test::XWindowInfo;

class LaunchingEndToEnd : public LauncherEndToEnd {
protected:
    // Where the program of `id` writes down its start.
    static QString recordPath(const QString &id) {
        return test::homePath() + QStringLiteral("/started-") + id;
    }
    // A program that writes "cwd=<its working folder>", then "env:<NAME=value>" for each variable, then
    // "arg=<argument>" for each argument. It needs env, sed and mv on its search path.
    static QString startRecordingProgram(const QString &id) {
        const QString path = test::homePath() + QStringLiteral("/programs/") + id;
        test::writeFile(path,
                        QStringLiteral("#!/bin/sh\n"
                                       "{ printf 'cwd=%s\\n' \"$(pwd)\"\n"
                                       "  env | sed 's/^/env:/'\n"
                                       "  for argument in \"$@\"; do printf 'arg=%s\\n' \"$argument\"; done\n"
                                       "} > '%1.part'\n"
                                       "mv '%1.part' '%1'\n")
                            .arg(recordPath(id))
                            .toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(recordPath(id));
        return path;
    }
    // A program that only leaves its record file, with no other program's help.
    static QString markingProgram(const QString &id) {
        const QString path = test::homePath() + QStringLiteral("/programs/") + id;
        test::writeFile(path, QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(recordPath(id)).toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(recordPath(id));
        return path;
    }
    // A desktop entry in the user's applications folder, `keys` after its type and name; its path.
    static QString installEntry(const QString &id, const QString &name, const QString &keys) {
        const QString path = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/") + id +
                             QStringLiteral(".desktop");
        test::writeFile(
            path, QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\n%2").arg(name, keys).toUtf8());
        return path;
    }
    // The desktop's environment without a platform choice, as a session starts the launcher: it makes
    // its own. It sees only the test's applications.
    QProcessEnvironment launcherEnvironment() const {
        QProcessEnvironment environment = session->environment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        const QString systemData = test::homePath() + QStringLiteral("/system-data");
        test::makeDirectory(systemData);
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), systemData);
        return environment;
    }
    // Types the query until its rows show (the first crawl may still run), then opens the first one.
    ::testing::AssertionResult openFirstRow(quint32 panel, const QString &query) {
        if (!session->isViewable(panel)) {
            if (const auto shown = showWithHotKey(panel); !shown)
                return shown;
        }
        const bool rows = session->waitUntil(
            [&] {
                key(QStringLiteral("ctrl+a"));
                type(query);
                return session->waitUntil([&] { return geometry(panel).height() > 76; },
                                          std::chrono::seconds(1));
            },
            std::chrono::seconds(20));
        if (!rows)
            return ::testing::AssertionFailure() << "no rows for " << query.toStdString();
        session->settle(std::chrono::milliseconds(300));
        if (!key(QStringLiteral("Return")))
            return ::testing::AssertionFailure() << "xdotool failed";
        return waitForViewable(panel, false);
    }
};

// The launcher sets its own platform choice (xcb) and runs wherever it was started from; the program it
// starts gets neither: the environment the launcher was given, and the home folder.
TEST_F(LaunchingEndToEnd, AnAppStartsInTheHomeFolderWithTheEnvironmentTheLauncherWasGiven) {
    prepareHome();
    installEntry(
        QStringLiteral("zephyr"), QStringLiteral("Zephyr Recorder"),
        QStringLiteral("Exec=%1 --from-panel\n").arg(startRecordingProgram(QStringLiteral("zephyr"))));
    startSession();
    ASSERT_NE(QDir::currentPath(), test::homePath()) << "the launcher starts elsewhere than the home";
    QProcessEnvironment environment = launcherEnvironment();
    environment.insert(QStringLiteral("ORVEX_STARTED_FROM"), QStringLiteral("the desktop"));
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, environment);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));

    ASSERT_TRUE(openFirstRow(panel.id, QStringLiteral("zephyr")));
    ASSERT_TRUE(session->waitUntil([&] { return QFile::exists(recordPath(QStringLiteral("zephyr"))); }))
        << "Return started nothing";
    QFile record(recordPath(QStringLiteral("zephyr")));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("cwd=") + test::homePath())) << lines.join(' ').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("env:ORVEX_STARTED_FROM=the desktop")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("env:DISPLAY=") + environment.value(QStringLiteral("DISPLAY"))));
    EXPECT_TRUE(lines.filter(QStringLiteral("env:QT_QPA_PLATFORM=")).isEmpty())
        << "the launcher's own choice: "
        << lines.filter(QStringLiteral("env:QT_QPA_PLATFORM=")).join(' ').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("arg=--from-panel")));
    quitWithControlQ(launcher, panel.id);
}

// What cannot start is said with what happened, on the desktop and on stderr; an entry started over D-Bus
// whose service is not there runs its program instead.
TEST_F(LaunchingEndToEnd, WhatCannotStartIsSaidWithItsReasonAndAnEntryWithoutItsServiceRunsItsProgram) {
    prepareHome();
    const QString console = installEntry(
        QStringLiteral("quokka"), QStringLiteral("Quokka Console"),
        QStringLiteral("Exec=%1\nTerminal=true\n").arg(markingProgram(QStringLiteral("quokka"))));
    const QString wombatProgram = markingProgram(QStringLiteral("wombat"));
    const QString removed = installEntry(QStringLiteral("wombat"), QStringLiteral("Wombat Tool"),
                                         QStringLiteral("Exec=%1\n").arg(wombatProgram));
    installEntry(
        QStringLiteral("org.example.NumbatService"), QStringLiteral("Numbat Service"),
        QStringLiteral("Exec=%1\nDBusActivatable=true\n").arg(markingProgram(QStringLiteral("numbat"))));
    const QString silent =
        installEntry(QStringLiteral("org.example.SilentService"), QStringLiteral("Silent Service"),
                     QStringLiteral("DBusActivatable=true\n"));
    startSession();
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::FakeNotificationService notifications;
    ASSERT_TRUE(notifications.registerOn(bus.connect(QStringLiteral("notifications"))));
    QProcessEnvironment environment = launcherEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    // No terminal on the search path, whatever the machine has installed.
    const QString emptyPath = test::homePath() + QStringLiteral("/empty-path");
    test::makeDirectory(emptyPath);
    environment.insert(QStringLiteral("PATH"), emptyPath);
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, environment);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));

    ASSERT_TRUE(openFirstRow(panel.id, QStringLiteral("numbat")));
    EXPECT_TRUE(session->waitUntil([&] { return QFile::exists(recordPath(QStringLiteral("numbat"))); }))
        << "the program of an entry whose service is not on the bus did not run";

    const struct {
        const char *query;
        QString name;
        QString entry;
        QString reason;
    } failures[] = {
        {"quokka", QStringLiteral("Quokka Console"), console,
         QStringLiteral("It runs in a terminal, and no terminal program is installed.")},
        {"wombat", QStringLiteral("Wombat Tool"), removed,
         QStringLiteral("Its program \u201c%1\u201d is not installed.").arg(wombatProgram)},
        {"silent serv", QStringLiteral("Silent Service"), silent,
         QStringLiteral(
             "Its D-Bus service \u201corg.example.SilentService\u201d is neither running nor installed, "
             "and it names no program to run instead.")},
    };
    for (const auto &c : failures) {
        SCOPED_TRACE(c.query);
        if (c.entry == removed) {
            // Uninstalled while the launcher still lists it.
            ASSERT_TRUE(QFile::remove(wombatProgram));
        }
        const qsizetype said = notifications.messages.size();
        ASSERT_TRUE(openFirstRow(panel.id, QString::fromUtf8(c.query)));
        ASSERT_TRUE(session->waitUntil([&] { return notifications.messages.size() == said + 1; }))
            << launcher.standardError().toStdString();
        EXPECT_EQ(notifications.messages.last().summary.toStdString(),
                  QStringLiteral("Could not open \u201c%1\u201d").arg(c.name).toStdString());
        EXPECT_EQ(notifications.messages.last().body.toStdString(), c.reason.toStdString());
        EXPECT_TRUE(launcher.standardError().contains(
            QStringLiteral("Orvex Launcher could not open %1: %2\n").arg(c.entry, c.reason).toUtf8()))
            << launcher.standardError().toStdString();
    }
    EXPECT_FALSE(QFile::exists(recordPath(QStringLiteral("quokka")))) << "ran without a terminal";
    EXPECT_EQ(notifications.messages.size(), 3) << "the program that ran is not said to have failed";
    quitWithControlQ(launcher, panel.id);
}

} // namespace
} // namespace orvex
