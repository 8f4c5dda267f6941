#include "fixtures/ArgosFakeInterpreter.h"
#include "sources/TranslationLookupArgos.h"
#include "support/TestEnvironment.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace orvex {
namespace {

using namespace std::chrono_literals;

// Long enough for a child on a loaded machine; answers come back at once, so only the requests that
// are meant to go unanswered wait, and those use `unanswered`.
ArgosDaemon::Options fastOptions() {
    return {.replyTimeout = 5000ms, .terminationGrace = 200ms};
}
constexpr std::chrono::milliseconds unanswered = 1000ms;

// Strings as std::string, so failures print readably.
std::optional<std::string> ask(ArgosDaemon &daemon, const test::ArgosFakeInterpreter &fake,
                               const QString &text,
                               std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
    const auto answer = daemon.translate(fake.path(), fake.environment(), text, QStringLiteral("de"),
                                         QStringLiteral("en"), timeout);
    return answer ? std::optional(answer->toStdString()) : std::nullopt;
}

QString ok(const QString &text) {
    return QStringLiteral(R"({"ok": true, "text": "%1", "id": @ID@})").arg(text);
}

struct Exchange {
    const char *name;
    QStringList steps;
    QString text;
    std::optional<std::string> expected;
};

// One request per case against a fresh child, checking what the reply decodes to.
TEST(ArgosDaemon, DecodesOneReplyPerRequest) {
    const QList<Exchange> cases = {
        {"plain", {QStringLiteral("reply ") + ok(QStringLiteral("house"))}, QStringLiteral("Haus"), "house"},
        {"reply split over two writes",
         {QStringLiteral(R"(split {"ok": true, "te|xt": "house", "id": @ID@})")},
         QStringLiteral("Haus"),
         "house"},
        {"CR LF line ending",
         {QStringLiteral("crlf ") + ok(QStringLiteral("house"))},
         QStringLiteral("Haus"),
         "house"},
        {"surrounding white space trimmed",
         {QStringLiteral("reply ") + ok(QStringLiteral("  house \\n"))},
         QStringLiteral("Haus"),
         "house"},
        {"non-ASCII text",
         {QStringLiteral("reply ") + ok(QStringLiteral("Grüße"))},
         QStringLiteral("greetings"),
         "Grüße"},
        {"ok false",
         {QStringLiteral(R"(reply {"ok": false, "error": "pair_not_installed", "id": @ID@})")},
         QStringLiteral("Haus"),
         std::nullopt},
        {"ok true without text",
         {QStringLiteral(R"(reply {"ok": true, "id": @ID@})")},
         QStringLiteral("Haus"),
         std::nullopt},
        {"empty text",
         {QStringLiteral("reply ") + ok(QStringLiteral("   "))},
         QStringLiteral("Haus"),
         std::nullopt},
        {"reply that is not valid UTF-8",
         {QStringLiteral(R"(bytes {"ok": true, "text": "\377\376", "id": @ID@}\n)")},
         QStringLiteral("Haus"),
         std::nullopt},
        {"noise lines before the reply are skipped",
         {QStringLiteral(
             R"(bytes \377garbage\nnot json\n{"text": "no ok", "id": @ID@}\n{"ok": true, "text": "house", "id": @ID@}\n)")},
         QStringLiteral("Haus"),
         "house"},
        {"reply without the request's id",
         {QStringLiteral(R"(reply {"ok": true, "text": "house"})")},
         QStringLiteral("Haus"),
         std::nullopt},
    };
    int index = 0;
    for (const Exchange &exchange : cases) {
        SCOPED_TRACE(exchange.name);
        const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake%1").arg(index++),
                                              exchange.steps);
        ArgosDaemon daemon(fastOptions());
        EXPECT_EQ(
            ask(daemon, fake, exchange.text, exchange.expected ? std::nullopt : std::optional(unanswered)),
            exchange.expected);
    }
}

TEST(ArgosDaemon, SendsOneJsonLineWithTheRequest) {
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake"),
                                          {QStringLiteral("reply ") + ok(QStringLiteral("x"))});
    ArgosDaemon daemon(fastOptions());
    ask(daemon, fake, QStringLiteral("a \"b\"\nc"));
    const QStringList requests = fake.log().filter(QRegularExpression(QStringLiteral("^request ")));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].toStdString(),
              R"(request {"id":1,"source":"de","target":"en","text":"a \"b\"\nc"})");
}

TEST(ArgosDaemon, SilenceLeavesTheChildRunningAndTheNextRequestWorks) {
    const test::ArgosFakeInterpreter fake(
        test::homePath() + QStringLiteral("/fake"),
        {QStringLiteral("silent"), QStringLiteral("reply ") + ok(QStringLiteral("B"))});
    ArgosDaemon daemon(fastOptions());
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("A"), unanswered), std::nullopt);
    const pid_t child = daemon.processID();
    EXPECT_GT(child, 0);
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("B")), std::string("B"));
    EXPECT_EQ(daemon.processID(), child);
}

TEST(ArgosDaemon, LateReplyIsNeverTakenForTheNextRequest) {
    const test::ArgosFakeInterpreter fake(
        test::homePath() + QStringLiteral("/fake"),
        {QStringLiteral("late ") + ok(QStringLiteral("translation of A")),
         QStringLiteral("reply ") + ok(QStringLiteral("translation of B"))});
    ArgosDaemon daemon(fastOptions());
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("A"), unanswered), std::nullopt);
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("B")), std::string("translation of B"));
}

TEST(ArgosDaemon, ChildThatExitedIsRestartedOnTheNextRequest) {
    const test::ArgosFakeInterpreter fake(
        test::homePath() + QStringLiteral("/fake"),
        {QStringLiteral("exit"), QStringLiteral("reply ") + ok(QStringLiteral("B"))});
    ArgosDaemon daemon(fastOptions());
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("A")), std::nullopt);
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("B")), std::string("B"));
    EXPECT_EQ(fake.log().filter(QRegularExpression(QStringLiteral("^start "))).size(), 2);
}

// Writing to a child that no longer reads must fail quietly (no SIGPIPE death), restart, and answer nothing.
TEST(ArgosDaemon, WriteToAChildThatStoppedReadingFailsAndRestarts) {
    const test::ArgosFakeInterpreter fake(
        test::homePath() + QStringLiteral("/fake"),
        {QStringLiteral("deaf"), QStringLiteral("reply ") + ok(QStringLiteral("C"))});
    ArgosDaemon daemon(fastOptions());
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("A"), unanswered), std::nullopt);
    // The child has stopped reading before the next request is written.
    ASSERT_TRUE(test::waitUntil([&] { return fake.log().contains(QStringLiteral("deaf")); }));
    const pid_t deafChild = daemon.processID();
    ASSERT_GT(deafChild, 0);
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("B")), std::nullopt);
    EXPECT_FALSE(daemon.isUsable());
    EXPECT_EQ(::kill(deafChild, 0), -1) << "the stopped child was not reaped";
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("C")), std::string("C"));
}

TEST(ArgosDaemon, ChildThatIgnoresTerminationIsKilledAndReaped) {
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake"),
                                          {QStringLiteral("stubborn ") + ok(QStringLiteral("A"))});
    ArgosDaemon daemon(fastOptions());
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("A")), std::string("A"));
    const pid_t child = daemon.processID();
    ASSERT_GT(child, 0);
    daemon.restart();
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(daemon.processID(), 0);
}

// A child must not inherit another child's pipes: the first child sees the end of its input as soon
// as its daemon closes it, although a second child was started in between.
TEST(ArgosDaemon, PipesAreNotInheritedByOtherChildren) {
    const test::ArgosFakeInterpreter first(test::homePath() + QStringLiteral("/first"),
                                           {QStringLiteral("reply ") + ok(QStringLiteral("1"))});
    const test::ArgosFakeInterpreter second(test::homePath() + QStringLiteral("/second"),
                                            {QStringLiteral("reply ") + ok(QStringLiteral("2"))});
    ArgosDaemon firstDaemon({.replyTimeout = 5000ms, .terminationGrace = 2000ms});
    ArgosDaemon secondDaemon(fastOptions());
    ASSERT_EQ(firstDaemon.translate(first.path(), first.environment(), QStringLiteral("x"),
                                    QStringLiteral("de"), QStringLiteral("en")),
              QStringLiteral("1"));
    const pid_t firstChild = firstDaemon.processID();
    ASSERT_EQ(secondDaemon.translate(second.path(), second.environment(), QStringLiteral("x"),
                                     QStringLiteral("de"), QStringLiteral("en")),
              QStringLiteral("2"));
    firstDaemon.restart();
    EXPECT_TRUE(first.log().contains(QStringLiteral("eof %1").arg(firstChild)))
        << first.log().join(u'\n').toStdString();
}

TEST(ArgosDaemon, TextWithoutAUtf8FormIsNotSent) {
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake"),
                                          {QStringLiteral("reply ") + ok(QStringLiteral("fine"))});
    ArgosDaemon daemon(fastOptions());
    const QString unpaired = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    EXPECT_EQ(ask(daemon, fake, unpaired), std::nullopt);
    EXPECT_TRUE(fake.log().filter(QRegularExpression(QStringLiteral("^request "))).isEmpty());
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("ok")), std::string("fine"));
}

TEST(ArgosDaemon, InterpreterThatCannotBeStartedAnswersNothing) {
    ArgosDaemon daemon(fastOptions());
    EXPECT_EQ(daemon.translate(test::homePath() + QStringLiteral("/missing-python"),
                               QProcessEnvironment::systemEnvironment(), QStringLiteral("Haus"),
                               QStringLiteral("de"), QStringLiteral("en")),
              std::nullopt);
    EXPECT_FALSE(daemon.isUsable());
}

TEST(ArgosDaemon, PrewarmStartsTheChildOnce) {
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake"),
                                          {QStringLiteral("reply ") + ok(QStringLiteral("house"))});
    ArgosDaemon daemon(fastOptions());
    daemon.prewarm(fake.path(), fake.environment());
    const pid_t child = daemon.processID();
    EXPECT_GT(child, 0);
    daemon.prewarm(fake.path(), fake.environment());
    EXPECT_EQ(daemon.processID(), child);
    EXPECT_EQ(ask(daemon, fake, QStringLiteral("Haus")), "house");
}

} // namespace
} // namespace orvex
