#include "support/TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace orvex {
namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the command-line tool over the test's temporary home; `standardOutputFile`, when given, takes
// the answer instead of a pipe.
ToolRun runTool(const QStringList &arguments, const QString &standardOutputFile = QString()) {
    QProcess process;
    process.setProgram(QStringLiteral(ORVEX_SEARCH_TOOL));
    process.setArguments(arguments);
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    if (!standardOutputFile.isEmpty())
        process.setStandardOutputFile(standardOutputFile);
    process.start();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// An answer that cannot be written is a failure, not a success with nothing said.
TEST(OrvexSearchToolFaults, UnwritableAnswerFails) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    test::makeDirectory(test::homePath() + QStringLiteral("/Documents"));
    for (const QStringList &arguments : {QStringList{QStringLiteral("--json"), QStringLiteral("~/Documents")},
                                         QStringList{QStringLiteral("~/Documents")}}) {
        const auto run = runTool(arguments, QStringLiteral("/dev/full"));
        EXPECT_EQ(run.exitCode, 1) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains("cannot write standard output")) << run.err.toStdString();
    }
}

// Names come from the disk and the index: control characters in them must not reach the terminal,
// where they could move the cursor, rewrite earlier lines or split one row over several lines.
TEST(OrvexSearchToolFaults, TableShowsControlCharactersOfNamesHarmlessly) {
    const QString home = test::homePath();
    const QString name = QStringLiteral("evil\x1b]0;title\x07\nfake row\r\x7f\u009b2J");
    test::makeDirectory(home + QLatin1Char('/') + name);
    const auto run = runTool({QStringLiteral("~/") + name});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString out = QString::fromUtf8(run.out);
    EXPECT_EQ(out.count(QLatin1Char('\n')), 1) << "one row, one line: " << run.out.toStdString();
    for (const QChar c : out.chopped(1))
        EXPECT_NE(c.category(), QChar::Other_Control) << "U+" << std::hex << int(c.unicode());
    EXPECT_TRUE(out.contains(QStringLiteral("evil"))) << run.out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("fake row"))) << run.out.toStdString();

    // The JSON answer keeps the name exactly; JSON escapes what it must.
    const auto json = runTool({QStringLiteral("--json"), QStringLiteral("~/") + name});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(json.out).array();
    ASSERT_EQ(rows.size(), 1) << json.out.toStdString();
    EXPECT_EQ(rows.at(0).toObject().value(QStringLiteral("filename")).toString(), name);
}

} // namespace
} // namespace orvex
