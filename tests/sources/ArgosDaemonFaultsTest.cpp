// The Argos child dying while a request waits for its reply: the request ends at once, without
// waiting out its time-out, and the next one gets a fresh child. (A child that stays silent, exits on
// a request or stops reading is covered with the daemon's own tests.)
#include "fixtures/ArgosFakeInterpreter.h"
#include "sources/TranslationLookupArgos.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

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

} // namespace
} // namespace orvex
