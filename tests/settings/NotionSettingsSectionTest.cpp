#include "settings/NotionSettingsSection.h"

#include "SettingsTestSupport.h"
#include "fixtures/LoopbackHttpServer.h"
#include "fixtures/ManagerFixture.h"
#include "support/TestEnvironment.h"

#include "platform/UserDefaults.h"
#include "sources/NotionServiceStatus.h"
#include "sources/NotionSource.h"

#include <QDateTime>
#include <QLocale>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpReply;
using test::LoopbackHttpServer;

const QByteArray twoPages = R"({"object":"list","results":[
    {"object":"page","id":"p1","url":"https://www.notion.so/p1",
     "properties":{"Name":{"type":"title","title":[{"plain_text":"Test plan"}]}}},
    {"object":"page","id":"p2","url":"https://www.notion.so/p2",
     "properties":{"Name":{"type":"title","title":[{"plain_text":"Test notes"}]}}}]})";

struct NotionSectionFixture {
    explicit NotionSectionFixture(NotionConnectionTestConfiguration connection = {})
        : section(NotionSettingsStore::withDefaults(defaults), connection, recorder.center()) {}

    UserDefaults defaults;
    test::NotificationRecorder recorder;
    NotionSettingsSection section;
};

// Waits for the running connection test to end; false on the time-out.
bool waitForTest(NotionSettingsSection &section) {
    QSignalSpy finished(&section.model(), &NotionSettingsModel::connectionTestFinished);
    return finished.wait(10000);
}

TEST(NotionSettingsSection, SeedsFromTheStoreAndWritesBothSettingsOnEveryKeystroke) {
    UserDefaults defaults;
    defaults.set(QStringLiteral("notionIntegrationToken"), PlistValue(QStringLiteral("ntn_old")));
    test::NotificationRecorder recorder;
    NotionSettingsSection section(NotionSettingsStore::withDefaults(defaults), {}, recorder.center());
    // No stored switch: on because a token is stored.
    EXPECT_TRUE(section.enabledToggle()->isChecked());
    EXPECT_EQ(section.tokenField()->text(), "ntn_old");
    EXPECT_EQ(section.tokenField()->echoMode(), QLineEdit::Password);

    section.tokenField()->clear();
    QTest::keyClicks(section.tokenField(), QStringLiteral(" ab"));
    // Each of the three keystrokes wrote the token untrimmed and posted.
    EXPECT_EQ(recorder.posted(), QStringList(3, QStringLiteral("NotionSettingsChanged")));
    EXPECT_EQ(defaults.stringValue(QStringLiteral("notionIntegrationToken")), " ab");
    EXPECT_EQ(defaults.boolValue(QStringLiteral("notionSearchEnabled")), true);

    section.enabledToggle()->click();
    EXPECT_EQ(defaults.boolValue(QStringLiteral("notionSearchEnabled")), false);
    EXPECT_EQ(recorder.posted().size(), 4);
}

TEST(NotionSettingsSection, ShowsHintsAndButtonsByState) {
    struct Case {
        const char *name;
        std::optional<QString> storedToken;
        bool enabled;
        QString typed;
        bool pasteHint, testButton, fieldEnabled, testEnabled;
    };
    const Case cases[] = {
        {"on, nothing stored or typed", std::nullopt, true, "", true, false, true, false},
        {"on, one character typed", std::nullopt, true, "n", false, true, true, true},
        {"on, blanks typed", std::nullopt, true, "  ", false, true, true, true},
        // Blanks do not count as a stored token, but the field shows them.
        {"on, a blank token stored", QStringLiteral("   "), true, "", false, true, true, true},
        {"off", std::nullopt, false, "n", false, true, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults defaults;
        if (c.storedToken)
            defaults.set(QStringLiteral("notionIntegrationToken"), PlistValue(*c.storedToken));
        defaults.set(QStringLiteral("notionSearchEnabled"), PlistValue(c.enabled));
        NotionSettingsSection section(NotionSettingsStore::withDefaults(defaults));
        if (!c.typed.isEmpty())
            section.model().setNotionToken(c.typed);
        section.show();
        EXPECT_EQ(section.pasteHint()->isVisible(), c.pasteHint);
        EXPECT_EQ(section.testButton()->isVisible(), c.testButton);
        EXPECT_EQ(section.tokenField()->isEnabled(), c.fieldEnabled);
        if (c.testButton) {
            EXPECT_EQ(section.testButton()->isEnabled(), c.testEnabled);
        }
        EXPECT_TRUE(section.eyeButton()->isEnabled());
        EXPECT_FALSE(section.statusLine()->isVisible());
    }
}

TEST(NotionSettingsSection, TheEyeButtonSwitchesTheFieldWithoutLosingTheText) {
    NotionSectionFixture f;
    f.section.enabledToggle()->click();
    QTest::keyClicks(f.section.tokenField(), QStringLiteral("ntn_secret"));
    // A toggle named for what it does, pressed while the token shows: its state is what changes, which a
    // screen reader speaks, where a renamed button would stay silent.
    EXPECT_EQ(f.section.eyeButton()->toolTip(), "Show token");
    EXPECT_TRUE(f.section.eyeButton()->isCheckable());
    EXPECT_FALSE(f.section.eyeButton()->isChecked());
    f.section.eyeButton()->click();
    EXPECT_EQ(f.section.tokenField()->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(f.section.eyeButton()->isChecked());
    EXPECT_EQ(f.section.eyeButton()->accessibleName(), "Show token");
    EXPECT_EQ(f.section.tokenField()->text(), "ntn_secret");
    f.section.eyeButton()->click();
    EXPECT_EQ(f.section.tokenField()->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(f.section.eyeButton()->isChecked());
    EXPECT_EQ(f.section.tokenField()->text(), "ntn_secret");
}

TEST(NotionSettingsSection, TheConnectionTestSaysWhatHappened) {
    struct Case {
        const char *name;
        std::optional<LoopbackHttpReply> reply; // none: nothing listens on the port
        QString expected;
    };
    LoopbackHttpReply slow = LoopbackHttpReply::json(twoPages);
    slow.held = true;
    const Case cases[] = {
        {"200 with pages", LoopbackHttpReply::json(twoPages), "Connected — found 2 page(s)."},
        {"200 without pages", LoopbackHttpReply::json(R"({"object":"list","results":[]})"),
         "Connected (no pages matched \"test\")."},
        {"401", LoopbackHttpReply::json(R"({"object":"error","status":401,"code":"unauthorized"})", 401),
         "Connection failed: Notion refused the token (HTTP 401)."},
        {"502", LoopbackHttpReply::json("{}", 502),
         "Connection failed: Notion answered with HTTP status 502."},
        {"closed port", std::nullopt, "Connection failed: no answer from Notion (Connection refused)."},
        {"slow server", slow, "Connection failed: Notion did not answer within 0.3 seconds."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<LoopbackHttpServer> server(std::in_place);
        const QUrl baseURL = server->baseURL();
        if (c.reply)
            server->setDefaultReply(*c.reply);
        else
            server.reset();
        NotionSectionFixture f({.baseURL = baseURL, .timeout = 300ms});
        f.section.enabledToggle()->click();
        QTest::keyClicks(f.section.tokenField(), QStringLiteral(" ntn_good "));
        f.section.show();
        f.section.testButton()->click();
        EXPECT_EQ(f.section.statusLine()->text(), "Testing...");
        ASSERT_TRUE(waitForTest(f.section));
        EXPECT_EQ(f.section.model().statusMessage(), c.expected);
        EXPECT_EQ(f.section.statusLine()->text(), c.expected);
        EXPECT_TRUE(f.section.statusLine()->isVisible());
        if (server) {
            ASSERT_GE(server->requestCount(), 1);
            // The token goes out trimmed, with the fixed test query.
            EXPECT_EQ(server->requests().first().header("Authorization"), "Bearer ntn_good");
            EXPECT_TRUE(server->requests().first().body.contains("\"query\":\"test\""));
        }
    }
}

TEST(NotionSettingsSection, ABlankTokenIsNotSent) {
    LoopbackHttpServer server;
    NotionSectionFixture f({.baseURL = server.baseURL(), .timeout = 300ms});
    f.section.enabledToggle()->click();
    QTest::keyClicks(f.section.tokenField(), QStringLiteral("   "));
    f.section.testButton()->click();
    EXPECT_EQ(f.section.model().statusMessage(), "No token provided.");
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(NotionSettingsSection, AnAnswerForATokenNoLongerTypedIsDropped) {
    LoopbackHttpServer server;
    LoopbackHttpReply held = LoopbackHttpReply::json(R"({"object":"list","results":[]})");
    held.held = true;
    server.setDefaultReply(held);
    NotionSectionFixture f({.baseURL = server.baseURL(), .timeout = 10000ms});
    f.section.enabledToggle()->click();
    QTest::keyClicks(f.section.tokenField(), QStringLiteral("ntn_first"));
    f.section.testButton()->click();
    ASSERT_TRUE(server.waitForRequestCount(1));

    // The edit clears the line; the old token's answer must not bring it back.
    QTest::keyClicks(f.section.tokenField(), QStringLiteral("2"));
    EXPECT_EQ(f.section.model().statusMessage(), std::nullopt);
    server.releaseHeldReplies();
    ASSERT_TRUE(waitForTest(f.section));
    EXPECT_EQ(f.section.model().statusMessage(), std::nullopt);

    // A test of the token now in the field is shown.
    f.section.testButton()->click();
    ASSERT_TRUE(waitForTest(f.section));
    EXPECT_EQ(f.section.model().statusMessage(), "Connected (no pages matched \"test\").");
}

// What the launcher's own searches heard from Notion shows in the section: a refused token while the
// field holds it and search is on, a request to wait with the moment searches resume. The news comes
// from the search's worker; a connection test that Notion answers ends it.
TEST(NotionSettingsSection, SaysWhatNotionHeldAgainstTheLaunchersSearches) {
    LoopbackHttpServer server;
    server.setDefaultReply(
        LoopbackHttpReply::json(R"({"object":"error","status":401,"code":"unauthorized"})", 401));
    const auto status = std::make_shared<NotionServiceStatus>();
    NotionSectionFixture f({.baseURL = server.baseURL(), .timeout = 4000ms, .serviceStatus = status});
    f.section.enabledToggle()->click();
    QTest::keyClicks(f.section.tokenField(), QStringLiteral("ntn_revoked"));
    f.section.resize(460, f.section.sizeHint().height());
    f.section.show();
    EXPECT_FALSE(f.section.serviceProblemLine()->isVisible());

    test::ManagerFixture search;
    search.defaults->set(QStringLiteral("notionIntegrationToken"),
                         PlistValue(QStringLiteral(" ntn_revoked")));
    StandardSourcesConfiguration sources = search.sourcesConfiguration();
    sources.notionBaseURL = server.baseURL();
    sources.notionServiceStatus = status;
    const std::unique_ptr<DatabaseManager> manager = search.makeManager(sources);
    EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return f.section.serviceProblemLine()->isVisible(); }));
    const QString refused = QStringLiteral(
        "Notion refused this token (HTTP 401): check it, or make a new one for your integration.");
    EXPECT_EQ(f.section.serviceProblemLine()->text(), refused);
    f.section.resize(460, f.section.sizeHint().height());
    ASSERT_TRUE(
        f.section.grab().save(test::screenshotDirectory() + QStringLiteral("/settings-notion-refused.png")));

    // Another token in the field is not the refused one; search switched off has nothing to say.
    QTest::keyClicks(f.section.tokenField(), QStringLiteral("2"));
    EXPECT_FALSE(f.section.serviceProblemLine()->isVisible());
    QTest::keyClick(f.section.tokenField(), Qt::Key_Backspace);
    EXPECT_TRUE(f.section.serviceProblemLine()->isVisible());
    f.section.enabledToggle()->click();
    EXPECT_FALSE(f.section.serviceProblemLine()->isVisible());
    f.section.enabledToggle()->click();
    EXPECT_TRUE(f.section.serviceProblemLine()->isVisible());

    // The service asks to wait two minutes.
    LoopbackHttpReply wait = LoopbackHttpReply::json(R"({"object":"error","code":"rate_limited"})", 429);
    wait.headers = {{"Retry-After", "120"}};
    server.setDefaultReply(wait);
    EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("plans")).isEmpty());
    const QString resume = QLocale().toString(
        search.clock->now().addingSeconds(120).toQDateTime().toLocalTime().time(), QLocale::ShortFormat);
    const QString asksToWait =
        QStringLiteral("Notion asks to wait (HTTP 429): Notion pages are searched again after %1.")
            .arg(resume);
    ASSERT_TRUE(test::waitUntil([&] { return f.section.serviceProblemLine()->text() == asksToWait; }))
        << f.section.serviceProblemLine()->text().toStdString();
    EXPECT_TRUE(f.section.serviceProblemLine()->isVisible());
    f.section.resize(460, f.section.sizeHint().height());
    ASSERT_TRUE(
        f.section.grab().save(test::screenshotDirectory() + QStringLiteral("/settings-notion-wait.png")));

    // A connection test that Notion answers ends it.
    server.setDefaultReply(LoopbackHttpReply::json(twoPages));
    f.section.testButton()->click();
    ASSERT_TRUE(waitForTest(f.section));
    EXPECT_EQ(f.section.statusLine()->text(), "Connected — found 2 page(s).");
    EXPECT_FALSE(f.section.serviceProblemLine()->isVisible());
    EXPECT_EQ(status->problem(), std::nullopt);
    manager->shutdown();
}

} // namespace
} // namespace orvex
