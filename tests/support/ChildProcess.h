#pragma once

// A program a test starts as a real process: killed (and reaped) when the object goes, and by the
// kernel when the test process dies first, so no test leaves one behind.

#include "TestEnvironment.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>

namespace orvex::test {

inline constexpr std::chrono::seconds childTimeout{20 * slowdown};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts the program; false when it could not be run.
    bool start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment);
    // SIGTERM, then SIGKILL after `grace`; waits for the end either way.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(3));
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    // Runs the event loop until the process has ended or the time-out passes.
    bool waitForExit(std::chrono::milliseconds timeout = childTimeout);
    // The exit status, or -1 after a crash or a signal.
    int exitCode() const;
    // Everything the process has written so far.
    QByteArray standardOutput();
    QByteArray standardError();
    QProcess &process() { return process_; }

    // Makes a QProcess's child die with the test process.
    static void dieWithParent(QProcess &process);

private:
    QProcess process_;
    QByteArray output_;
    QByteArray error_;
};

} // namespace orvex::test
