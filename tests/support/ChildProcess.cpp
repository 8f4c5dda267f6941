#include "ChildProcess.h"

#include "TestEnvironment.h"

#include <csignal>
#include <sys/prctl.h>

namespace orvex::test {

ChildProcess::~ChildProcess() {
    stop();
}

void ChildProcess::dieWithParent(QProcess &process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

bool ChildProcess::start(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment) {
    output_.clear();
    error_.clear();
    process_.setProcessEnvironment(environment);
    dieWithParent(process_);
    process_.start(program, arguments);
    return process_.waitForStarted(10000);
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(int(grace.count()))) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    return waitUntil([&] { return process_.state() == QProcess::NotRunning; }, timeout);
}

int ChildProcess::exitCode() const {
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QByteArray ChildProcess::standardOutput() {
    output_ += process_.readAllStandardOutput();
    return output_;
}

QByteArray ChildProcess::standardError() {
    error_ += process_.readAllStandardError();
    return error_;
}

} // namespace orvex::test
