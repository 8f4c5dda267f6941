#pragma once

#include "sources/TranslationLookup.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <stop_token>

#include <sys/types.h>

namespace orvex {

// The outcome of the one-time check that the interpreter can import the translation package.
struct ArgosRuntimeStatus {
    enum class Kind { pythonNotFound, moduleMissing, checkFailed, ready };
    Kind kind = Kind::pythonNotFound;
    // The interpreter, for `ready`.
    QString pythonPath;

    bool operator==(const ArgosRuntimeStatus &) const = default;
};

// Finding and checking the Python interpreter that runs the Argos child.
namespace ArgosRuntime {

// The fixed interpreter paths, tried after "ORVEX_TRANSLATION_PYTHON".
QStringList defaultPythonCandidates();
// The value of "ORVEX_TRANSLATION_PYTHON" when set, then `fixedCandidates`: the first executable file.
std::optional<QString>
resolvedPythonExecutablePath(const QStringList &fixedCandidates = defaultPythonCandidates());
// ~/Library/Python/3.N/lib/python/site-packages for an interpreter path ending in "python3.N", when it
// exists.
std::optional<QString> userSitePackagesPath(const QString &pythonExecutablePath);
// The launcher's environment with the user site enabled and, when there is one, the user
// site-packages folder first on PYTHONPATH.
QProcessEnvironment processEnvironment(const QString &pythonExecutablePath);

// Runs `python -c "import argostranslate.translate"` with a time limit.
ArgosRuntimeStatus
evaluateArgosRuntimeStatus(const QStringList &fixedCandidates = defaultPythonCandidates(),
                           std::chrono::milliseconds timeLimit = std::chrono::milliseconds(1200));
// The same, and nothing when `stop` is requested before it answers: the interpreter is then killed and
// reaped at once.
std::optional<ArgosRuntimeStatus>
evaluateArgosRuntimeStatus(const std::stop_token &stop,
                           const QStringList &fixedCandidates = defaultPythonCandidates(),
                           std::chrono::milliseconds timeLimit = std::chrono::milliseconds(1200));
// The check of this process, run on first use and kept once it has answered.
ArgosRuntimeStatus argosRuntimeStatus();
// The same, and nothing when `stop` is requested before the check answers (a later call checks again).
std::optional<ArgosRuntimeStatus> argosRuntimeStatus(const std::stop_token &stop);
// Requested by TranslationLookup::shutdownEngines(): the checks the engines run for themselves stop then.
std::stop_token engineShutdownToken();
TranslationEngineAvailability availability(const ArgosRuntimeStatus &status);

// The Python program the child runs (passed after "-c").
QString childProgram();

} // namespace ArgosRuntime

// Owner of the one long-running Argos child. Requests are JSON lines on the child's standard input,
// each with a fresh "id"; the child answers each with one JSON line that echoes the id. A reply is
// taken only when its id is the current request's, so a reply that arrives after its deadline is
// discarded instead of answering the next request. A monitor: one request at a time, and every read
// waits with a deadline on the calling thread. The child never outlives the process (ChildProcesses).
class ArgosDaemon {
public:
    struct Options {
        std::chrono::milliseconds replyTimeout = std::chrono::milliseconds(2500);
        // How long a stopped child gets to exit before it is killed.
        std::chrono::milliseconds terminationGrace = std::chrono::milliseconds(500);
    };

    ArgosDaemon();
    explicit ArgosDaemon(Options options);
    // Shuts down.
    ~ArgosDaemon();
    ArgosDaemon(const ArgosDaemon &) = delete;
    ArgosDaemon &operator=(const ArgosDaemon &) = delete;

    // The process-wide daemon, never destroyed; TranslationLookup::shutdownEngines() ends its child.
    static ArgosDaemon &shared();

    // The child's translation, trimmed; nothing on every failure. Starts the child when it is not usable,
    // and stops it when it answers that it has no translation package. No `replyTimeout`: the one of the
    // options.
    std::optional<QString> translate(const QString &pythonExecutablePath,
                                     const QProcessEnvironment &environment, const QString &text,
                                     const QString &sourceLanguageCode, const QString &targetLanguageCode,
                                     std::optional<std::chrono::milliseconds> replyTimeout = std::nullopt);
    // Starts the child unless it is already usable.
    void prewarm(const QString &pythonExecutablePath, const QProcessEnvironment &environment);
    // For good, at once: a request waiting on the child ends, the child and its group are killed and
    // reaped, and later requests and prewarms start nothing. For a process that is going away.
    void shutdown();
    // Stops the child (end of input, then SIGTERM, then SIGKILL after the grace time), reaps it and
    // forgets it.
    void restart();

    bool isUsable();
    // The running child's process id, 0 when there is none.
    pid_t processID();

    struct PythonResponse {
        bool ok = false;
        std::optional<QString> text;
        std::optional<QString> error;
    };
    // One line of the child's output (without its line feed) read as the reply to `requestID`; nothing
    // for a line that is not one, or that answers another request.
    static std::optional<PythonResponse> parseResponseLine(QByteArray line, quint64 requestID);

private:
    enum class SendResult { sent, encodeFailed, writeFailed };
    using Deadline = std::chrono::steady_clock::time_point;

    bool isUsableLocked();
    bool startProcess(const QString &pythonExecutablePath, const QProcessEnvironment &environment);
    SendResult sendRequest(quint64 requestID, const QString &sourceLanguageCode,
                           const QString &targetLanguageCode, const QString &text, Deadline deadline);
    std::optional<PythonResponse> readResponse(quint64 requestID, Deadline deadline);
    // Bytes the child wrote, waiting until the deadline; nothing on time-out or end of output.
    std::optional<QByteArray> readOutputChunk(Deadline deadline);
    void restartLocked();

    const Options options_;
    std::atomic<bool> shutDown_{false};
    // An event counter that shutdown() signals; every wait on the child also waits on it.
    const int wakeHandle_;
    std::mutex mutex_;
    pid_t process_ = 0;
    int stdinHandle_ = -1;
    int stdoutHandle_ = -1;
    QByteArray stdoutBuffer_;
    quint64 lastRequestID_ = 0;
};

} // namespace orvex
