#include "support/TestEnvironment.h"

#include <QFile>
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

} // namespace
} // namespace orvex
