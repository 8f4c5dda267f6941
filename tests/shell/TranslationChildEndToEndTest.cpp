// The translation engine's interpreter as the running launcher meets it, on a desktop of the test's own:
// one that hangs while the user quits, and one without the translation package.
#include "LauncherEndToEndFixture.h"

#include "fixtures/ArgosFakeInterpreter.h"
#include "support/TestEnvironment.h"

#include <QFile>

namespace orvex {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::LauncherEndToEnd;
using test::prepareHome;
using test::XWindowInfo;

class TranslationChildEndToEnd : public LauncherEndToEnd {
protected:
    // Starts the launcher with `fake` as its translation interpreter; the panel is up and has the focus.
    XWindowInfo startWith(ChildProcess &launcher, const test::ArgosFakeInterpreter &fake) {
        QProcessEnvironment environment = session->environment();
        environment.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), fake.path());
        environment.insert(QStringLiteral("ORVEX_FAKE_DIR"), fake.environment().value("ORVEX_FAKE_DIR"));
        const XWindowInfo panel = startLauncher(launcher, environment);
        EXPECT_TRUE(waitForFocus(panel.id));
        return panel;
    }

    static std::string log(const test::ArgosFakeInterpreter &fake) {
        return fake.log().join(QLatin1Char('\n')).toStdString();
    }
};

// Ctrl+Q while a translation waits on an interpreter that never answers, ignores SIGTERM and the end of
// its input, and has started a process of its own; its runtime check at start-up hangs as well. The
// launcher ends without waiting for the reply's time-out (after which the second lookup of "cc hallo
// welt" would have sent its own request), and nothing of the interpreter is left behind.
TEST_F(TranslationChildEndToEnd, QuitWhileTheInterpreterHangsEndsAtOnceAndLeavesNoChild) {
    prepareHome();
    startSession();
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake-python"),
                                          {QStringLiteral("hang"), QStringLiteral("hang")});
    // Never released: the check answers only when it runs out its time limit.
    fake.holdImportCheck(0ms);
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startWith(launcher, fake);
    ASSERT_NE(panel.id, 0u);

    ASSERT_TRUE(type(QStringLiteral("cc hallo welt")));
    ASSERT_TRUE(session->waitUntil([&] { return !fake.loggedProcesses(QStringLiteral("hang")).isEmpty(); }))
        << log(fake);
    ASSERT_TRUE(key(QStringLiteral("ctrl+q")));
    ASSERT_TRUE(launcher.waitForExit()) << "Ctrl+Q did not end the launcher";
    EXPECT_EQ(launcher.exitCode(), 0) << launcher.standardError().toStdString();

    EXPECT_EQ(fake.log().filter(QStringLiteral("request ")).size(), 1) << log(fake);
    QList<qint64> processes;
    for (const char *word : {"start", "hang"})
        processes += fake.loggedProcesses(QString::fromLatin1(word));
    for (const qint64 process : processes)
        EXPECT_TRUE(session->waitUntil([&] { return test::isProcessGone(process); }, 5s))
            << "process " << process << " outlives the launcher:\n"
            << log(fake);
}

// Without the translation package the interpreter can translate nothing: no interpreter is started ahead
// at launch (its runtime check says so), and the one each lookup starts ends once it has answered.
TEST_F(TranslationChildEndToEnd, AnInterpreterWithoutThePackageIsNotKeptResident) {
    prepareHome();
    startSession();
    const QString missing = QStringLiteral(R"(reply {"ok": false, "error": "module_missing", "id": @ID@})");
    const test::ArgosFakeInterpreter fake(test::homePath() + QStringLiteral("/fake-python"),
                                          {missing, missing});
    fake.failImportCheck();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startWith(launcher, fake);
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(session->waitUntil([&] {
        return !fake.loggedProcesses(QStringLiteral("missing")).isEmpty();
    })) << "no runtime check at start-up:\n"
        << log(fake);

    // Both pairs of "cc hallo welt" are looked up, each by an interpreter that answers and ends.
    ASSERT_TRUE(type(QStringLiteral("cc hallo welt")));
    EXPECT_TRUE(session->waitUntil([&] { return fake.loggedProcesses(QStringLiteral("eof")).size() == 2; }))
        << log(fake);
    EXPECT_TRUE(session->waitUntil([&] { return test::childrenOf(launcher.pid()).isEmpty(); }, 5s))
        << "an interpreter stays resident:\n"
        << log(fake);
    EXPECT_EQ(fake.log().filter(QStringLiteral("request ")).size(), 2) << log(fake);
    quitWithControlQ(launcher, panel.id);
}

} // namespace
} // namespace orvex
