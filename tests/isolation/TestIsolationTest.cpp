// What the test support gives every test process and every process a test starts: its own home and XDG
// folders, no application of the machine, the fixed locale and Qt settings, and no way to the user's
// display or desktop session.
#include "support/TestIsolation.h"
#include "support/DesktopSession.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::ChildProcess;
using test::DesktopSession;

// The environment a child process was really given, as it prints it.
QProcessEnvironment environmentOfChild(const QProcessEnvironment &given) {
    ChildProcess child;
    EXPECT_TRUE(child.start(QStringLiteral("env"), {QStringLiteral("-0")}, given));
    EXPECT_TRUE(child.waitForExit());
    QProcessEnvironment seen;
    for (const QByteArray &line : child.standardOutput().split('\0')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            seen.insert(QString::fromLocal8Bit(line.left(equals)),
                        QString::fromLocal8Bit(line.mid(equals + 1)));
    }
    return seen;
}

void expectIsolated(const QProcessEnvironment &environment, const std::string &who) {
    SCOPED_TRACE(who);
    const auto value = [&](const char *name) { return environment.value(QLatin1String(name)).toStdString(); };
    const QString home = test::homePath();
    EXPECT_TRUE(home.startsWith(QDir::tempPath() + QStringLiteral("/orvex-test-"))) << home.toStdString();
    EXPECT_EQ(value("HOME"), home.toStdString());
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        EXPECT_TRUE(environment.value(QLatin1String(name)).startsWith(home + QLatin1Char('/'))) << name;
    EXPECT_TRUE(environment.value(QStringLiteral("XDG_RUNTIME_DIR")).startsWith(QFileInfo(home).path()));
    EXPECT_EQ(value("XDG_DATA_DIRS"),
              (test::systemDataFolder() + QLatin1Char(':') + test::machineDataFolder()).toStdString());
    EXPECT_TRUE(environment.value(QStringLiteral("XDG_CONFIG_DIRS")).startsWith(QFileInfo(home).path()));
    EXPECT_EQ(value("LANG"), "C.UTF-8");
    EXPECT_EQ(value("QT_SCALE_FACTOR"), "1");
    const QStringList allowedXdg = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                                    "XDG_RUNTIME_DIR", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"};
    for (const QString &name : environment.keys()) {
        EXPECT_FALSE(name.startsWith(QLatin1String("LC_")) || name == QLatin1String("LANGUAGE"))
            << name.toStdString();
        EXPECT_FALSE(name.startsWith(QLatin1String("XDG_")) && !allowedXdg.contains(name))
            << name.toStdString();
        EXPECT_FALSE(name.startsWith(QLatin1String("QT_")) && name != QLatin1String("QT_SCALE_FACTOR") &&
                     name != QLatin1String("QT_QPA_PLATFORM"))
            << name.toStdString();
    }
    for (const char *name : {"WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER", "DESKTOP_SESSION"})
        EXPECT_FALSE(environment.contains(QLatin1String(name))) << name;
}

TEST(TestIsolation, TheTestAndEveryProcessItStartsRunInTheTestsOwnEnvironment) {
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    expectIsolated(own, "the test process");
    EXPECT_EQ(own.value(QStringLiteral("QT_QPA_PLATFORM")), QStringLiteral("offscreen"));
    EXPECT_FALSE(own.contains(QStringLiteral("DISPLAY")));
    expectIsolated(environmentOfChild(own), "a child process");

    DesktopSession session({.windowManager = false});
    ASSERT_TRUE(session.isReady()) << "Xvfb did not start";
    const QProcessEnvironment onDesktop = environmentOfChild(session.environment());
    expectIsolated(onDesktop, "a program on the test's desktop");
    EXPECT_EQ(onDesktop.value(QStringLiteral("DISPLAY")), QString::fromLatin1(session.displayName()));
    EXPECT_EQ(onDesktop.value(QStringLiteral("QT_QPA_PLATFORM")), QStringLiteral("xcb"));
}

TEST(TestIsolation, FileTypesAndIconThemesAreTheMachinesButNoApplicationIs) {
    const QStringList folders = qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'));
    for (const QString &folder : folders)
        EXPECT_TRUE(QDir(folder + QStringLiteral("/applications")).isEmpty()) << folder.toStdString();
    const QString lent = test::machineDataFolder();
    EXPECT_EQ(QDir(lent).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("icons"), QStringLiteral("mime")}));
    EXPECT_EQ(QFileInfo(lent + QStringLiteral("/mime")).symLinkTarget(), QStringLiteral("/usr/share/mime"));
    // Where Qt's desktop platforms look for icon themes.
    EXPECT_TRUE(QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                          QStandardPaths::LocateDirectory)
                    .contains(lent + QStringLiteral("/icons")));

    // A test that reads what the machine has installed says so, and only while it does.
    {
        const test::MachineDataFolders machine;
        EXPECT_EQ(qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':')), test::machineDataFolders());
    }
    EXPECT_EQ(qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':')), folders);
}

} // namespace
} // namespace orvex
