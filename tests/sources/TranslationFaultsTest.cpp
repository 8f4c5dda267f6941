// Faults of the translation source: what the Argos child may import, and how long an unanswered
// lookup is remembered.
#include "fixtures/ManagerFixture.h"
#include "fixtures/TranslationFakeEngines.h"
#include "platform/NotificationCenter.h"
#include "sources/TranslationLookupArgos.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// Runs with `path` as the process's working directory and restores the old one.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const QString &path) : previous_(QDir::currentPath()) {
        EXPECT_TRUE(QDir::setCurrent(path));
    }
    ~ScopedWorkingDirectory() { QDir::setCurrent(previous_); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory &) = delete;
    ScopedWorkingDirectory &operator=(const ScopedWorkingDirectory &) = delete;

private:
    QString previous_;
};

// A module that leaves a mark when it is imported.
QByteArray markingModule(const QString &marker) {
    return QStringLiteral("open(%1, 'w').close()\nraise ImportError('not the real module')\n")
        .arg(QStringLiteral("'") + marker + QStringLiteral("'"))
        .toUtf8();
}

// The launcher's working directory is wherever it was started from, often a folder of the user's own
// files; the interpreter must not import modules from it in place of the real ones.
class ArgosWorkingDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        python_ = ArgosRuntime::resolvedPythonExecutablePath().value_or(
            QStandardPaths::findExecutable(QStringLiteral("python3")));
        if (python_.isEmpty())
            GTEST_SKIP() << "no python3 on this machine";
        folder_ = test::homePath() + QStringLiteral("/started-here");
        marker_ = folder_ + QStringLiteral("/imported");
        test::makeDirectory(folder_);
    }

    QString python_;
    QString folder_;
    QString marker_;
};

TEST_F(ArgosWorkingDirectory, ChildDoesNotImportFromIt) {
    const QString stub = test::homePath() + QStringLiteral("/stub");
    test::writeFile(stub + QStringLiteral("/argostranslate/__init__.py"), "");
    test::writeFile(stub + QStringLiteral("/argostranslate/translate.py"),
                    "class T:\n"
                    "    def translate(self, text):\n"
                    "        return text.upper()\n"
                    "class L:\n"
                    "    def __init__(self, code):\n"
                    "        self.code = code\n"
                    "    def get_translation(self, other):\n"
                    "        return T()\n"
                    "def get_installed_languages():\n"
                    "    return [L('de'), L('en')]\n");
    // "json" is the first module the child program imports.
    test::writeFile(folder_ + QStringLiteral("/json.py"), markingModule(marker_));

    QProcessEnvironment environment = ArgosRuntime::processEnvironment(python_);
    environment.insert(QStringLiteral("PYTHONPATH"), stub);
    const ScopedWorkingDirectory startedHere(folder_);
    ArgosDaemon daemon({.replyTimeout = std::chrono::milliseconds(30000)});
    const auto answer = daemon.translate(python_, environment, QStringLiteral("Haus"), QStringLiteral("de"),
                                         QStringLiteral("en"));
    EXPECT_FALSE(QFileInfo::exists(marker_));
    EXPECT_EQ(answer.value_or(QString()).toStdString(), "HAUS");
}

TEST_F(ArgosWorkingDirectory, RuntimeCheckDoesNotImportFromIt) {
    test::writeFile(folder_ + QStringLiteral("/argostranslate/__init__.py"), markingModule(marker_));
    test::writeFile(folder_ + QStringLiteral("/argostranslate/translate.py"), "");
    const ScopedWorkingDirectory startedHere(folder_);
    const ArgosRuntimeStatus status =
        ArgosRuntime::evaluateArgosRuntimeStatus({python_}, std::chrono::milliseconds(30000));
    EXPECT_FALSE(QFileInfo::exists(marker_));
    EXPECT_NE(status.kind, ArgosRuntimeStatus::Kind::checkFailed);
}

// A lookup that no engine answered (a child still starting, a model still loading) must not pin
// "Local engine unavailable" on the query for the half hour that real translations are kept.
TEST(TranslationRowsUnanswered, AreAskedAgainSoonButNotAtOnce) {
    test::ManagerFixture fixture;
    fixture.defaults->set(QStringLiteral("launcherTranslationEngineEnabled"),
                          PlistValue(QStringLiteral("argos")));
    auto engines = std::make_shared<test::FakeTranslationEngines>();
    StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
    sources.translationEngines = engines;
    const auto manager = fixture.makeManager(sources);
    int refreshes = 0;
    const auto observer = NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("LauncherSearchDataRefreshed"), [&](const Notification &) { ++refreshes; });
    const QString query = QStringLiteral("cc de:en Haus");
    const auto firstSubtitle = [&] {
        return manager->matchSource(QStringLiteral("translation"), query).first().directory().toStdString();
    };
    const auto finish = [&](int expectedRefreshes) {
        manager->waitForBackgroundTasks();
        EXPECT_TRUE(test::waitUntil([&] { return refreshes >= expectedRefreshes; }));
    };

    firstSubtitle();
    finish(1);
    EXPECT_EQ(firstSubtitle(), "DE -> EN · Local engine unavailable · Enter opens dict.cc");
    // The engine is ready now.
    engines->setAnswer(TranslationEngineID::argos, QStringLiteral("de"), QStringLiteral("en"),
                       QStringLiteral("Haus"), QStringLiteral("house"));
    // The panel's re-run right after the lookup, and any within a few seconds, reuse the outcome.
    fixture.clock->advance(5);
    EXPECT_EQ(firstSubtitle(), "DE -> EN · Local engine unavailable · Enter opens dict.cc");
    manager->waitForBackgroundTasks();
    EXPECT_EQ(engines->questionCount(), 1);

    fixture.clock->advance(60);
    EXPECT_EQ(firstSubtitle(), "DE -> EN · Translating locally... · Enter opens dict.cc");
    finish(2);
    EXPECT_EQ(firstSubtitle(), "DE -> EN via Argos (local) · Enter copies");
    EXPECT_EQ(engines->questionCount(), 2);

    manager->shutdown();
    NotificationCenter::defaultCenter().removeObserver(observer);
}

} // namespace
} // namespace orvex
