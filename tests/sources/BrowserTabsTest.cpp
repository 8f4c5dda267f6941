#include "sources/BrowserTabs.h"
#include "fixtures/BrowserFixtures.h"
#include "fixtures/ManagerFixture.h"
#include "search/SearchContext.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <future>

namespace orvex {
namespace {

using test::braveBundleIdentifier;
using test::edgeBundleIdentifier;
using test::FakeOsascript;
using test::tabRecord;

BrowserTabShortcut edgeTab(qint64 window, qint64 tab, const QString &title, const QString &url,
                           const QString &host) {
    return {.browserName = QStringLiteral("Edge"),
            .browserBundleIdentifier = edgeBundleIdentifier,
            .windowIndex = window,
            .tabIndex = tab,
            .title = title,
            .urlString = url,
            .host = host};
}

struct BrowserTabs : testing::Test {
    test::ManagerFixture fixture;
    FakeOsascript fake{test::homePath() + QStringLiteral("/fake-osascript")};

    std::unique_ptr<DatabaseManager> manager(const QSet<QString> &running) {
        return fixture.makeManager(
            test::browserConfiguration(fixture.sourcesConfiguration(), fake.path(), running));
    }
};

TEST(BrowserTabParser, KeepsWellFormedRecordsInOrderAndSkipsTheRest) {
    const QByteArray output =
        tabRecord("1", "1", "  Inbox \t", " https://mail.example.com/u/0 ") + "\n\n" + //
        tabRecord("1", "2", "", "http://example.org") + "\r\n" +                       // CR LF
        "1\x1f"
        "3\x1f"
        "three fields only\n" + //
        tabRecord("0", "1", "window zero", "https://a.example") +
        "\n" +                                                                                        //
        tabRecord("1", "-1", "negative tab", "https://a.example") + "\n" +                            //
        tabRecord("x", "1", "not a number", "https://a.example") + "\n" +                             //
        tabRecord("", "1", "empty window", "https://a.example") + "\n" +                              //
        tabRecord(" 2", "1", "padded window", "https://a.example") + "\n" +                           //
        tabRecord("99999999999999999999", "1", "overflow", "https://a.example") + "\n" +              //
        tabRecord("1", "4", "settings page", "edge://settings") + "\n" +                              //
        tabRecord("1", "5", "local file", "file:///home/me/a.pdf") + "\n" +                           //
        tabRecord("1", "6", "not an address", "https://exa mple.com") + "\n" +                        //
        tabRecord("+2", "1", "Line\u2028break title", "HTTPS://Docs.Example.COM:8443/a%20b") + "\n" + //
        tabRecord("2", "2", "Percent host", "https://ex%61mple.net/") +
        "\x1f"
        "fifth field\n" + //
        tabRecord("2", "3", "No host", "https:relative");

    const auto tabs =
        orvex::BrowserTabs::parse(QString::fromUtf8(output), QStringLiteral("Edge"), edgeBundleIdentifier);

    const QList<BrowserTabShortcut> expected = {
        edgeTab(1, 1, QStringLiteral("Inbox"), QStringLiteral("https://mail.example.com/u/0"),
                QStringLiteral("mail.example.com")),
        edgeTab(1, 2, QString(), QStringLiteral("http://example.org"), QStringLiteral("example.org")),
        // Records end at line feeds only, so the title keeps its U+2028 and the tab is not lost.
        edgeTab(2, 1, QStringLiteral("Line\u2028break title"),
                QStringLiteral("HTTPS://Docs.Example.COM:8443/a%20b"), QStringLiteral("Docs.Example.COM")),
        edgeTab(2, 2, QStringLiteral("Percent host"), QStringLiteral("https://ex%61mple.net/"),
                QStringLiteral("example.net")),
        edgeTab(2, 3, QStringLiteral("No host"), QStringLiteral("https:relative"), QString()),
    };
    EXPECT_EQ(tabs, expected);
}

TEST(BrowserTabFocusLink, IsBuiltAndReadBackWithTheHostAsWritten) {
    const QString link = orvex::BrowserTabs::focusLink(braveBundleIdentifier, 2, 5);
    EXPECT_EQ(link, QStringLiteral("browser-tab-focus://com.brave.Browser?window=2&tab=5"));
    EXPECT_EQ(
        orvex::BrowserTabs::parseFocusLink(link),
        (BrowserTabFocusTarget{.bundleIdentifier = braveBundleIdentifier, .windowIndex = 2, .tabIndex = 5}));
    EXPECT_EQ(
        orvex::BrowserTabs::parseFocusLink(
            QStringLiteral("browser-tab-focus://com.microsoft.edgemac?tab=3&window=%2B1&extra=x")),
        (BrowserTabFocusTarget{.bundleIdentifier = edgeBundleIdentifier, .windowIndex = 1, .tabIndex = 3}));

    for (const char *refused : {
             "https://com.brave.Browser?window=2&tab=5",               // another scheme
             "BROWSER-TAB-FOCUS://com.brave.Browser?window=2&tab=5",   // scheme as written differs
             "browser-tab-focus://?window=2&tab=5",                    // no host
             "browser-tab-focus://com.brave.Browser?window=2",         // no tab
             "browser-tab-focus://com.brave.Browser?window=two&tab=5", // not a number
             "browser-tab-focus://com.brave.Browser",                  // no query
             "not a link at all",
         }) {
        EXPECT_FALSE(orvex::BrowserTabs::parseFocusLink(QString::fromUtf8(refused))) << refused;
    }
}

TEST_F(BrowserTabs, ProbeOfABrowserThatIsNotRunningStartsNothing) {
    auto m = manager({});
    const auto probe = test::tabsOf(*m).probe(QStringLiteral("Edge"), QStringLiteral("Microsoft Edge"),
                                              edgeBundleIdentifier);
    EXPECT_TRUE(probe.tabs.isEmpty());
    EXPECT_FALSE(probe.failure);
    EXPECT_TRUE(test::tabsOf(*m).discover().isEmpty());
    EXPECT_EQ(fake.runCount(), 0);
}

TEST_F(BrowserTabs, DiscoveryProbesEdgeThenBraveWithTheAppNameAsTheOnlyArgument) {
    fake.respond(tabRecord("1", "1", "Edge tab", "https://edge.example"), {}, 0,
                 QStringLiteral("Microsoft Edge"));
    fake.respond(tabRecord("1", "1", "Brave one", "https://one.example") + "\n" +
                     tabRecord("1", "2", "Brave two", "https://two.example"),
                 {}, 0, QStringLiteral("Brave Browser"));
    auto m = manager({edgeBundleIdentifier, braveBundleIdentifier});

    const auto tabs = test::tabsOf(*m).discover();

    ASSERT_EQ(tabs.size(), 3);
    EXPECT_EQ(tabs[0].title, QStringLiteral("Edge tab"));
    EXPECT_EQ(tabs[0].browserName, QStringLiteral("Edge"));
    EXPECT_EQ(tabs[1].title, QStringLiteral("Brave one"));
    EXPECT_EQ(tabs[2].browserBundleIdentifier, braveBundleIdentifier);
    ASSERT_EQ(fake.runCount(), 2);
    EXPECT_EQ(fake.arguments(1), QStringList({QStringLiteral("-e"), orvex::BrowserTabs::probeScript(),
                                              QStringLiteral("Microsoft Edge")}));
    EXPECT_EQ(fake.arguments(2), QStringList({QStringLiteral("-e"), orvex::BrowserTabs::probeScript(),
                                              QStringLiteral("Brave Browser")}));
}

// The process id a script wrote, 0 while there is none.
pid_t writtenProcess(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

// The core cancels its crawls when it shuts down (the launcher quits): a probe whose script hangs is
// killed and reaped at once rather than holding the shutdown for the script's time-out, and no other
// browser is probed after it.
TEST_F(BrowserTabs, ACancelledCrawlKillsAHangingProbeAtOnce) {
    const QString pidFile = test::homePath() + QStringLiteral("/hanging-osascript.pid");
    fake.respond({}, {}, 0, {}, "echo $$ > '" + QFile::encodeName(pidFile) + "'; exec sleep 60");
    auto m = fixture.makeManager(test::browserConfiguration(
        fixture.sourcesConfiguration(), fake.path(), {edgeBundleIdentifier, braveBundleIdentifier}, 600000));
    std::atomic<bool> cancelled{false};
    auto crawl = std::async(std::launch::async, [&] { return test::tabsOf(*m).crawl(cancelled); });
    ASSERT_TRUE(test::waitUntil([&] { return writtenProcess(pidFile) > 0; }, std::chrono::seconds(20)));
    const pid_t script = writtenProcess(pidFile);

    cancelled.store(true);
    ASSERT_EQ(crawl.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the probe waits on";
    errno = 0;
    EXPECT_EQ(::kill(script, 0), -1) << "the script is left running or unreaped";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(fake.runCount(), 1);
}

TEST_F(BrowserTabs, ProbeOfManyTabsWithLongTitlesDoesNotStall) {
    QByteArray output;
    const QString longTitle(400, QLatin1Char('t'));
    for (int t = 1; t <= 400; ++t)
        output +=
            tabRecord("1", QString::number(t), longTitle, QStringLiteral("https://example.com/%1").arg(t)) +
            "\n";
    ASSERT_GT(output.size(), 64 * 1024);
    fake.respond(output);
    auto m = manager({edgeBundleIdentifier});

    const auto probe = test::tabsOf(*m).probe(QStringLiteral("Edge"), QStringLiteral("Microsoft Edge"),
                                              edgeBundleIdentifier);

    EXPECT_FALSE(probe.failure);
    ASSERT_EQ(probe.tabs.size(), 400);
    EXPECT_EQ(probe.tabs.last().tabIndex, 400);
}

TEST_F(BrowserTabs, ProbeFailuresCarryTheirDetailAndAreWrittenOnceWhileTheyLast) {
    struct Case {
        const char *name;
        QByteArray error;
        int status;
        BrowserTabProbeFailure failure;
    };
    const Case cases[] = {
        {"refused permission",
         "execution error: Not authorized to send Apple events to Microsoft Edge. (-1743)\n",
         1,
         {.isPermissionDenied = true,
          .detail = QStringLiteral(
              "execution error: Not authorized to send Apple events to Microsoft Edge. (-1743)")}},
        {"other error",
         "execution error: Can't get window 1. (-1728)",
         1,
         {.isPermissionDenied = false,
          .detail = QStringLiteral("execution error: Can't get window 1. (-1728)")}},
        {"status without text",
         "",
         3,
         {.isPermissionDenied = false, .detail = QStringLiteral("AppleScript exited with status 3.")}},
    };
    for (const Case &c : cases) {
        fake.respond(tabRecord("1", "1", "ignored", "https://example.com"), c.error, c.status);
        auto m = manager({edgeBundleIdentifier});
        auto probe = [&] {
            return test::tabsOf(*m).probe(QStringLiteral("Edge"), QStringLiteral("Microsoft Edge"),
                                          edgeBundleIdentifier);
        };
        testing::internal::CaptureStdout();
        const auto first = probe();
        const auto second = probe();
        const std::string printed = testing::internal::GetCapturedStdout();

        EXPECT_TRUE(first.tabs.isEmpty()) << c.name;
        EXPECT_EQ(first.failure, c.failure) << c.name;
        EXPECT_EQ(second.failure, c.failure) << c.name;
        EXPECT_EQ(printed, ("Browser tab probe failed for Edge: " + c.failure.detail + "\n").toStdString())
            << c.name;

        // After a success the same failure is news again.
        fake.respond({});
        testing::internal::CaptureStdout();
        EXPECT_FALSE(probe().failure);
        fake.respond({}, c.error, c.status);
        probe();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), printed) << c.name;
    }
}

TEST_F(BrowserTabs, ARunningBrowserWithoutTheScriptToolIsReportedHonestlyOnce) {
    test::ManagerFixture plain;
    auto c = test::browserConfiguration(plain.sourcesConfiguration(),
                                        plain.sourcesConfiguration().osascriptPath, {edgeBundleIdentifier});
    auto m = plain.makeManager(c);
    const QString detail =
        QStringLiteral("Open tabs cannot be listed on this system (%1 is missing).").arg(c.osascriptPath);

    testing::internal::CaptureStdout();
    for (int refresh = 0; refresh < 3; ++refresh)
        EXPECT_TRUE(test::tabsOf(*m).discover().isEmpty());
    const auto probe = test::tabsOf(*m).probe(QStringLiteral("Edge"), QStringLiteral("Microsoft Edge"),
                                              edgeBundleIdentifier);
    const std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(probe.failure, (BrowserTabProbeFailure{.isPermissionDenied = false, .detail = detail}));
    EXPECT_EQ(printed, ("Browser tab probe failed for Edge: " + detail + "\n").toStdString());
}

// The launcher as it runs here has no script tool for tabs: a running browser is never asked, by a probe
// nor by a focus, and the probe says why once.
TEST(BrowserTabsOnThisSystem, NoToolIsStartedAndTheProbeSaysWhy) {
    test::ManagerFixture plain;
    const QString tool = StandardSourcesConfiguration::production(test::homePath()).osascriptPath;
    EXPECT_TRUE(tool.isEmpty()) << tool.toStdString();
    auto m = plain.makeManager(test::browserConfiguration(plain.sourcesConfiguration(), tool,
                                                          {edgeBundleIdentifier, braveBundleIdentifier}));
    testing::internal::CaptureStdout();
    for (int refresh = 0; refresh < 2; ++refresh)
        EXPECT_TRUE(test::tabsOf(*m).discover().isEmpty());
    EXPECT_FALSE(test::tabsOf(*m).focus(braveBundleIdentifier, 1, 1));
    const auto probe = test::tabsOf(*m).probe(QStringLiteral("Edge"), QStringLiteral("Microsoft Edge"),
                                              edgeBundleIdentifier);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(probe.failure);
    EXPECT_FALSE(probe.failure->isPermissionDenied);
    EXPECT_FALSE(probe.failure->detail.contains(QLatin1String("osascript")));
    const std::string line =
        "Browser tab probe failed for Edge: " + probe.failure->detail.toStdString() + "\n";
    const std::string braveLine =
        "Browser tab probe failed for Brave: " + probe.failure->detail.toStdString() + "\n";
    EXPECT_EQ(printed, line + braveLine);
}

TEST_F(BrowserTabs, FocusPassesItsValuesAsArgumentsAndAnswersTrueOnlyForTrue) {
    const std::pair<QByteArray, bool> answers[] = {
        {"true", true}, {"TRUE\n", true}, {"  True  ", true}, {"false", false}, {"", false}, {"true!", false},
    };
    auto m = manager({braveBundleIdentifier});
    int run = 0;
    for (const auto &[answer, focused] : answers) {
        fake.respond(answer);
        EXPECT_EQ(test::tabsOf(*m).focus(braveBundleIdentifier, 2, 5), focused) << answer.constData();
        EXPECT_EQ(fake.arguments(++run),
                  QStringList({QStringLiteral("-e"), orvex::BrowserTabs::focusScript(),
                               QStringLiteral("Brave Browser"), QStringLiteral("2"), QStringLiteral("5")}));
    }
    // A script error with "true" on its output is still a failure.
    fake.respond("true", "boom", 1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(test::tabsOf(*m).focus(braveBundleIdentifier, 2, 5));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "AppleScript failed (status 1): boom\n");
}

TEST_F(BrowserTabs, FocusRefusesWithoutStartingAnything) {
    fake.respond("true");
    auto m = manager({edgeBundleIdentifier});
    EXPECT_FALSE(test::tabsOf(*m).focus(edgeBundleIdentifier, 0, 1));
    EXPECT_FALSE(test::tabsOf(*m).focus(edgeBundleIdentifier, 1, 0));
    EXPECT_FALSE(test::tabsOf(*m).focus(edgeBundleIdentifier, -3, 1));
    // Only the browsers of the table: a link cannot name another application, nor a case variant.
    EXPECT_FALSE(test::tabsOf(*m).focus(QStringLiteral("com.apple.Terminal"), 1, 1));
    EXPECT_FALSE(test::tabsOf(*m).focus(QStringLiteral("Microsoft Edge"), 1, 1));
    EXPECT_FALSE(test::tabsOf(*m).focus(QStringLiteral("com.microsoft.EdgeMac"), 1, 1));
    // Brave is not running.
    EXPECT_FALSE(test::tabsOf(*m).focus(braveBundleIdentifier, 1, 1));
    EXPECT_EQ(fake.runCount(), 0);
    EXPECT_TRUE(test::tabsOf(*m).focus(edgeBundleIdentifier, 1, 1));
}

TEST_F(BrowserTabs, RowsCarryTheTabAndItsFocusLink) {
    auto m = manager({});
    const BrowserTabShortcut tab =
        edgeTab(2, 7, QStringLiteral("Release notes"), QStringLiteral("https://docs.example.com/notes"),
                QStringLiteral("docs.example.com"));
    const auto rows = orvex::BrowserTabs::rows(m->searchContext(QStringLiteral("release")), {tab});
    ASSERT_EQ(rows.size(), 1);
    const SearchResultFields &f = rows[0].fields();
    EXPECT_EQ(f.id, stableNegativeID(QStringLiteral(
                        "action://browser-tab/com.microsoft.edgemac/2/7/https://docs.example.com/notes")));
    EXPECT_EQ(f.filename, QStringLiteral("Release notes \u2014 docs.example.com"));
    EXPECT_EQ(f.directory, QStringLiteral("Edge tab"));
    EXPECT_EQ(f.openCount, 0);
    EXPECT_EQ(f.snippet, tab.urlString);
    EXPECT_EQ(f.databaseID, std::nullopt);
    EXPECT_EQ(f.kind, SearchResultKind::action);
    EXPECT_EQ(f.action, SearchResultAction::focusBrowserTab);
    EXPECT_EQ(f.actionURLString, tab.urlString);
    EXPECT_EQ(f.fallbackActionURLString,
              QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=2&tab=7"));
    EXPECT_FALSE(f.isDirectPathMatch);
    EXPECT_EQ(f.usageKey, std::nullopt);
    EXPECT_FALSE(f.isRecentActivation);
    EXPECT_EQ(f.relevanceScore, std::nullopt);

    const auto untitled = orvex::BrowserTabs::rows(
        m->searchContext(QStringLiteral("example")),
        {edgeTab(1, 1, QString(), QStringLiteral("https://example.com/"), QStringLiteral("example.com")),
         edgeTab(1, 2, QString(), QStringLiteral("https:example-path"), QString())});
    ASSERT_EQ(untitled.size(), 2);
    EXPECT_EQ(untitled[0].filename(), QStringLiteral("example.com"));
    EXPECT_EQ(untitled[1].filename(), QStringLiteral("website"));
}

TEST_F(BrowserTabs, RowsRankByTierThenTitleAndStopAtFifty) {
    auto m = manager({});
    const QList<BrowserTabShortcut> tabs = {
        edgeTab(1, 1, QStringLiteral("Path only"), QStringLiteral("https://a.test/?from=github.com"),
                QStringLiteral("a.test")),
        edgeTab(1, 2, QStringLiteral("My github stars"), QStringLiteral("https://b.test"),
                QStringLiteral("b.test")),
        edgeTab(1, 3, QStringLiteral("Home"), QStringLiteral("https://github.com"),
                QStringLiteral("github.com")),
        edgeTab(1, 4, QStringLiteral("Gists"), QStringLiteral("https://github.community"),
                QStringLiteral("github.community")),
        edgeTab(1, 5, QStringLiteral("Nothing"), QStringLiteral("https://c.test"), QStringLiteral("c.test")),
    };
    const auto rows = orvex::BrowserTabs::rows(m->searchContext(QStringLiteral("github.com")), tabs);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].filename(), QStringLiteral("Home \u2014 github.com"));        // host equals
    EXPECT_EQ(rows[1].filename(), QStringLiteral("Gists \u2014 github.community")); // host starts with
    EXPECT_EQ(rows[2].filename(), QStringLiteral("Path only \u2014 a.test"));       // address only

    const auto byTier = orvex::BrowserTabs::rows(m->searchContext(QStringLiteral("github")), tabs);
    ASSERT_EQ(byTier.size(), 4);
    EXPECT_EQ(byTier[2].filename(), QStringLiteral("My github stars \u2014 b.test")); // title contains
    EXPECT_EQ(byTier[3].filename(), QStringLiteral("Path only \u2014 a.test"));

    QList<BrowserTabShortcut> many;
    for (int i = 0; i < 60; ++i)
        many.append(edgeTab(1, i + 1, QStringLiteral("Match %1").arg(59 - i, 2, 10, QLatin1Char('0')),
                            QStringLiteral("https://m.test/%1").arg(i), QStringLiteral("m.test")));
    many.append(edgeTab(2, 1, QStringLiteral("match 05"), QStringLiteral("https://m.test/same"),
                        QStringLiteral("m.test")));
    const auto cut = orvex::BrowserTabs::rows(m->searchContext(QStringLiteral("match")), many);
    ASSERT_EQ(cut.size(), 50);
    EXPECT_EQ(cut[0].filename(), QStringLiteral("Match 00 \u2014 m.test"));
    // Equal but for letter case: ordered case-insensitively, so they stay in cache order.
    EXPECT_EQ(cut[5].filename(), QStringLiteral("Match 05 \u2014 m.test"));
    EXPECT_EQ(cut[6].filename(), QStringLiteral("match 05 \u2014 m.test"));
}

} // namespace
} // namespace orvex
