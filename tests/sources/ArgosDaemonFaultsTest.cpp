// The Argos child dying while a request waits for its reply, or hanging while the launcher goes, or
// having nothing to translate with, and what it may inherit. (A child that stays silent, exits on a
// request or stops reading is covered with the daemon's own tests.)
#include "fixtures/ArgosFakeInterpreter.h"
#include "sources/TranslationLookupArgos.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <future>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace orvex {
namespace {

using namespace std::chrono_literals;

// The process id of the child's first start, once that child has taken its first step (the fake
// counts steps in "count" beside its log) and so waits for the next request.
pid_t childWaitingOnARequest(const test::ArgosFakeInterpreter &fake, const QString &folder) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        QFile count(folder + QStringLiteral("/count"));
        const QStringList log = fake.log();
        if (count.open(QIODevice::ReadOnly) && count.readAll().trimmed() == "1" && !log.isEmpty() &&
            log.at(0).startsWith(QLatin1String("start ")))
            return static_cast<pid_t>(log.at(0).mid(6).toLongLong());
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

TEST(ArgosDaemonFaults, ChildKilledDuringARequestEndsItAndIsReplaced) {
    const QString folder = test::homePath() + QStringLiteral("/fake");
    const test::ArgosFakeInterpreter fake(
        folder, {QStringLiteral("silent"), QStringLiteral(R"(reply {"ok": true, "text": "B", "id": @ID@})")});
    // Far longer than the test may take: the first request must end because its child died.
    constexpr auto replyTimeout = 120s;
    ArgosDaemon daemon({.replyTimeout = replyTimeout, .terminationGrace = 200ms});
    const auto translate = [&](const QString &text) {
        return daemon.translate(fake.path(), fake.environment(), text, QStringLiteral("de"),
                                QStringLiteral("en"));
    };

    pid_t killed = 0;
    std::thread killer([&] {
        killed = childWaitingOnARequest(fake, folder);
        if (killed > 0)
            ::kill(killed, SIGKILL);
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(translate(QStringLiteral("A")), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - started, replyTimeout);
    killer.join();
    ASSERT_GT(killed, 0) << "the request never reached the child";

    EXPECT_EQ(translate(QStringLiteral("B")), std::optional<QString>(QStringLiteral("B")));
    EXPECT_NE(daemon.processID(), killed);
    // The dead child was reaped, not left behind as a zombie.
    EXPECT_EQ(::kill(killed, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

QString ok(const QString &text) {
    return QStringLiteral(R"(reply {"ok": true, "text": "%1", "id": @ID@})").arg(text);
}

// The launcher quits while a request waits on a child that never answers, ignores SIGTERM and the end of
// its input, and has started a process of its own: the request ends at once, not at its time-out, the
// child and what it started are killed (no grace: whoever shuts down is going away), and nothing starts
// another child afterwards.
TEST(ArgosDaemonFaults, ShutdownEndsAWaitingRequestAndKillsTheChildWithWhatItStarted) {
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake"),
                                          {QStringLiteral("hang"), ok(QStringLiteral("B"))});
    // Far longer than the test may take: only the shutdown may end the request or the child.
    ArgosDaemon daemon({.replyTimeout = 600s, .terminationGrace = 600s});
    const auto translate = [&](const QString &text) {
        return daemon.translate(fake.path(), fake.environment(), text, QStringLiteral("de"),
                                QStringLiteral("en"));
    };
    auto request = std::async(std::launch::async, translate, QStringLiteral("A"));
    ASSERT_TRUE(test::waitUntil([&] { return !fake.loggedProcesses(QStringLiteral("hang")).isEmpty(); }, 20s))
        << fake.log().join(u'\n').toStdString();
    const auto child = fake.loggedProcesses(QStringLiteral("start")).value(0);
    const auto grandchild = fake.loggedProcesses(QStringLiteral("hang")).value(0);
    ASSERT_GT(child, 0);

    daemon.shutdown();
    ASSERT_EQ(request.wait_for(20s), std::future_status::ready) << "the request waits on";
    EXPECT_EQ(request.get(), std::nullopt);
    errno = 0;
    EXPECT_EQ(::kill(child, 0), -1) << "the child is left running or unreaped";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(test::waitUntil([&] { return test::isProcessGone(grandchild); }, 5s))
        << "what the child started lives on";

    EXPECT_EQ(translate(QStringLiteral("B")), std::nullopt);
    daemon.prewarm(fake.path(), fake.environment());
    EXPECT_EQ(daemon.processID(), 0);
    EXPECT_EQ(fake.loggedProcesses(QStringLiteral("start")).size(), 1) << "a child was started after all";
}

// Without the translation package every request is answered "module_missing": the child is asked to end
// (its input closed) after the answer instead of staying resident for the rest of the run, and the next
// request starts a new one, which finds a package installed meanwhile.
TEST(ArgosDaemonFaults, AChildWithoutTheTranslationPackageIsNotKeptResident) {
    const test::ArgosFakeInterpreter fake(
        test::homePath() + QStringLiteral("/fake"),
        {QStringLiteral(R"(reply {"ok": false, "error": "module_missing", "id": @ID@})"),
         ok(QStringLiteral("B"))});
    ArgosDaemon daemon({.replyTimeout = 20s, .terminationGrace = 5s});
    const auto translate = [&](const QString &text) {
        return daemon.translate(fake.path(), fake.environment(), text, QStringLiteral("de"),
                                QStringLiteral("en"));
    };

    EXPECT_EQ(translate(QStringLiteral("A")), std::nullopt);
    EXPECT_EQ(daemon.processID(), 0);
    const auto child = fake.loggedProcesses(QStringLiteral("start")).value(0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(fake.log().contains(QStringLiteral("eof %1").arg(child)))
        << fake.log().join(u'\n').toStdString();
    errno = 0;
    EXPECT_EQ(::kill(child, 0), -1) << "the child is left running or unreaped";
    EXPECT_EQ(errno, ESRCH);

    EXPECT_EQ(translate(QStringLiteral("B")), std::optional<QString>(QStringLiteral("B")));
}

// A descriptor the process holds without close-on-exec (a library's file, a tool's copy of its standard
// output) never reaches the child, which could otherwise keep a reader of it waiting for as long as it
// lives.
TEST(ArgosDaemonFaults, TheChildInheritsNoDescriptorButItsStandardStreams) {
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake"),
                                          {ok(QStringLiteral("A"))});
    const QString held = test::homePath() + QStringLiteral("/held-open");
    test::writeFile(held, "held");
    const int descriptor = ::open(QFile::encodeName(held).constData(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    ArgosDaemon daemon({.replyTimeout = 20s, .terminationGrace = 5s});

    EXPECT_EQ(daemon.translate(fake.path(), fake.environment(), QStringLiteral("A"), QStringLiteral("de"),
                               QStringLiteral("en")),
              std::optional<QString>(QStringLiteral("A")));
    const pid_t child = daemon.processID();
    ASSERT_GT(child, 0);
    const QString folder = QStringLiteral("/proc/%1/fd").arg(child);
    QStringList open;
    for (const QString &entry :
         QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot))
        open.append(entry + QStringLiteral(" -> ") + QFile::symLinkTarget(folder + QLatin1Char('/') + entry));
    ::close(descriptor);
    EXPECT_FALSE(open.isEmpty()) << "the child's descriptors cannot be read";
    for (const QString &line : open)
        EXPECT_FALSE(line.endsWith(QStringLiteral(" -> ") + QFileInfo(held).canonicalFilePath()))
            << open.join(QStringLiteral(", ")).toStdString();
}

} // namespace
} // namespace orvex
