#include "sources/NotionSearch.h"
#include "fixtures/LoopbackHttpServer.h"
#include "fixtures/ManagerFixture.h"
#include "platform/NotificationCenter.h"
#include "sources/NotionClient.h"
#include "sources/NotionServiceStatus.h"
#include "sources/NotionSource.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace orvex {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpReply;
using test::LoopbackHttpServer;

const QString pageID = QStringLiteral("0123456789abcdef0123456789abcdef");
const QString dashedUpperPageID = QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF");
const QString otherPageID = QStringLiteral("fedcba9876543210fedcba9876543210");

QByteArray pageJSON(const QString &id, const QString &url, const QString &title,
                    const QByteArray &extra = {}) {
    return QStringLiteral(R"({"object":"page","id":"%1","url":"%2",)"
                          R"("properties":{"Name":{"type":"title","title":[{"plain_text":"%3"}]}})")
               .arg(id, url, title)
               .toUtf8() +
           extra + "}";
}

// Two pages, the first with an emoji and an edit date, plus the first again in its dashed form.
QByteArray twoPagesReply() {
    return "{\"results\":[" +
           pageJSON(pageID, QStringLiteral("https://www.notion.so/Roadmap-") + pageID,
                    QStringLiteral("Roadmap"),
                    R"(,"icon":{"type":"emoji","emoji":"🚀"},"last_edited_time":"2024-05-01T10:20:30Z")") +
           "," +
           pageJSON(otherPageID, QStringLiteral("https://www.notion.so/") + otherPageID,
                    QStringLiteral("Road trip"),
                    R"(,"icon":{"type":"external","external":{"url":"https://i"}})") +
           "," +
           pageJSON(dashedUpperPageID, QStringLiteral("https://www.notion.so/x"), QStringLiteral("Copy")) +
           "]}";
}

class NotionSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        server.setDefaultReply(LoopbackHttpReply::json(twoPagesReply()));
        fixture.defaults->set(QStringLiteral("notionIntegrationToken"), QStringLiteral("  secret \n"));
        // Posts still queued by an earlier test in this process must not count here.
        QCoreApplication::processEvents();
        observer = NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("LauncherSearchDataRefreshed"), [this](const Notification &) { ++refreshes; });
    }
    void TearDown() override {
        if (manager)
            manager->shutdown();
        server.stop();
        NotificationCenter::defaultCenter().removeObserver(observer);
    }

    DatabaseManager &makeManager(std::chrono::milliseconds timeout = 4000ms) {
        StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
        sources.notionBaseURL = server.baseURL();
        sources.notionRequestTimeout = timeout;
        manager = fixture.makeManager(sources);
        return *manager;
    }

    bool waitForRefreshes(int count) {
        return test::waitUntil([&] { return refreshes.load() >= count; });
    }

    LoopbackHttpServer server;
    test::ManagerFixture fixture;
    std::unique_ptr<DatabaseManager> manager;
    NotificationCenter::ObserverToken observer = 0;
    std::atomic<int> refreshes{0};
};

TEST_F(NotionSearchTest, TheFirstQueryStartsOneRequestAndTheRefreshShowsThePages) {
    LoopbackHttpReply gated = LoopbackHttpReply::json(twoPagesReply());
    gated.held = true;
    server.setDefaultReply(gated);
    DatabaseManager &m = makeManager();

    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("Roadmap")).isEmpty());
    ASSERT_TRUE(server.waitForRequestCount(1));
    // Same key while the request runs: no second request.
    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    EXPECT_EQ(refreshes.load(), 0);

    server.releaseHeldReplies();
    ASSERT_TRUE(waitForRefreshes(1));

    const SearchResults rows = m.matchSource(QStringLiteral("notion"), QStringLiteral("ROADMAP"));
    ASSERT_EQ(rows.size(), 2) << "the dashed copy of the first page is a duplicate";
    const SearchResult &first = rows[0];
    EXPECT_EQ(first.filename(), QStringLiteral("🚀 Roadmap"));
    EXPECT_TRUE(first.directory().startsWith(QStringLiteral("Notion \u00B7 ")))
        << first.directory().toStdString();
    EXPECT_EQ(first.actionURLString(), QStringLiteral("https://www.notion.so/") + pageID);
    EXPECT_EQ(first.fallbackActionURLString(), QStringLiteral("https://www.notion.so/Roadmap-") + pageID);
    EXPECT_EQ(first.usageKey(), QStringLiteral("notion://page/") + pageID);
    EXPECT_EQ(rows[1].filename(), QStringLiteral("Road trip"));
    EXPECT_EQ(rows[1].fallbackActionURLString(), std::nullopt);

    // The request carried the trimmed token and the text as first typed.
    const QList<test::LoopbackHttpRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].header("Authorization"), QByteArray("Bearer secret"));
    EXPECT_EQ(QJsonDocument::fromJson(requests[0].body).object().value("query").toString(),
              QStringLiteral("Roadmap"));
    EXPECT_EQ(refreshes.load(), 1);
}

TEST_F(NotionSearchTest, OnTheSearchRoadThePagesArriveWithTheNextSearch) {
    StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
    sources.notionBaseURL = server.baseURL();
    DatabaseManagerConfiguration c = fixture.configuration(sources);
    c.persistentQueryResultCacheEnabled = false;
    manager = fixture.makeManager(c);
    const auto notionRows = [](const SearchResults &rows) {
        return std::count_if(rows.begin(), rows.end(), [](const SearchResult &row) {
            return row.action() == SearchResultAction::openNotionPage;
        });
    };

    EXPECT_EQ(notionRows(manager->search(QStringLiteral("  Roadmap "))), 0);
    ASSERT_TRUE(waitForRefreshes(1));
    // The refresh dropped the query cache, so even a search that may use it finds the pages.
    EXPECT_EQ(notionRows(manager->search(QStringLiteral("Roadmap"))), 2);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(NotionSearchTest, AnEntryIsServedForThirtySecondsThenFetchedAgain) {
    DatabaseManager &m = makeManager();
    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    ASSERT_TRUE(waitForRefreshes(1));

    fixture.clock->advance(30);
    EXPECT_EQ(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).size(), 2);
    EXPECT_EQ(server.requestCount(), 1);

    fixture.clock->advance(1);
    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    ASSERT_TRUE(waitForRefreshes(2));
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).size(), 2);
}

TEST_F(NotionSearchTest, TheSixtyFirstEntryEvictsTheOldest) {
    DatabaseManager &m = makeManager();
    const SearchResults rows = {SearchResult({.filename = QStringLiteral("Page")})};
    const auto key = [](int i) { return QStringLiteral("query %1").arg(i); };
    for (int i = 0; i <= 60; ++i) {
        m.source<NotionSource>()->storeInCache(rows, key(i));
        fixture.clock->advance(0.1);
    }
    EXPECT_EQ(m.source<NotionSource>()->cachedResults(key(0)), std::nullopt);
    for (int i = 1; i <= 60; ++i)
        EXPECT_NE(m.source<NotionSource>()->cachedResults(key(i)), std::nullopt) << i;

    // Stored at one instant with the others, the newest entry is still the one that stays.
    for (int i = 100; i <= 160; ++i)
        m.source<NotionSource>()->storeInCache(rows, key(i));
    EXPECT_NE(m.source<NotionSource>()->cachedResults(key(160)), std::nullopt);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(NotionSearchTest, SwitchedOffOrWithoutAUsableTokenNothingIsSent) {
    struct Case {
        const char *name;
        std::optional<bool> enabled;
        std::optional<QString> token;
        QString query;
        bool expectRequest;
    };
    const Case cases[] = {
        {"switched off with a token", false, QStringLiteral("secret"), QStringLiteral("roadmap"), false},
        {"no switch, blank token", std::nullopt, QStringLiteral(" \n\t "), QStringLiteral("roadmap"), false},
        {"switched on, no token", true, std::nullopt, QStringLiteral("roadmap"), false},
        {"switched on, blank token", true, QStringLiteral("   "), QStringLiteral("roadmap"), false},
        {"token with a line break", true, QStringLiteral("sec\r\nX-Evil: 1"), QStringLiteral("roadmap"),
         false},
        {"one letter", true, QStringLiteral("secret"), QStringLiteral("r"), false},
        {"one emoji", true, QStringLiteral("secret"), QStringLiteral("👍🏽"), false},
        {"no switch, a token", std::nullopt, QStringLiteral("secret"), QStringLiteral("roadmap"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fixture.defaults->remove(QStringLiteral("notionSearchEnabled"));
        fixture.defaults->remove(QStringLiteral("notionIntegrationToken"));
        if (c.enabled)
            fixture.defaults->set(QStringLiteral("notionSearchEnabled"), *c.enabled);
        if (c.token)
            fixture.defaults->set(QStringLiteral("notionIntegrationToken"), *c.token);
        const qsizetype before = server.requestCount();
        DatabaseManager &m = makeManager();
        EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), c.query).isEmpty());
        m.waitForBackgroundTasks();
        EXPECT_EQ(server.requestCount() - before, c.expectRequest ? 1 : 0);
        manager.reset();
    }
}

TEST_F(NotionSearchTest, TheRequestDoesNotHoldTheManager) {
    LoopbackHttpReply gated = LoopbackHttpReply::json(twoPagesReply());
    gated.held = true;
    server.setDefaultReply(gated);
    DatabaseManager &m = makeManager();

    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    ASSERT_TRUE(server.waitForRequestCount(1));
    // These complete while the reply is still held back; were the lock held across the request, they
    // would wait out the time-out and the reply below would come too late to be used.
    m.source<NotionSource>()->storeInCache({}, QStringLiteral("other"));
    m.invalidateQueryResultCache();
    EXPECT_EQ(m.source<NotionSource>()->cachedResults(QStringLiteral("roadmap")), std::nullopt);
    EXPECT_EQ(refreshes.load(), 0);

    server.releaseHeldReplies();
    ASSERT_TRUE(waitForRefreshes(1));
    EXPECT_EQ(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).size(), 2);
}

TEST_F(NotionSearchTest, AFailedRequestIsCachedAsEmptyAndReleasesItsKey) {
    struct Case {
        const char *name;
        LoopbackHttpReply reply;
    };
    LoopbackHttpReply neverAnswered = LoopbackHttpReply::json(twoPagesReply());
    neverAnswered.held = true;
    const Case cases[] = {
        {"slower than the time-out", neverAnswered},
        {"server error", LoopbackHttpReply::json(twoPagesReply(), 500)},
        {"not json", LoopbackHttpReply::json("<html>")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer failing;
        failing.setDefaultReply(c.reply);
        StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
        sources.notionBaseURL = failing.baseURL();
        sources.notionRequestTimeout = 300ms;
        manager = fixture.makeManager(sources);
        refreshes = 0;

        EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
        ASSERT_TRUE(waitForRefreshes(1));
        // The empty answer is served for the usual time, without a new request.
        const std::optional<SearchResults> cached =
            manager->source<NotionSource>()->cachedResults(QStringLiteral("roadmap"));
        ASSERT_TRUE(cached);
        EXPECT_TRUE(cached->isEmpty());
        EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
        EXPECT_EQ(failing.requestCount(), 1);

        // Once it expires, the key is free for the next request.
        fixture.clock->advance(31);
        EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
        EXPECT_TRUE(failing.waitForRequestCount(2));
        ASSERT_TRUE(waitForRefreshes(2));
        manager->shutdown();
        manager.reset();
        failing.stop();
    }
}

// A moment as an HTTP date in the form `format` gives, where "%d" stands for the day padded with a
// blank (the asctime form's).
QByteArray httpDate(Date date, const QString &format) {
    const QDateTime utc = date.toQDateTime().toUTC();
    const QString paddedDay = QStringLiteral("%1").arg(utc.date().day(), 2, 10, QLatin1Char(' '));
    return QLocale::c().toString(utc, format).replace(QStringLiteral("%d"), paddedDay).toLatin1();
}

QString timeOfDay(Date date) {
    return QLocale().toString(date.toQDateTime().toLocalTime().time(), QLocale::ShortFormat);
}

// A service that asks to wait gets no request until the wait it named is over, however it names it;
// the request to wait is said once, as a line and in the status the settings show.
TEST_F(NotionSearchTest, ARequestToWaitHoldsEveryRequestOffUntilRetryAfter) {
    const Date start = fixture.clock->now();
    struct Case {
        const char *name;
        int status;
        std::optional<QByteArray> retryAfter;
        double wait;
    };
    const Case cases[] = {
        {"seconds", 429, QByteArray("120"), 120},
        {"an HTTP date", 429, httpDate(start.addingSeconds(120), "ddd, dd MMM yyyy HH:mm:ss 'GMT'"), 120},
        {"an RFC 850 date", 429, httpDate(start.addingSeconds(90), "dddd, dd-MMM-yy HH:mm:ss 'GMT'"), 90},
        {"an asctime date", 429, httpDate(start.addingSeconds(75), "ddd MMM '%d' HH:mm:ss yyyy"), 75},
        {"no Retry-After", 429, std::nullopt, NotionServiceStatus::defaultWaitSeconds},
        {"an unreadable Retry-After", 429, QByteArray("soon"), NotionServiceStatus::defaultWaitSeconds},
        {"a wait beyond reason", 429, QByteArray("99999999999999999999999999"),
         NotionServiceStatus::maximumWaitSeconds},
        {"503 with Retry-After", 503, QByteArray("100"), 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fixture.clock->set(start);
        LoopbackHttpServer limited;
        LoopbackHttpReply refusal =
            LoopbackHttpReply::json(R"({"object":"error","code":"rate_limited"})", c.status);
        if (c.retryAfter)
            refusal.headers.append({"Retry-After", *c.retryAfter});
        limited.enqueueReply(refusal);
        limited.setDefaultReply(LoopbackHttpReply::json(twoPagesReply()));
        StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
        sources.notionBaseURL = limited.baseURL();
        manager = fixture.makeManager(sources);
        const NotionServiceStatus &status = manager->source<NotionSource>()->serviceStatus();
        refreshes = 0;

        testing::internal::CaptureStdout();
        EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("road")).isEmpty());
        const bool refused = waitForRefreshes(1);
        // Six more keystrokes within the next minute (and any time short of the wait): nothing is sent.
        const QStringList typed = {QStringLiteral("roadm"),     QStringLiteral("roadma"),
                                   QStringLiteral("roadmap"),   QStringLiteral("roadmap "),
                                   QStringLiteral("roadmap 2"), QStringLiteral("roadmap 20")};
        for (const QString &query : typed) {
            fixture.clock->advance(std::min(9.0, (c.wait - 1) / typed.size()));
            EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), query).isEmpty());
        }
        fixture.clock->set(start.addingSeconds(c.wait - 0.5));
        EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("late")).isEmpty());
        manager->waitForBackgroundTasks();
        const std::string said = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(refused);
        EXPECT_EQ(limited.requestCount(), 1);
        EXPECT_EQ(said, QStringLiteral(
                            "Notion search: Notion asks to wait (HTTP %1); no request is sent before %2\n")
                            .arg(c.status)
                            .arg(timeOfDay(start.addingSeconds(c.wait)))
                            .toStdString());
        const std::optional<NotionServiceStatus::Problem> problem = status.problem();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->kind, NotionServiceStatus::Problem::Kind::asksToWait);
        EXPECT_EQ(problem->httpStatus, c.status);
        EXPECT_EQ(problem->searchesResumeAt, start.addingSeconds(c.wait));

        // Once the wait is over the next query is sent, and its answer ends the problem.
        fixture.clock->set(start.addingSeconds(c.wait));
        EXPECT_TRUE(manager->matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
        ASSERT_TRUE(waitForRefreshes(2));
        EXPECT_EQ(limited.requestCount(), 2);
        EXPECT_EQ(manager->matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).size(), 2);
        EXPECT_EQ(status.problem(), std::nullopt);
        manager->shutdown();
        manager.reset();
        limited.stop();
    }
}

// A refused token is said once, until a reply changes the picture; requests go on, since only the user
// can mend the token and the first good answer should show at once.
TEST_F(NotionSearchTest, ARefusedTokenIsSaidOnceUntilAnAnswerComes) {
    const LoopbackHttpReply refused =
        LoopbackHttpReply::json(R"({"object":"error","status":401,"code":"unauthorized"})", 401);
    server.setDefaultReply(refused);
    DatabaseManager &m = makeManager();
    const NotionServiceStatus &status = m.source<NotionSource>()->serviceStatus();
    const std::string line =
        "Notion search: Notion refused the integration token (HTTP 401); it can be changed "
        "in the settings' Notion section\n";

    testing::internal::CaptureStdout();
    for (const QString &query : {QStringLiteral("ro"), QStringLiteral("roa"), QStringLiteral("road")}) {
        EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), query).isEmpty());
        m.waitForBackgroundTasks();
    }
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), line);
    const std::optional<NotionServiceStatus::Problem> problem = status.problem();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, NotionServiceStatus::Problem::Kind::tokenRefused);
    EXPECT_EQ(problem->httpStatus, 401);
    EXPECT_EQ(problem->token, QStringLiteral("secret"));

    // The service answers again: the problem is over, and a new refusal is said again.
    server.setDefaultReply(LoopbackHttpReply::json(twoPagesReply()));
    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    m.waitForBackgroundTasks();
    EXPECT_EQ(status.problem(), std::nullopt);
    server.setDefaultReply(refused);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roads")).isEmpty());
    m.waitForBackgroundTasks();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), line);
}

// A front end that prints one answer and ends sends nothing it could never show; otherwise a request
// in flight is reported until its rows are installed.
TEST_F(NotionSearchTest, LateLookupsAreStartedOnlyWhenWanted) {
    LoopbackHttpReply gated = LoopbackHttpReply::json(twoPagesReply());
    gated.held = true;
    server.setDefaultReply(gated);
    StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
    sources.notionBaseURL = server.baseURL();
    DatabaseManagerConfiguration quiet = fixture.configuration(sources);
    quiet.startsLateLookups = false;
    manager = fixture.makeManager(quiet);
    EXPECT_TRUE(manager->search(QStringLiteral("roadmap"), false).isEmpty());
    EXPECT_FALSE(manager->hasLateLookupsInFlight());
    manager->shutdown();
    EXPECT_EQ(server.requestCount(), 0);

    DatabaseManager &m = makeManager();
    EXPECT_FALSE(m.hasLateLookupsInFlight());
    m.search(QStringLiteral("roadmap"), false);
    EXPECT_TRUE(m.hasLateLookupsInFlight());
    ASSERT_TRUE(server.waitForRequestCount(1));
    server.releaseHeldReplies();
    ASSERT_TRUE(waitForRefreshes(1));
    EXPECT_FALSE(m.hasLateLookupsInFlight());
}

TEST_F(NotionSearchTest, ShutdownDuringARequestEndsItWithoutApplying) {
    LoopbackHttpReply gated = LoopbackHttpReply::json(twoPagesReply());
    gated.held = true;
    server.setDefaultReply(gated);
    DatabaseManager &m = makeManager(100000ms);
    EXPECT_TRUE(m.matchSource(QStringLiteral("notion"), QStringLiteral("roadmap")).isEmpty());
    ASSERT_TRUE(server.waitForRequestCount(1));
    // Returns without waiting for the reply or the far time-out.
    m.shutdown();
    EXPECT_EQ(m.source<NotionSource>()->cachedResults(QStringLiteral("roadmap")), std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes.load(), 0);
}

TEST(NotionSearch, BuildsOneRowPerPage) {
    const Date now = Date::fromUnixSeconds(1714558830.0);
    const NotionPage base{.id = dashedUpperPageID,
                          .title = QStringLiteral("Roadmap"),
                          .url = QStringLiteral("https://www.notion.so/") + pageID};
    const std::optional<SearchResult> row = notionSearchResult(base, now);
    ASSERT_TRUE(row);
    const QString usageKey = QStringLiteral("notion://page/") + pageID;
    EXPECT_EQ(row->id(), stableNegativeID(usageKey));
    EXPECT_EQ(row->filename(), QStringLiteral("Roadmap"));
    EXPECT_EQ(row->directory(), QStringLiteral("Notion"));
    EXPECT_EQ(row->openCount(), 0);
    EXPECT_EQ(row->snippet(), std::nullopt);
    EXPECT_EQ(row->databaseID(), std::nullopt);
    EXPECT_EQ(row->kind(), SearchResultKind::action);
    EXPECT_EQ(row->action(), SearchResultAction::openNotionPage);
    EXPECT_EQ(row->actionURLString(), QStringLiteral("https://www.notion.so/") + pageID);
    EXPECT_EQ(row->fallbackActionURLString(), std::nullopt) << "the page's own address is the canonical one";
    EXPECT_FALSE(row->isDirectPathMatch());
    EXPECT_EQ(row->usageKey(), usageKey);
    EXPECT_FALSE(row->isRecentActivation());
    EXPECT_EQ(row->relevanceScore(), std::nullopt);

    NotionPage decorated = base;
    decorated.icon = NotionPageIcon::emoji(QStringLiteral("📘"));
    decorated.lastEditedTime = now.addingSeconds(-90 * 60);
    EXPECT_EQ(notionSearchResult(decorated, now)->filename(), QStringLiteral("📘 Roadmap"));
    EXPECT_EQ(notionSearchResult(decorated, now)->directory(), QStringLiteral("Notion \u00B7 1h ago"));
    decorated.icon = NotionPageIcon::external(QStringLiteral("https://img"));
    EXPECT_EQ(notionSearchResult(decorated, now)->filename(), QStringLiteral("Roadmap"));

    // Only a web address of the page's own becomes the fallback.
    const std::pair<QString, std::optional<QString>> fallbacks[] = {
        {QStringLiteral("https://www.notion.so/Roadmap-") + pageID,
         QStringLiteral("https://www.notion.so/Roadmap-") + pageID},
        {QStringLiteral("HTTPS://www.notion.so/Roadmap"), QStringLiteral("HTTPS://www.notion.so/Roadmap")},
        {QStringLiteral("http://www.notion.so/Roadmap"), std::nullopt},
        {QStringLiteral("file:///etc/passwd"), std::nullopt},
        {QStringLiteral("javascript:alert(1)"), std::nullopt},
        {QStringLiteral("notion://www.notion.so/x"), std::nullopt},
        {QStringLiteral("https:///no-host"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto &[url, expected] : fallbacks) {
        SCOPED_TRACE(url.toStdString());
        NotionPage page = base;
        page.url = url;
        EXPECT_EQ(notionSearchResult(page, now)->fallbackActionURLString(), expected);
    }

    // An id that is not a page id would end up in the address: no row.
    for (const QString &id : {QStringLiteral("abc"), QStringLiteral("../../0123456789abcdef0123456789abcdef"),
                              QStringLiteral("0123456789abcdef0123456789abcdeg"), QString()}) {
        NotionPage page = base;
        page.id = id;
        EXPECT_EQ(notionSearchResult(page, now), std::nullopt) << id.toStdString();
    }
}

TEST(NotionSearch, RelativeTimeStrings) {
    const Date now(800000000.0);
    const std::pair<double, const char *> cases[] = {
        {-3600, "just now"},
        {0, "just now"},
        {59, "just now"},
        {61, "1m ago"},
        {3599, "59m ago"},
        {90 * 60, "1h ago"},
        {86399, "23h ago"},
        {30 * 3600, "yesterday"},
        {47.9 * 3600, "yesterday"},
        {49 * 3600, "2d ago"},
        {400 * 86400.0, "400d ago"},
    };
    for (const auto &[age, expected] : cases)
        EXPECT_EQ(notionRelativeTimeString(now.addingSeconds(-age), now), QString::fromUtf8(expected)) << age;
}

TEST(NotionSearch, CanonicalPageIDs) {
    const std::pair<std::optional<QString>, std::optional<QString>> cases[] = {
        {std::nullopt, std::nullopt},
        {QString(), std::nullopt},
        {QStringLiteral("no id here"), std::nullopt},
        {QStringLiteral("0123456789abcdef0123456789abcde"), std::nullopt},
        {dashedUpperPageID, pageID},
        {QStringLiteral("notion://page/") + pageID, pageID},
        {QStringLiteral("https://www.notion.so/team/Roadmap-") + dashedUpperPageID + QStringLiteral("?pvs=4"),
         pageID},
        {QStringLiteral("https://www.notion.so/") + otherPageID + QStringLiteral("#") + pageID, pageID},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(canonicalNotionPageID(text), expected)
            << text.value_or(QStringLiteral("<none>")).toStdString();
}

TEST(NotionSearch, NormalisesStoredNotionRows) {
    const QString web = QStringLiteral("https://www.notion.so/") + pageID;
    const QString slugAddress = QStringLiteral("https://www.notion.so/Roadmap-") + dashedUpperPageID;
    const SearchResult legacy({.id = -42,
                               .filename = QStringLiteral("Roadmap"),
                               .directory = QStringLiteral("Notion \u00B7 2d ago"),
                               .openCount = 3,
                               .kind = SearchResultKind::action,
                               .action = SearchResultAction::openNotionPage,
                               .actionURLString = slugAddress,
                               .relevanceScore = 280});
    const SearchResult normalised = normalizedNotionSearchResult(legacy);
    EXPECT_EQ(normalised.id(), stableNegativeID(QStringLiteral("notion://page/") + pageID));
    EXPECT_EQ(normalised.databaseID(), std::nullopt);
    EXPECT_EQ(normalised.actionURLString(), web);
    EXPECT_EQ(normalised.fallbackActionURLString(), slugAddress);
    EXPECT_EQ(normalised.usageKey(), QStringLiteral("notion://page/") + pageID);
    EXPECT_EQ(normalised.relevanceScore(), std::nullopt);
    EXPECT_EQ(normalised.filename(), legacy.filename());
    EXPECT_EQ(normalised.directory(), legacy.directory());
    EXPECT_EQ(normalised.openCount(), 3);
    EXPECT_EQ(normalised.kind(), SearchResultKind::action);
    EXPECT_EQ(normalised.action(), SearchResultAction::openNotionPage);

    const SearchResult twice = normalizedNotionSearchResult(normalised);
    EXPECT_EQ(twice.fields().id, normalised.fields().id);
    EXPECT_EQ(searchResultRecordToJson(twice), searchResultRecordToJson(normalised));

    // The id may come from the fallback alone; the usage key wins over the addresses.
    const SearchResult fromFallback =
        normalizedNotionSearchResult(SearchResult({.kind = SearchResultKind::action,
                                                   .action = SearchResultAction::openNotionPage,
                                                   .fallbackActionURLString = slugAddress}));
    EXPECT_EQ(fromFallback.actionURLString(), web);
    EXPECT_EQ(fromFallback.fallbackActionURLString(), slugAddress);
    const SearchResult keyed = normalizedNotionSearchResult(
        SearchResult({.kind = SearchResultKind::action,
                      .action = SearchResultAction::openNotionPage,
                      .actionURLString = QStringLiteral("https://www.notion.so/") + otherPageID,
                      .usageKey = QStringLiteral("notion://page/") + pageID}));
    EXPECT_EQ(keyed.usageKey(), QStringLiteral("notion://page/") + pageID);
    EXPECT_EQ(keyed.fallbackActionURLString(), QStringLiteral("https://www.notion.so/") + otherPageID);

    // Other rows, and Notion rows without a page id, come back as they were.
    const SearchResult bookmark({.filename = QStringLiteral("x"),
                                 .kind = SearchResultKind::action,
                                 .action = SearchResultAction::openBrowserFavorite,
                                 .actionURLString = web});
    EXPECT_EQ(searchResultRecordToJson(normalizedNotionSearchResult(bookmark)),
              searchResultRecordToJson(bookmark));
    const SearchResult noID({.id = -7,
                             .kind = SearchResultKind::action,
                             .action = SearchResultAction::openNotionPage,
                             .actionURLString = QStringLiteral("https://www.notion.so/Roadmap"),
                             .relevanceScore = 5});
    EXPECT_EQ(normalizedNotionSearchResult(noID).relevanceScore(), 5);
    EXPECT_EQ(normalizedNotionSearchResult(noID).id(), -7);
}

} // namespace
} // namespace orvex
