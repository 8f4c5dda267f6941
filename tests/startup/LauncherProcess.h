#pragma once

// A real orvex-launcher process in the test's isolated home, on the offscreen platform; killed when
// the object goes, so no test leaves one behind.

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <functional>

namespace orvex::test {

inline constexpr std::chrono::seconds launcherTimeout{20 * slowdown};

class LauncherProcess {
public:
    // `adjust` changes the environment the launcher starts with, after the offscreen platform is set.
    explicit LauncherProcess(const QString &program = QStringLiteral(ORVEX_LAUNCHER),
                             const std::function<void(QProcessEnvironment &)> &adjust = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (adjust)
            adjust(environment);
        process_.setProcessEnvironment(environment);
        process_.start(program, {});
    }
    explicit LauncherProcess(const std::function<void(QProcessEnvironment &)> &adjust)
        : LauncherProcess(QStringLiteral(ORVEX_LAUNCHER), adjust) {}
    ~LauncherProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    LauncherProcess(const LauncherProcess &) = delete;
    LauncherProcess &operator=(const LauncherProcess &) = delete;

    qint64 pid() const { return process_.processId(); }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    bool waitForExit() {
        return waitUntil([&] { return !isRunning(); }, launcherTimeout);
    }
    // The exit status, or -1 after a crash.
    int exitCode() const { return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1; }
    QByteArray standardOutput() {
        output_ += process_.readAllStandardOutput();
        return output_;
    }
    QByteArray standardError() {
        error_ += process_.readAllStandardError();
        return error_;
    }
    void killHard() {
        ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    QByteArray output_;
    QByteArray error_;
};

// The launcher's lock file and wake-up socket in the isolated home.
inline QString launcherLockPath() {
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher/OrvexLauncher.lock");
}
inline QString launcherSocketPath() {
    return qEnvironmentVariable("XDG_RUNTIME_DIR") +
           QStringLiteral("/io.orvex.launcher.single-instance.activate");
}

// Removes the launcher's lock folder, its wake-up socket and its defaults file.
inline void removeLauncherFiles() {
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher");
    QFile::remove(folder);
    QDir(folder).removeRecursively();
    QFile::remove(launcherSocketPath());
    QDir(launcherSocketPath()).removeRecursively();
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
}

// True once `launcher` holds the lock and listens for later launches.
inline bool waitUntilInstance(LauncherProcess &launcher) {
    const QByteArray pid = QByteArray::number(launcher.pid()) + '\n';
    return waitUntil(
        [&] {
            QFile lock(launcherLockPath());
            return launcher.isRunning() && lock.open(QIODevice::ReadOnly) && lock.readAll() == pid &&
                   QFile::exists(launcherSocketPath());
        },
        launcherTimeout);
}

// True once the process has loaded Qt's offscreen platform, which only the application object does.
inline bool hasLoadedPlatform(LauncherProcess &launcher) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(launcher.pid()));
    return launcher.isRunning() && maps.open(QIODevice::ReadOnly) && maps.readAll().contains("qoffscreen");
}

} // namespace orvex::test
