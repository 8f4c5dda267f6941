#include "sources/NotionClient.h"
#include "fixtures/LoopbackHttpServer.h"
#include "sources/StandardSources.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <thread>

namespace orvex {

void PrintTo(const NotionPage &page, std::ostream *os) {
    *os << "{id " << page.id.toStdString() << ", title " << page.title.toStdString() << ", url "
        << page.url.toStdString() << ", icon "
        << (page.icon ? (page.icon->kind == NotionPageIcon::Kind::emoji ? "emoji " : "external ") +
                            page.icon->value.toStdString()
                      : std::string("none"))
        << ", edited " << (page.lastEditedTime ? std::to_string(page.lastEditedTime->unixSeconds()) : "none")
        << "}";
}

namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpReply;
using test::LoopbackHttpServer;

// 2024-05-01T10:20:30Z
constexpr double editedUnixSeconds = 1714558830.0;

QByteArray titleProperty(const QStringList &parts) {
    QJsonArray title;
    for (const QString &part : parts)
        title.append(QJsonObject{{"type", "text"}, {"plain_text", part}});
    return QJsonDocument(QJsonObject{{"Name", QJsonObject{{"type", "title"}, {"title", title}}}})
        .toJson(QJsonDocument::Compact);
}

QByteArray searchReply(const QByteArray &resultsJSON) {
    return "{\"object\":\"list\",\"results\":" + resultsJSON + "}";
}

const QByteArray onePage = searchReply(R"([{"object":"page","id":"0123456789abcdef0123456789abcdef",
    "url":"https://www.notion.so/Roadmap-0123456789abcdef0123456789abcdef",
    "properties":)" + titleProperty({"Road", "map"}) +
                                       R"(,"icon":{"type":"emoji","emoji":"🚀"},
    "last_edited_time":"2024-05-01T10:20:30.000Z"}])");

TEST(NotionClient, SendsThePostWithItsHeadersAndBody) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.setDefaultReply(LoopbackHttpReply::json(searchReply("[]")));

    // A trailing slash on the base address does not double the path's slash.
    const QUrl base(server.baseURL().toString() + QStringLiteral("/"));
    EXPECT_TRUE(
        NotionClient(QStringLiteral("ntn_Ab+c/9="), base).searchPages(QStringLiteral("Road Map")).isEmpty());

    const QList<test::LoopbackHttpRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    const test::LoopbackHttpRequest &request = requests.first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/v1/search");
    EXPECT_EQ(request.headerValues("Authorization"), QList<QByteArray>{"Bearer ntn_Ab+c/9="});
    EXPECT_EQ(request.headerValues("Notion-Version"), QList<QByteArray>{"2022-06-28"});
    EXPECT_EQ(request.headerValues("Content-Type"), QList<QByteArray>{"application/json"});

    QJsonParseError error;
    const QJsonDocument body = QJsonDocument::fromJson(request.body, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << request.body.toStdString();
    const QJsonObject expected{{"query", "Road Map"},
                               {"filter", QJsonObject{{"value", "page"}, {"property", "object"}}},
                               {"page_size", 12}};
    EXPECT_EQ(body.object(), expected) << request.body.toStdString();
    EXPECT_TRUE(body.object().value("page_size").isDouble());
}

TEST(NotionClient, ParsesOnlyASuccessfulCompleteReplyAndSaysWhyOthersFailed) {
    using Reason = NotionSearchFailure::Reason;
    struct Case {
        const char *name;
        LoopbackHttpReply reply;
        bool expectPages;
        std::optional<Reason> failure;
        int failureStatus = 0;
        std::optional<NotionRetryAfter> retryAfter = std::nullopt;
    };
    const QByteArray fullReply = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                                 QByteArray::number(onePage.size()) + "\r\n\r\n";
    const Case cases[] = {
        {"200", LoopbackHttpReply::json(onePage), true, std::nullopt},
        {"200 without results", LoopbackHttpReply::json(searchReply("[]")), false, std::nullopt},
        {"200 that is no search reply", LoopbackHttpReply::json("<html>"), false, Reason::unreadableReply},
        {"201 with pages", LoopbackHttpReply::json(onePage, 201), false, Reason::serverStatus, 201},
        {"401", LoopbackHttpReply::json(onePage, 401), false, Reason::refusedToken, 401},
        {"403", LoopbackHttpReply::json(onePage, 403), false, Reason::refusedToken, 403},
        {"500", LoopbackHttpReply::json(onePage, 500), false, Reason::serverStatus, 500},
        {"429 with Retry-After",
         {.status = 429, .headers = {{"Retry-After", "120"}}, .body = onePage},
         false,
         Reason::asksToWait,
         429,
         NotionRetryAfter{.seconds = 120, .date = std::nullopt}},
        {"429 without Retry-After", LoopbackHttpReply::json(onePage, 429), false, Reason::asksToWait, 429},
        {"503 with Retry-After",
         {.status = 503, .headers = {{"retry-after", "Sun, 06 Nov 1994 08:49:37 GMT"}}, .body = onePage},
         false,
         Reason::asksToWait,
         503,
         NotionRetryAfter{.seconds = std::nullopt, .date = Date::fromUnixSeconds(784111777)}},
        {"503 without Retry-After", LoopbackHttpReply::json(onePage, 503), false, Reason::serverStatus, 503},
        {"redirect",
         {.status = 302, .headers = {{"Location", "/v1/search"}}, .body = onePage},
         false,
         Reason::serverStatus,
         302},
        {"closed before answering", {.body = onePage, .closeAfterBytes = 0}, false, Reason::noAnswer},
        {"closed in the middle of the body",
         {.headers = {{"Content-Type", "application/json"}},
          .body = onePage,
          .closeAfterBytes = fullReply.size() + onePage.size() / 2},
         false,
         Reason::noAnswer},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server;
        // Every request gets the case's reply: the network layer may resend once on a dropped connection.
        server.setDefaultReply(c.reply);
        const NotionClient client(QStringLiteral("token"), server.baseURL());
        const QList<NotionPage> pages = client.searchPages(QStringLiteral("roadmap"));
        const NotionSearchResponse response = client.search(QStringLiteral("roadmap"));
        EXPECT_GE(server.requestCount(), 2);
        EXPECT_EQ(response.pages, pages);
        ASSERT_EQ(response.failure.has_value(), c.failure.has_value());
        if (c.failure) {
            EXPECT_EQ(response.failure->reason, *c.failure);
            EXPECT_EQ(response.failure->httpStatus, c.failureStatus);
            EXPECT_EQ(response.failure->retryAfter, c.retryAfter);
            if (*c.failure == Reason::noAnswer) {
                EXPECT_FALSE(response.failure->detail.isEmpty());
            }
        }
        if (c.expectPages) {
            ASSERT_EQ(pages.size(), 1);
            EXPECT_EQ(pages.first(),
                      (NotionPage{.id = "0123456789abcdef0123456789abcdef",
                                  .title = "Roadmap",
                                  .url = "https://www.notion.so/Roadmap-0123456789abcdef0123456789abcdef",
                                  .icon = NotionPageIcon::emoji("🚀"),
                                  .lastEditedTime = Date::fromUnixSeconds(editedUnixSeconds)}));
        } else {
            EXPECT_TRUE(pages.isEmpty());
        }
    }
}

TEST(NotionClient, ReadsRetryAfterAsSecondsOrAnyFormOfHttpDate) {
    const std::optional<NotionRetryAfter> none;
    const NotionRetryAfter november6{.seconds = std::nullopt, .date = Date::fromUnixSeconds(784111777)};
    const std::pair<QByteArray, std::optional<NotionRetryAfter>> cases[] = {
        {"120", NotionRetryAfter{.seconds = 120, .date = std::nullopt}},
        {" 0 ", NotionRetryAfter{.seconds = 0, .date = std::nullopt}},
        {"Sun, 06 Nov 1994 08:49:37 GMT", november6},
        {"Sunday, 06-Nov-94 08:49:37 GMT", november6},
        {"Sun Nov  6 08:49:37 1994", november6},
        {"", none},
        {"-5", none},
        {"1.5", none},
        {"soon", none},
        {"Sun, 31 Feb 1994 08:49:37 GMT", none},
        {"Sun, 06 Nov 1994 24:00:00 GMT", none},
        {"Sun, 06 Foo 1994 08:49:37 GMT", none},
        {"Sun, 06 Nov 1994 08:49:37 CET", none},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(NotionClient::parseRetryAfter(value), expected) << value.toStdString();

    // A wait is never negative, nor longer than a date names.
    const Date now = Date::fromUnixSeconds(784111777 - 30);
    EXPECT_EQ(november6.secondsToWait(now), 30);
    EXPECT_EQ(november6.secondsToWait(now.addingSeconds(3600)), 0);
    EXPECT_EQ((NotionRetryAfter{.seconds = 5, .date = std::nullopt}).secondsToWait(now), 5);
}

TEST(NotionClient, AClosedPortIsNoAnswer) {
    quint16 port = 0;
    {
        LoopbackHttpServer server;
        port = server.port();
    }
    const NotionSearchResponse response =
        NotionClient(QStringLiteral("token"), QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)))
            .search(QStringLiteral("roadmap"));
    ASSERT_TRUE(response.failure.has_value());
    EXPECT_EQ(response.failure->reason, NotionSearchFailure::Reason::noAnswer);
    EXPECT_FALSE(response.failure->detail.isEmpty());
}

TEST(NotionClient, ATokenWithAControlCharacterSendsNothing) {
    LoopbackHttpServer server;
    server.setDefaultReply(LoopbackHttpReply::json(onePage));
    for (const QString &token :
         {QStringLiteral("abc\r\nX-Injected: 1"), QStringLiteral("abc\ndef"), QStringLiteral("abc\rdef"),
          QStringLiteral("abc\x7f"), QStringLiteral("a\u0085b")}) {
        SCOPED_TRACE(token.toStdString());
        EXPECT_FALSE(NotionClient::isSendableToken(token));
        EXPECT_TRUE(NotionClient(token, server.baseURL()).searchPages(QStringLiteral("roadmap")).isEmpty());
        const NotionSearchResponse response =
            NotionClient(token, server.baseURL()).search(QStringLiteral("roadmap"));
        ASSERT_TRUE(response.failure.has_value());
        EXPECT_EQ(response.failure->reason, NotionSearchFailure::Reason::unsendableToken);
    }
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(NotionClient::isSendableToken(QStringLiteral("ntn_123 abc")));
}

TEST(NotionClient, ASlowServerGivesNoPagesAtTheTimeOut) {
    EXPECT_EQ(NotionClient::defaultTimeout, 4000ms);
    EXPECT_EQ(StandardSourcesConfiguration().notionRequestTimeout, 4000ms);

    LoopbackHttpServer server;
    LoopbackHttpReply slow = LoopbackHttpReply::json(onePage);
    slow.held = true; // answers only when the server stops
    server.setDefaultReply(slow);
    const QList<NotionPage> pages =
        NotionClient(QStringLiteral("token"), server.baseURL(), 300ms).searchPages(QStringLiteral("roadmap"));
    EXPECT_TRUE(pages.isEmpty());
    EXPECT_EQ(server.requestCount(), 1);
    const NotionSearchResponse response =
        NotionClient(QStringLiteral("token"), server.baseURL(), 300ms).search(QStringLiteral("roadmap"));
    ASSERT_TRUE(response.failure.has_value());
    EXPECT_EQ(response.failure->reason, NotionSearchFailure::Reason::timedOut);
}

TEST(NotionClient, CancellationEndsTheWaitWithNoPages) {
    LoopbackHttpServer server;
    LoopbackHttpReply slow = LoopbackHttpReply::json(onePage);
    slow.held = true;
    server.setDefaultReply(slow);
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        server.waitForRequestCount(1);
        cancelled.store(true);
    });
    // The time-out is far away: only the cancellation can end this wait in time for the test.
    const NotionSearchResponse response = NotionClient(QStringLiteral("token"), server.baseURL(), 100000ms)
                                              .search(QStringLiteral("roadmap"), &cancelled);
    canceller.join();
    EXPECT_TRUE(response.pages.isEmpty());
    ASSERT_TRUE(response.failure.has_value());
    EXPECT_EQ(response.failure->reason, NotionSearchFailure::Reason::cancelled);
}

TEST(NotionClient, AWholeReplyThatIsNotAListOfObjectsGivesNoPages) {
    const QByteArray page = R"({"id":"0123456789abcdef0123456789abcdef","url":"https://x","properties":)" +
                            titleProperty({"A"}) + "}";
    for (const QByteArray &body :
         {QByteArray(""), QByteArray("not json"), QByteArray("[]"), QByteArray("{}"),
          QByteArray(R"({"results":{}})"), QByteArray(R"({"results":null})"), QByteArray(R"({"results":[]})"),
          QByteArray(R"({"results":[)" + page + ",1]}"), QByteArray(R"({"results":[)" + page + ",[]]}")}) {
        SCOPED_TRACE(body.toStdString());
        EXPECT_TRUE(NotionClient::parseSearchResponse(body).isEmpty());
        // Only a list of no results is a readable reply.
        EXPECT_EQ(NotionClient::parseSearchResponseIfReadable(body).has_value(), body == R"({"results":[]})");
    }
    EXPECT_EQ(NotionClient::parseSearchResponse(R"({"results":[)" + page + "]}").size(), 1);
}

TEST(NotionClient, ReadsEachResultByItsRules) {
    struct Case {
        const char *name;
        QByteArray result; // members after the required ones, or a whole object when it starts with '{'
        std::optional<NotionPage> expected;
    };
    const QByteArray title = R"("properties":)" + titleProperty({"Road", "map"});
    const QByteArray required = R"("id":"ID-1","url":"https://u",)" + title;
    const NotionPage plain{.id = "ID-1", .title = "Roadmap", .url = "https://u"};
    const auto with = [&](auto change) {
        NotionPage page = plain;
        change(page);
        return std::optional<NotionPage>(page);
    };
    const Case cases[] = {
        {"required only", required, plain},
        {"no id", R"({"url":"https://u",)" + title + "}", std::nullopt},
        {"id not a string", R"({"id":7,"url":"https://u",)" + title + "}", std::nullopt},
        {"no url", R"({"id":"ID-1",)" + title + "}", std::nullopt},
        {"url not a string", R"({"id":"ID-1","url":null,)" + title + "}", std::nullopt},
        {"no properties", R"({"id":"ID-1","url":"https://u"})", std::nullopt},
        {"empty title", R"({"id":"ID-1","url":"https://u","properties":)" + titleProperty({}) + "}",
         std::nullopt},
        {"title parts without plain text are left out",
         R"({"id":"ID-1","url":"https://u","properties":{"Name":{"type":"title","title":[
             {"plain_text":"Road"},{"text":{"content":"x"}},{"plain_text":5},{"plain_text":"map"}]}}})",
         plain},
        {"the title property is found among others",
         R"({"id":"ID-1","url":"https://u","properties":{
             "A":{"type":"rich_text","rich_text":[{"plain_text":"no"}]},
             "B":{"type":"title","title":[]},
             "C":{"type":"title","title":[{"plain_text":"Roadmap"}]}}})",
         plain},
        {"a property that is not an object spoils the title",
         R"({"id":"ID-1","url":"https://u","properties":{"A":1,
             "Name":{"type":"title","title":[{"plain_text":"Roadmap"}]}}})",
         std::nullopt},
        {"title parts that are not all objects do not count",
         R"({"id":"ID-1","url":"https://u","properties":{
             "Name":{"type":"title","title":[{"plain_text":"Roadmap"},"x"]}}})",
         std::nullopt},
        {"emoji icon", required + R"(,"icon":{"type":"emoji","emoji":"📘"})",
         with([](NotionPage &p) { p.icon = NotionPageIcon::emoji("📘"); })},
        {"external icon", required + R"(,"icon":{"type":"external","external":{"url":"https://img/i.png"}})",
         with([](NotionPage &p) { p.icon = NotionPageIcon::external("https://img/i.png"); })},
        {"file icon", required + R"(,"icon":{"type":"file","file":{"url":"https://img/i.png"}})", plain},
        {"emoji icon without its emoji", required + R"(,"icon":{"type":"emoji"})", plain},
        {"external icon without its address", required + R"(,"icon":{"type":"external","external":{}})",
         plain},
        {"icon without a type", required + R"(,"icon":{"emoji":"📘"})", plain},
        {"icon not an object", required + R"(,"icon":"📘")", plain},
        {"date with fractions", required + R"(,"last_edited_time":"2024-05-01T10:20:30.000Z")",
         with([](NotionPage &p) { p.lastEditedTime = Date::fromUnixSeconds(editedUnixSeconds); })},
        {"date without fractions", required + R"(,"last_edited_time":"2024-05-01T10:20:30Z")",
         with([](NotionPage &p) { p.lastEditedTime = Date::fromUnixSeconds(editedUnixSeconds); })},
        {"date that is not a date", required + R"(,"last_edited_time":"yesterday")", plain},
        {"date that is not a string", required + R"(,"last_edited_time":1714558830)", plain},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray object = c.result.startsWith('{') ? c.result : "{" + c.result + "}";
        const QList<NotionPage> pages = NotionClient::parseSearchResponse(searchReply("[" + object + "]"));
        if (c.expected) {
            ASSERT_EQ(pages.size(), 1);
            EXPECT_EQ(pages.first(), *c.expected);
        } else {
            EXPECT_TRUE(pages.isEmpty());
        }
    }

    // Results that are dropped leave the others in reply order.
    const QList<NotionPage> pages = NotionClient::parseSearchResponse(
        searchReply("[{" + required + R"(},{"id":"skip"},{"id":"ID-2","url":"https://v",)" + title + "}]"));
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].id, "ID-1");
    EXPECT_EQ(pages[1].id, "ID-2");
}

TEST(NotionClient, ParsesInternetDateTimes) {
    const Date edited = Date::fromUnixSeconds(editedUnixSeconds);
    const std::pair<const char *, std::optional<Date>> cases[] = {
        {"2024-05-01T10:20:30.000Z", edited},
        {"2024-05-01T10:20:30Z", edited},
        {"2024-05-01T10:20:30.25Z", edited.addingSeconds(0.25)},
        {"2024-05-01T10:20:30.123456789Z", edited.addingSeconds(0.123456789)},
        {"2024-05-01T12:20:30+02:00", edited},
        {"2024-05-01T08:50:30.000-01:30", edited},
        {"2024-05-01T10:20:30", std::nullopt},
        {"2024-05-01", std::nullopt},
        {"2024-02-30T10:20:30Z", std::nullopt},
        {"2024-05-01T24:00:00Z", std::nullopt},
        {"2024-05-01 10:20:30Z", std::nullopt},
        {"2024-05-01T10:20:30.Z", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text);
        const std::optional<Date> parsed = NotionClient::parseInternetDateTime(QString::fromUtf8(text));
        ASSERT_EQ(parsed.has_value(), expected.has_value());
        if (expected) {
            EXPECT_NEAR(parsed->secondsSince2001(), expected->secondsSince2001(), 1e-6);
        }
    }
}

} // namespace
} // namespace orvex
