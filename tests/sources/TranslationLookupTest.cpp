#include "sources/TranslationLookup.h"
#include "fixtures/ArgosFakeInterpreter.h"
#include "platform/UserDefaults.h"
#include "platform/WorkerPool.h"
#include "sources/TranslationLookupArgos.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <future>

namespace orvex {
namespace {

using namespace std::chrono_literals;

TranslationCommand commandFor(const QString &text) {
    return {.trigger = QStringLiteral("cc"),
            .sourceText = text,
            .sourceLanguageCode = QStringLiteral("de"),
            .targetLanguageCode = QStringLiteral("en")};
}

// Writes an executable shell script.
QString script(const QString &name, const QByteArray &body) {
    const QString path = test::homePath() + QStringLiteral("/bin/") + name;
    test::writeFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

TEST(TranslationLookup, DictionaryAddressEncodesEverythingOutsideTheUnreservedSet) {
    const struct {
        QString text;
        std::string expected;
    } cases[] = {
        {QStringLiteral("Haus"), "https://www.dict.cc/?s=Haus"},
        {QStringLiteral("C++"), "https://www.dict.cc/?s=C%2B%2B"},
        {QStringLiteral("rock & roll #1"), "https://www.dict.cc/?s=rock%20%26%20roll%20%231"},
        {QStringLiteral("a=b;c/d?e"), "https://www.dict.cc/?s=a%3Db%3Bc%2Fd%3Fe"},
        {QStringLiteral("Grüße"), "https://www.dict.cc/?s=Gr%C3%BC%C3%9Fe"},
        {QStringLiteral("-._~"), "https://www.dict.cc/?s=-._~"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TranslationLookup::onlineDictFallbackURLString(commandFor(c.text))
                      .value_or(QString())
                      .toStdString(),
                  c.expected);
    EXPECT_EQ(TranslationLookup::onlineDictFallbackURLString(
                  commandFor(QStringLiteral("x")), QStringLiteral("https://example.org/search?q=1#top"))
                  .value_or(QString())
                  .toStdString(),
              "https://example.org/search?s=x");
    EXPECT_FALSE(
        TranslationLookup::onlineDictFallbackURLString(commandFor(QStringLiteral("x")), QStringLiteral("")));
}

TEST(TranslationLookup, AppleTranslationIsUnavailableOnLinux) {
    const TranslationEngineAvailability availability = TranslationLookup::appleAvailability();
    EXPECT_FALSE(availability.isAvailable);
    EXPECT_TRUE(availability.message.startsWith(QStringLiteral("Unavailable on ")));
    EXPECT_TRUE(availability.message.endsWith(QStringLiteral("; Apple Translation runs only on macOS.")));
    EXPECT_FALSE(TranslationLookup::translateWithApple(QStringLiteral("Haus"), QStringLiteral("de"),
                                                       QStringLiteral("en")));
}

TEST(TranslationLookup, ArgosAvailabilityTexts) {
    using Kind = ArgosRuntimeStatus::Kind;
    const struct {
        ArgosRuntimeStatus status;
        bool available;
        std::string message;
    } cases[] = {
        {{Kind::pythonNotFound}, false, "Unavailable: Python 3 not found."},
        {{Kind::moduleMissing}, false, "Unavailable: argostranslate module not installed."},
        {{Kind::checkFailed}, true, "Runtime check failed; Argos will still be tried on translation."},
        {{Kind::ready, QStringLiteral("/opt/homebrew/bin/python3.12")}, true, "Ready (python3.12)."},
    };
    for (const auto &c : cases) {
        const TranslationEngineAvailability availability = ArgosRuntime::availability(c.status);
        EXPECT_EQ(availability.isAvailable, c.available);
        EXPECT_EQ(availability.message.toStdString(), c.message);
    }
}

TEST(TranslationLookup, FindsTheInterpreter) {
    const QString first = script(QStringLiteral("first"), "exit 0");
    const QString second = script(QStringLiteral("second"), "exit 0");
    const QString notExecutable = test::homePath() + QStringLiteral("/bin/plain");
    test::writeFile(notExecutable, "#!/bin/sh\n");
    const QString folder = test::homePath() + QStringLiteral("/bin");

    EXPECT_EQ(ArgosRuntime::resolvedPythonExecutablePath({notExecutable, folder, first, second}), first);
    EXPECT_FALSE(ArgosRuntime::resolvedPythonExecutablePath({notExecutable, folder}));

    qputenv("ORVEX_TRANSLATION_PYTHON", second.toUtf8());
    EXPECT_EQ(ArgosRuntime::resolvedPythonExecutablePath({first}), second);
    // A variable naming something that cannot run falls through to the fixed paths.
    qputenv("ORVEX_TRANSLATION_PYTHON", notExecutable.toUtf8());
    EXPECT_EQ(ArgosRuntime::resolvedPythonExecutablePath({first}), first);
    qunsetenv("ORVEX_TRANSLATION_PYTHON");
}

TEST(TranslationLookup, ChildEnvironment) {
    const QString sitePackages =
        test::homePath() + QStringLiteral("/Library/Python/3.12/lib/python/site-packages");
    test::makeDirectory(sitePackages);
    qputenv("PYTHONNOUSERSITE", "1");

    qunsetenv("PYTHONPATH");
    QProcessEnvironment environment =
        ArgosRuntime::processEnvironment(QStringLiteral("/opt/homebrew/bin/python3.12"));
    EXPECT_EQ(environment.value(QStringLiteral("PYTHONNOUSERSITE")), QStringLiteral("0"));
    EXPECT_EQ(environment.value(QStringLiteral("PYTHONPATH")), sitePackages);

    qputenv("PYTHONPATH", "/inherited");
    environment = ArgosRuntime::processEnvironment(QStringLiteral("/opt/homebrew/bin/python3.12"));
    EXPECT_EQ(environment.value(QStringLiteral("PYTHONPATH")), sitePackages + QStringLiteral(":/inherited"));

    environment = ArgosRuntime::processEnvironment(QStringLiteral("/usr/bin/python3"));
    EXPECT_EQ(environment.value(QStringLiteral("PYTHONPATH")), QStringLiteral("/inherited"));
    EXPECT_EQ(environment.value(QStringLiteral("PYTHONNOUSERSITE")), QStringLiteral("0"));

    // No such folder for 3.11.
    environment = ArgosRuntime::processEnvironment(QStringLiteral("/usr/bin/python3.11"));
    EXPECT_EQ(environment.value(QStringLiteral("PYTHONPATH")), QStringLiteral("/inherited"));
    EXPECT_FALSE(ArgosRuntime::userSitePackagesPath(QStringLiteral("/usr/bin/python3.12-config")));
    qunsetenv("PYTHONPATH");
    qunsetenv("PYTHONNOUSERSITE");
}

TEST(TranslationLookup, RuntimeCheck) {
    using Kind = ArgosRuntimeStatus::Kind;
    const QString ready = script(QStringLiteral("ready"), "exit 0");
    const QString missing = script(QStringLiteral("missing"), "exit 1");
    const QString hanging = script(QStringLiteral("hanging"), "trap '' TERM; exec sleep 30");
    const QString absent = test::homePath() + QStringLiteral("/bin/absent");

    EXPECT_EQ(ArgosRuntime::evaluateArgosRuntimeStatus({absent}), ArgosRuntimeStatus{Kind::pythonNotFound});
    EXPECT_EQ(ArgosRuntime::evaluateArgosRuntimeStatus({absent, ready}),
              (ArgosRuntimeStatus{Kind::ready, ready}));
    EXPECT_EQ(ArgosRuntime::evaluateArgosRuntimeStatus({missing}), ArgosRuntimeStatus{Kind::moduleMissing});
    EXPECT_EQ(ArgosRuntime::evaluateArgosRuntimeStatus({hanging}, 200ms),
              ArgosRuntimeStatus{Kind::checkFailed});
}

// Whoever waits for the check (the settings window, the launcher quitting) stops it: the interpreter is
// killed at once, not asked to end nor left to run out the time limit, and reaped; nothing is answered.
// A stop asked for before the check starts spawns nothing.
TEST(TranslationLookup, RuntimeCheckStoppedKillsAndReapsItsInterpreterAndAnswersNothing) {
    const QString folder = test::homePath() + QStringLiteral("/fake");
    const test::ArgosFakeInterpreter fake(folder, {});
    fake.holdImportCheck(0ms);
    qputenv("ORVEX_FAKE_DIR", folder.toUtf8());

    std::stop_source early;
    early.request_stop();
    EXPECT_FALSE(ArgosRuntime::evaluateArgosRuntimeStatus(early.get_token(), {fake.path()}, 60s));
    EXPECT_TRUE(fake.log().isEmpty()) << fake.log().join(QLatin1Char('\n')).toStdString();

    std::stop_source stop;
    auto checking = std::async(std::launch::async, [&] {
        return ArgosRuntime::evaluateArgosRuntimeStatus(stop.get_token(), {fake.path()}, 60s);
    });
    ASSERT_TRUE(test::waitUntil([&] { return fake.importCheckProcess().has_value(); }, 20s));
    const auto pid = static_cast<pid_t>(*fake.importCheckProcess());
    stop.request_stop();
    ASSERT_EQ(checking.wait_for(20s), std::future_status::ready) << "the stopped check waits on";
    EXPECT_FALSE(checking.get());
    errno = 0;
    EXPECT_EQ(::kill(pid, 0), -1) << "the interpreter is left running or unreaped";
    EXPECT_EQ(errno, ESRCH);
    fake.releaseImportCheck();
    for (const QString &line : fake.log()) {
        EXPECT_FALSE(line.startsWith(QLatin1String("term "))) << "asked to end rather than killed";
        EXPECT_FALSE(line.startsWith(QLatin1String("imported "))) << "the check ran to its end";
    }
    qunsetenv("ORVEX_FAKE_DIR");
}

// At launch the Argos child is started ahead only where it can translate: an interpreter without the
// translation package gets its runtime check and nothing else, rather than a child that sits idle for the
// whole run.
TEST(TranslationLookup, PrewarmStartsNoChildForAnInterpreterWithoutThePackage) {
    const QString folder = test::homePath() + QStringLiteral("/fake");
    const test::ArgosFakeInterpreter fake(folder, {});
    fake.failImportCheck();
    qputenv("ORVEX_FAKE_DIR", folder.toUtf8());
    qputenv("ORVEX_TRANSLATION_PYTHON", QFile::encodeName(fake.path()));
    UserDefaults defaults;

    TranslationLookup::prewarmEnabledEnginesIfPossible(TranslationEngineIDs{TranslationEngineID::argos},
                                                       defaults);
    waitingWorkPool()->waitForDone();
    const QStringList log = fake.log();
    EXPECT_EQ(log.filter(QStringLiteral("missing ")).size(), 1) << "no runtime check ran";
    EXPECT_EQ(log.filter(QStringLiteral("start ")).size(), 1) << log.join(u'\n').toStdString();
    EXPECT_EQ(ArgosDaemon::shared().processID(), 0);
    qunsetenv("ORVEX_TRANSLATION_PYTHON");
    qunsetenv("ORVEX_FAKE_DIR");
}

} // namespace
} // namespace orvex
