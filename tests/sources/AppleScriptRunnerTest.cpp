#include "fixtures/BrowserFixtures.h"
#include "sources/AppleScriptRunner.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace orvex {
namespace {

using test::FakeOsascript;

QString fakeFolder() {
    return test::homePath() + QStringLiteral("/fake-osascript");
}

TEST(AppleScriptRunner, PassesScriptAndDataAsSeparateArgumentsAndTrimsTheStreams) {
    FakeOsascript fake(fakeFolder());
    fake.respond("  hello tabs \n\n", "\t warning \n", 3);
    const QStringList data = {QStringLiteral("Brave Browser"),
                              QStringLiteral("\" & (do shell script \"id\") & \""),
                              QStringLiteral("$(touch pwned)"), QStringLiteral("two\nlines"), QString()};
    const auto result = AppleScriptRunner(fake.path()).runDetailed(QStringLiteral("return 1"), data);

    ASSERT_TRUE(result);
    EXPECT_EQ(*result, (AppleScriptRunResult{.terminationStatus = 3,
                                             .standardOutput = QStringLiteral("hello tabs"),
                                             .standardError = QStringLiteral("warning")}));
    EXPECT_EQ(fake.arguments(1), QStringList({QStringLiteral("-e"), QStringLiteral("return 1")}) + data);
}

TEST(AppleScriptRunner, OutputThatIsNotUtf8ReadsAsEmpty) {
    FakeOsascript fake(fakeFolder());
    fake.respond("ok\xff\xfe", "caf\xc3\xa9");
    const auto result = AppleScriptRunner(fake.path()).runDetailed(QStringLiteral("x"), {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->standardOutput, QString());
    EXPECT_EQ(result->standardError, QStringLiteral("caf\u00e9"));
}

TEST(AppleScriptRunner, DrainsBothPipesWhileTheChildRuns) {
    // Far more than a pipe holds on each stream, error stream first: a runner that reads one stream to
    // its end, or waits for the exit before reading, would stall until the time-out kills the child.
    FakeOsascript fake(fakeFolder());
    const QByteArray output(300 * 1024, 'o');
    const QByteArray error(300 * 1024, 'e');
    fake.respond(output, error, 0);
    const auto result = AppleScriptRunner(fake.path(), 60000).runDetailed(QStringLiteral("x"), {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->terminationStatus, 0) << result->standardError.left(200).toStdString();
    EXPECT_EQ(result->standardOutput.size(), output.size());
    EXPECT_EQ(result->standardError.size(), error.size());
}

TEST(AppleScriptRunner, KillsAndReapsAChildThatOutlivesTheTimeOut) {
    FakeOsascript fake(fakeFolder());
    const QString pidFile = fakeFolder() + QStringLiteral("/pid");
    fake.respond({}, {}, 0, {}, "echo $$ > '" + QFile::encodeName(pidFile) + "'; exec sleep 30");

    const auto result = AppleScriptRunner(fake.path(), 1500).runDetailed(QStringLiteral("x"), {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->terminationStatus, SIGKILL);
    EXPECT_EQ(result->standardOutput, QString());
    EXPECT_TRUE(result->standardError.contains(QStringLiteral("did not finish within 1.5 seconds")))
        << result->standardError.toStdString();

    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    // Reaped, not left as a zombie: the process id no longer exists.
    errno = 0;
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(AppleScriptRunner, AChildEndedByASignalReportsTheSignal) {
    FakeOsascript fake(fakeFolder());
    fake.respond({}, {}, 0, {}, "kill -TERM $$");
    const auto result = AppleScriptRunner(fake.path()).runDetailed(QStringLiteral("x"), {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->terminationStatus, SIGTERM);
}

TEST(AppleScriptRunner, AToolThatCannotStartIsReportedAndAnswersNothing) {
    const QString brokenInterpreter = test::homePath() + QStringLiteral("/broken-osascript");
    test::writeFile(brokenInterpreter, "#!/nonexistent/interpreter\n");
    QFile::setPermissions(brokenInterpreter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    for (const QString &path : {test::homePath() + QStringLiteral("/no-such-osascript"), brokenInterpreter}) {
        testing::internal::CaptureStdout();
        const auto detailed = AppleScriptRunner(path).runDetailed(QStringLiteral("x"), {});
        const auto plain = AppleScriptRunner(path).run(QStringLiteral("x"), {});
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(detailed) << path.toStdString();
        EXPECT_FALSE(plain) << path.toStdString();
        EXPECT_EQ(QString::fromStdString(printed).count(QStringLiteral("AppleScript launch failed: ")), 2)
            << printed;
    }
}

TEST(AppleScriptRunner, PlainRunAnswersOnlyNonEmptySuccessAndReportsFailures) {
    struct Case {
        const char *name;
        QByteArray output;
        QByteArray error;
        int status;
        std::optional<QString> answer;
        std::string printed;
    };
    const Case cases[] = {
        {"success", " true\n", "", 0, QStringLiteral("true"), ""},
        {"empty success is no answer", "\n", "ignored", 0, std::nullopt, ""},
        {"failure with error text", "true", "boom\n", 2, std::nullopt,
         "AppleScript failed (status 2): boom\n"},
        {"failure without error text", "true", "", 2, std::nullopt, "AppleScript failed with status 2\n"},
    };
    for (const Case &c : cases) {
        FakeOsascript fake(fakeFolder());
        fake.respond(c.output, c.error, c.status);
        testing::internal::CaptureStdout();
        const auto answer = AppleScriptRunner(fake.path()).run(QStringLiteral("x"), {});
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.name;
        EXPECT_EQ(answer, c.answer) << c.name;
    }
}

TEST(AppleScriptRunner, RecognisesARefusedAutomationPermission) {
    const std::pair<const char *, bool> cases[] = {
        {"execution error: Not authorized to send Apple events to Microsoft Edge. (-1743)", true},
        {"error (-1743)", true},
        {"NOT AUTHORISED TO SEND APPLE EVENTS to Brave Browser", true},
        {"errAEEventNotPermitted", true},
        {"Event not permitted", true},
        {"execution error: Can't get window 3. (-1728)", false},
        {"", false},
    };
    for (const auto &[text, denied] : cases)
        EXPECT_EQ(AppleScriptRunner::isAppleEventsPermissionDenied(QString::fromUtf8(text)), denied) << text;
}

} // namespace
} // namespace orvex
