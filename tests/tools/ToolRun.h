#pragma once

// Runs the command-line tool as a real process over the test's temporary home.

#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

namespace orvex::test {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The test's isolated environment, in which the machine's own applications never show up; `extra` adds
// or replaces variables.
inline QProcessEnvironment toolEnvironment(const QProcessEnvironment &extra = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : extra.keys())
        environment.insert(name, extra.value(name));
    return environment;
}

// `standardOutputFile`, when given, takes the answer instead of a pipe. A tool still running after a
// minute is killed and the test fails.
inline ToolRun runTool(const QStringList &arguments, const QString &standardOutputFile = QString(),
                       const QProcessEnvironment &extraEnvironment = {}) {
    QProcess process;
    process.setProgram(QStringLiteral(ORVEX_SEARCH_TOOL));
    process.setArguments(arguments);
    process.setProcessEnvironment(toolEnvironment(extraEnvironment));
    if (!standardOutputFile.isEmpty())
        process.setStandardOutputFile(standardOutputFile);
    process.start();
    const bool finished = process.waitForFinished(60000);
    EXPECT_TRUE(finished) << arguments.join(QLatin1Char(' ')).toStdString();
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// The rows of a --json answer; the test fails when the answer is not JSON.
inline QJsonArray jsonRows(const ToolRun &run) {
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString() << run.err.toStdString();
    return document.array();
}

} // namespace orvex::test
