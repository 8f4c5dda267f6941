// The Python program of the Argos child, run by the machine's python3 against a stub translation
// package.
#include "sources/TranslationLookupArgos.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace orvex {
namespace {

constexpr char stubTranslate[] = R"PY(
print("the package talks on standard output")

class Translation:
    def __init__(self, source, target):
        self.source, self.target = source, target

    def translate(self, text):
        if text == "boom":
            raise RuntimeError("boom")
        if text == "blank":
            return "  \n"
        return "  [%s->%s] %s  " % (self.source, self.target, text.upper())

class Language:
    def __init__(self, code):
        self.code = code

    def get_translation(self, other):
        if self.code == "fr":
            return None
        if self.code == "it":
            raise ValueError("no model")
        return Translation(self.code, other.code)

def get_installed_languages():
    return [Language(code) for code in ("de", "en", "fr", "it")]
)PY";

class ArgosChildProgram : public ::testing::Test {
protected:
    void SetUp() override {
        python_ = ArgosRuntime::resolvedPythonExecutablePath().value_or(
            QStandardPaths::findExecutable(QStringLiteral("python3")));
        if (python_.isEmpty())
            GTEST_SKIP() << "no python3 on this machine; the child program is not run";
        stubPath_ = test::homePath() + QStringLiteral("/stub");
        test::writeFile(stubPath_ + QStringLiteral("/argostranslate/__init__.py"), "");
        test::writeFile(stubPath_ + QStringLiteral("/argostranslate/translate.py"), stubTranslate);
    }

    QProcessEnvironment environment(bool withPackage) const {
        QProcessEnvironment environment = ArgosRuntime::processEnvironment(python_);
        environment.insert(QStringLiteral("PYTHONPATH"), withPackage ? stubPath_ : test::homePath());
        return environment;
    }

    // Feeds the lines to the program and answers its output lines.
    QStringList run(const QByteArray &input, bool withPackage = true) const {
        QProcess process;
        process.setProcessEnvironment(environment(withPackage));
        process.start(python_, {QStringLiteral("-u"), QStringLiteral("-c"), ArgosRuntime::childProgram()});
        EXPECT_TRUE(process.waitForStarted());
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString python_;
    QString stubPath_;
};

TEST_F(ArgosChildProgram, AnswersEveryRequestLineInOrder) {
    const QByteArray input = R"({"id": 1, "source": "de", "target": "en", "text": "Grüße"}
not json

{"id": 2, "source": "de", "target": 5, "text": "x"}
["a list"]
{"id": 3, "source": "xx", "target": "en", "text": "x"}
{"id": 4, "source": "fr", "target": "en", "text": "x"}
{"id": 5, "source": "it", "target": "en", "text": "x"}
{"id": 6, "source": "de", "target": "en", "text": "boom"}
{"id": 7, "source": "de", "target": "en", "text": "blank"}
{"id": 8, "source": "en", "target": "de", "text": "house"}
)";
    const QStringList expected = {
        QStringLiteral(R"({"ok": true, "text": "[de->en] GRÜSSE", "id": 1})"),
        QStringLiteral(R"({"ok": false, "error": "bad_json"})"),
        QStringLiteral(R"({"ok": false, "error": "invalid_request", "id": 2})"),
        QStringLiteral(R"({"ok": false, "error": "invalid_request"})"),
        QStringLiteral(R"({"ok": false, "error": "language_not_installed", "id": 3})"),
        QStringLiteral(R"({"ok": false, "error": "pair_not_installed", "id": 4})"),
        QStringLiteral(R"({"ok": false, "error": "pair_not_installed", "id": 5})"),
        QStringLiteral(R"({"ok": false, "error": "translate_failed", "id": 6})"),
        QStringLiteral(R"({"ok": false, "error": "empty_translation", "id": 7})"),
        QStringLiteral(R"({"ok": true, "text": "[en->de] HOUSE", "id": 8})"),
    };
    EXPECT_EQ(run(input).join(u'\n').toStdString(), expected.join(u'\n').toStdString());
}

TEST_F(ArgosChildProgram, WithoutThePackageEveryRequestIsModuleMissing) {
    const QStringList replies = run(R"({"id": 1, "source": "de", "target": "en", "text": "Haus"})"
                                    "\n",
                                    false);
    EXPECT_EQ(replies.join(u'\n').toStdString(), R"({"ok": false, "error": "module_missing", "id": 1})");
}

TEST_F(ArgosChildProgram, InputThatIsNotUtf8DoesNotStopTheChild) {
    const QStringList replies = run("\xff\xfe\n"
                                    R"({"id": 2, "source": "de", "target": "en", "text": "Haus"})"
                                    "\n");
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[1].toStdString(), R"({"ok": true, "text": "[de->en] HAUS", "id": 2})");
}

TEST_F(ArgosChildProgram, ServesTheDaemon) {
    // Generous: the interpreter may start slowly on a busy machine.
    ArgosDaemon daemon({.replyTimeout = std::chrono::milliseconds(30000)});
    const auto answer = daemon.translate(python_, environment(true), QStringLiteral("Haus"),
                                         QStringLiteral("de"), QStringLiteral("en"));
    EXPECT_EQ(answer.value_or(QString()).toStdString(), "[de->en] HAUS");
    EXPECT_FALSE(daemon.translate(python_, environment(true), QStringLiteral("boom"), QStringLiteral("de"),
                                  QStringLiteral("en")));
    EXPECT_EQ(daemon
                  .translate(python_, environment(true), QStringLiteral("Maus"), QStringLiteral("de"),
                             QStringLiteral("en"))
                  .value_or(QString())
                  .toStdString(),
              "[de->en] MAUS");
}

} // namespace
} // namespace orvex
