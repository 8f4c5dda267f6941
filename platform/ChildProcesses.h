#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <stop_token>

#include <sys/types.h>

class QProcess;

namespace orvex {

// Helper programs that never outlive the process that started them. A child is started without a shell,
// in a process group of its own, with no descriptor of ours but its three standard streams; the kernel
// kills it (SIGKILL) when this process ends in any way, a crash included, and kill() ends its whole group,
// so that what it started goes too. A child is reaped only by kill() or terminate(), so its process id
// and group id stay its own until then. Programs the user opens are no such children.
namespace ChildProcesses {

// Where a child's standard stream goes: a new pipe, the null device, or this process's own.
enum class Stream { pipe, null, inherit };

struct Spawned {
    pid_t pid = 0;
    // This side's ends of the pipes, non-blocking and close-on-exec; -1 for a stream that is no pipe.
    int inputWrite = -1;
    int outputRead = -1;
};

// Starts `program` with `arguments` and exactly `environment`; standard error goes to the null device.
// Nothing when it cannot be run (missing, not executable). The child starts with default signal
// dispositions and an empty signal mask. Any thread may call it: the start itself is done by one thread
// that lives as long as the process, because the kernel's "kill me when my parent ends" follows the
// thread that started a child, and a worker thread may end long before the child should.
std::optional<Spawned> spawn(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &environment, Stream input, Stream output);

// True once the child has ended; `exitCode` then gets its exit status, or -1 when a signal ended it.
bool hasExited(pid_t pid, int *exitCode = nullptr);
// Waits until the child ends (true), the time limit passes or `stop` is requested (false).
bool waitForExit(pid_t pid, std::chrono::milliseconds timeLimit, int *exitCode = nullptr,
                 const std::stop_token &stop = {});
// Kills the child and everything left in its group at once, and reaps it.
void kill(pid_t pid);
// Asks the child to end (SIGTERM), gives it `grace`, then kills it and its group; always reaped.
void terminate(pid_t pid, std::chrono::milliseconds grace);

// Makes the child of a QProcess die with this process. The QProcess must be started and waited for on one
// thread, which then outlives the child (the kernel's signal follows the starting thread).
void dieWithThisProcess(QProcess &process);

} // namespace ChildProcesses
} // namespace orvex
