#include "fixtures/BrowserFixtures.h"
#include "fixtures/ManagerFixture.h"
#include "platform/RunningApplications.h"
#include "sources/BrowserTabsSource.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace orvex {
namespace {

void fakeProcess(const QString &proc, const QString &pid, const QByteArray &command,
                 const QByteArray &commandLine) {
    test::writeFile(proc + QLatin1Char('/') + pid + QStringLiteral("/comm"), command);
    test::writeFile(proc + QLatin1Char('/') + pid + QStringLiteral("/cmdline"), commandLine);
}

TEST(BrowserRunningApplications, FindsProcessesByCommandNameOrFirstArgument) {
    const QString proc = test::homePath() + QStringLiteral("/proc");
    fakeProcess(proc, QStringLiteral("101"), "msedge\n",
                QByteArray("/opt/microsoft/msedge/msedge\0--type=renderer\0", 46));
    fakeProcess(proc, QStringLiteral("202"), "sh\n", QByteArray("/usr/bin/brave-browser\0--incognito\0", 35));
    fakeProcess(proc, QStringLiteral("303"), "a-very-long-com\n", QByteArray());
    // Not a process folder.
    fakeProcess(proc, QStringLiteral("self-ish"), "google-chrome\n", QByteArray("google-chrome\0", 14));
    const RunningApplications applications(proc);

    EXPECT_TRUE(applications.isAnyRunning({QStringLiteral("msedge")}));
    EXPECT_TRUE(applications.isAnyRunning({QStringLiteral("brave"), QStringLiteral("brave-browser")}));
    // The kernel keeps 15 bytes of a command name.
    EXPECT_TRUE(applications.isAnyRunning({QStringLiteral("a-very-long-command-name")}));
    EXPECT_FALSE(applications.isAnyRunning({QStringLiteral("brave")}));
    EXPECT_FALSE(applications.isAnyRunning({QStringLiteral("google-chrome")}));
    EXPECT_FALSE(applications.isAnyRunning({QStringLiteral("msedg")}));
    EXPECT_FALSE(applications.isAnyRunning({}));
    EXPECT_FALSE(
        RunningApplications(proc + QStringLiteral("/missing")).isAnyRunning({QStringLiteral("msedge")}));
}

TEST(BrowserRunningApplications, SeesThisTestProcessInTheRealProc) {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_TRUE(RunningApplications().isAnyRunning({self}));
    EXPECT_FALSE(RunningApplications().isAnyRunning({QStringLiteral("no-such-program-anywhere")}));
}

TEST(BrowserRunningApplications, AnUnknownBrowserIsNeverRunning) {
    test::ManagerFixture fixture;
    auto m = fixture.makeManager();
    EXPECT_FALSE(test::tabsOf(*m).isBrowserRunning(QStringLiteral("com.example.unknown")));
}

} // namespace
} // namespace orvex
