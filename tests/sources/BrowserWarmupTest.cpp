#include "fixtures/BrowserFixtures.h"
#include "fixtures/ManagerFixture.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::braveBundleIdentifier;
using test::edgeBundleIdentifier;
using test::FakeOsascript;
using test::tabRecord;
using Result = BrowserAutomationWarmupResult;

const QString edgeApp = QStringLiteral("Microsoft Edge");
const QString braveApp = QStringLiteral("Brave Browser");
const QByteArray refusal = "execution error: Not authorized to send Apple events to Microsoft Edge. (-1743)";

QByteArray records(int count, const QString &prefix) {
    QByteArray output;
    for (int t = 1; t <= count; ++t)
        output += tabRecord("1", QString::number(t), prefix + QString::number(t),
                            QStringLiteral("https://%1.example/%2").arg(prefix).arg(t)) +
                  "\n";
    return output;
}

struct BrowserWarmup : testing::Test {
    test::ManagerFixture fixture;
    FakeOsascript fake{test::homePath() + QStringLiteral("/fake-osascript")};

    std::unique_ptr<DatabaseManager> manager(const QSet<QString> &running, const QString &tool = {}) {
        return fixture.makeManager(test::browserConfiguration(fixture.sourcesConfiguration(),
                                                              tool.isEmpty() ? fake.path() : tool, running));
    }
};

TEST_F(BrowserWarmup, EveryOutcomeIsReachedAndTheCacheHoldsWhatWasGathered) {
    struct Case {
        const char *name;
        QSet<QString> running;
        std::function<void(FakeOsascript &)> respond;
        Result result;
        int cachedTabs;
        int runs;
    };
    const Case cases[] = {
        {"Edge with three tabs, Brave not running",
         {edgeBundleIdentifier},
         [](FakeOsascript &f) { f.respond(records(3, QStringLiteral("edge")), {}, 0, edgeApp); },
         Result::tabsFound(3),
         3,
         1},
        {"both running without windows",
         {edgeBundleIdentifier, braveBundleIdentifier},
         [](FakeOsascript &f) { f.respond({}); },
         Result::noTabsFound({QStringLiteral("Edge"), QStringLiteral("Brave")}),
         0,
         2},
        {"neither running", {}, [](FakeOsascript &) {}, Result::browserNotRunning(), 0, 0},
        {"Edge refuses control, Brave is never asked",
         {edgeBundleIdentifier, braveBundleIdentifier},
         [](FakeOsascript &f) {
             f.respond({}, refusal, 1, edgeApp);
             f.respond(records(2, QStringLiteral("brave")), {}, 0, braveApp);
         },
         Result::permissionDenied(QStringLiteral("Edge")),
         0,
         1},
        {"Edge has two tabs, Brave's script fails",
         {edgeBundleIdentifier, braveBundleIdentifier},
         [](FakeOsascript &f) {
             f.respond(records(2, QStringLiteral("edge")), {}, 0, edgeApp);
             f.respond({}, "execution error: Can't get window 1. (-1728)", 1, braveApp);
         },
         Result::scriptError(QStringLiteral("Brave"),
                             QStringLiteral("execution error: Can't get window 1. (-1728)")),
         2,
         2},
        {"a status without error text",
         {braveBundleIdentifier},
         [](FakeOsascript &f) { f.respond({}, {}, 4, braveApp); },
         Result::scriptError(QStringLiteral("Brave"), QStringLiteral("AppleScript exited with status 4.")),
         0,
         1},
    };
    int caseNumber = 0;
    for (const Case &c : cases) {
        FakeOsascript caseFake(test::homePath() + QStringLiteral("/fake-%1").arg(++caseNumber));
        auto running = std::make_shared<QSet<QString>>(QSet<QString>{edgeBundleIdentifier});
        auto configuration = test::browserConfiguration(fixture.sourcesConfiguration(), caseFake.path(), {});
        configuration.isBrowserRunning = [running](const QString &bundle) {
            return running->contains(bundle);
        };
        auto m = fixture.makeManager(configuration);

        // An earlier warm-up's tabs are replaced, also by an empty list.
        caseFake.respond(records(5, QStringLiteral("old")));
        ASSERT_EQ(warmupBrowserAutomationPermissions(*m), Result::tabsFound(5)) << c.name;
        caseFake.respond({});
        c.respond(caseFake);
        *running = c.running;
        const int runsBefore = caseFake.runCount();
        fixture.clock->advance(30);

        EXPECT_EQ(warmupBrowserAutomationPermissions(*m), c.result) << c.name;
        EXPECT_EQ(test::cachedTabs(*m).size(), c.cachedTabs) << c.name;
        EXPECT_EQ(m->sourceCacheLastRefreshDates().at(QStringLiteral("browserTabs")), fixture.clock->now())
            << c.name;
        EXPECT_EQ(caseFake.runCount() - runsBefore, c.runs) << c.name;
    }
}

TEST_F(BrowserWarmup, SnapshotKeepsTheTabsOfBrowsersProbedBeforeAFailure) {
    fake.respond(records(2, QStringLiteral("edge")), {}, 0, edgeApp);
    fake.respond({}, "boom", 1, braveApp);
    auto m = manager({edgeBundleIdentifier, braveBundleIdentifier});
    const auto snapshot = test::tabsOf(*m).warmupSnapshot();
    EXPECT_EQ(snapshot.result, Result::scriptError(QStringLiteral("Brave"), QStringLiteral("boom")));
    ASSERT_EQ(snapshot.tabs.size(), 2);
    EXPECT_EQ(snapshot.tabs[1].title, QStringLiteral("edge2"));
}

TEST_F(BrowserWarmup, AToolThatCannotRunOrIsMissingIsAScriptError) {
    const QString broken = test::homePath() + QStringLiteral("/broken-osascript");
    test::writeFile(broken, "#!/nonexistent/interpreter\n");
    QFile::setPermissions(broken, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    testing::internal::CaptureStdout();
    EXPECT_EQ(warmupBrowserAutomationPermissions(*manager({edgeBundleIdentifier}, broken)),
              Result::scriptError(QStringLiteral("Edge"),
                                  QStringLiteral("Failed to execute AppleScript process.")));

    // The Linux case: the browser runs but nothing can list its tabs.
    const QString missing = test::homePath() + QStringLiteral("/no-osascript");
    EXPECT_EQ(warmupBrowserAutomationPermissions(*manager({braveBundleIdentifier}, missing)),
              Result::scriptError(
                  QStringLiteral("Brave"),
                  QStringLiteral("Open tabs cannot be listed on this system (%1 is missing).").arg(missing)));
    testing::internal::GetCapturedStdout();
}

} // namespace
} // namespace orvex
