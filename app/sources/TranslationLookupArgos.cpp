#include "sources/TranslationLookupArgos.h"

#include "platform/ChildProcesses.h"
#include "platform/StringUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orvex {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The child's program. Replies go to a private duplicate of standard output, and standard output
// itself is pointed at standard error, so nothing the translation package prints passes for a reply.
// Each reply echoes the request's "id", which lets the launcher drop replies that arrive late. The
// first lines keep modules in the launcher's working directory from shadowing the real ones.
constexpr char childProgramText[] = R"PY(import sys
if sys.path and sys.path[0] == "":
    del sys.path[0]
import json, os
_out = os.fdopen(os.dup(1), "w", encoding="utf-8", newline="\n")
os.dup2(2, 1)
def emit(reply):
    try:
        line = json.dumps(reply, ensure_ascii=False)
        line.encode("utf-8")
    except Exception:
        line = json.dumps(reply)
    _out.write(line + "\n")
    _out.flush()
try:
    import argostranslate.translate as argos
except Exception:
    argos = None
languages = {}
if argos is not None:
    try:
        languages = {language.code: language for language in argos.get_installed_languages()}
    except Exception:
        languages = {}
translations = {}
def answer(request):
    if not isinstance(request, dict):
        return {"ok": False, "error": "invalid_request"}
    source, target, text = request.get("source"), request.get("target"), request.get("text")
    if not all(isinstance(value, str) for value in (source, target, text)):
        return {"ok": False, "error": "invalid_request"}
    if argos is None:
        return {"ok": False, "error": "module_missing"}
    key = source + "->" + target
    translation = translations.get(key)
    if translation is None:
        if source not in languages or target not in languages:
            return {"ok": False, "error": "language_not_installed"}
        try:
            translation = languages[source].get_translation(languages[target])
        except Exception:
            translation = None
        if translation is None:
            return {"ok": False, "error": "pair_not_installed"}
        translations[key] = translation
    try:
        result = translation.translate(text).strip()
    except Exception:
        return {"ok": False, "error": "translate_failed"}
    if not result:
        return {"ok": False, "error": "empty_translation"}
    return {"ok": True, "text": result}
while True:
    raw = sys.stdin.buffer.readline()
    if not raw:
        break
    line = raw.decode("utf-8", errors="replace").strip()
    if not line:
        continue
    try:
        request = json.loads(line)
    except Exception:
        emit({"ok": False, "error": "bad_json"})
        continue
    try:
        reply = answer(request)
    except Exception:
        reply = {"ok": False, "error": "translate_failed"}
    request_id = request.get("id") if isinstance(request, dict) else None
    if isinstance(request_id, int) and not isinstance(request_id, bool):
        reply["id"] = request_id
    emit(reply)
)PY";

bool isExecutableFile(const QString &path) {
    if (path.isEmpty())
        return false;
    const QByteArray encoded = QFile::encodeName(path);
    const QFileInfo info(path);
    return info.isFile() && ::access(encoded.constData(), X_OK) == 0;
}

void closeHandle(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int millisecondsUntil(SteadyClock::time_point deadline) {
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (remaining.count() <= 0)
        return 0;
    // Round up so a wait never ends just before the deadline.
    return static_cast<int>(std::min<qint64>(remaining.count() + 1, 60'000));
}

// True once `wakeHandle` (an event counter) has been signalled.
bool isWoken(const pollfd &wake) {
    return (wake.revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
}

// Writes everything before the deadline, or until `wakeHandle` is signalled. A reader that is gone gives
// EPIPE, never SIGPIPE: the signal is blocked for this thread while writing and a SIGPIPE raised by the
// write is taken back.
bool writeAll(int fd, const QByteArray &bytes, SteadyClock::time_point deadline, int wakeHandle) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;

    bool ok = true;
    bool brokenPipe = false;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The pipe is full: wait for room until the deadline.
            const int timeout = millisecondsUntil(deadline);
            pollfd descriptors[2] = {{.fd = fd, .events = POLLOUT, .revents = 0},
                                     {.fd = wakeHandle, .events = POLLIN, .revents = 0}};
            if (timeout == 0 || (::poll(descriptors, 2, timeout) < 0 && errno != EINTR) ||
                isWoken(descriptors[1])) {
                ok = false;
                break;
            }
            continue;
        }
        brokenPipe = n < 0 && errno == EPIPE;
        ok = false;
        break;
    }

    if (brokenPipe && !wasPending) {
        const timespec immediately{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &immediately) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return ok;
}

// Stopped once by TranslationLookup::shutdownEngines(); never destroyed, as checks may still read it at
// exit.
std::stop_source &engineShutdown() {
    static auto *const source = new std::stop_source;
    return *source;
}

bool isValidUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

// ---- Runtime ----

namespace ArgosRuntime {

QStringList defaultPythonCandidates() {
    return {QStringLiteral("/opt/homebrew/bin/python3.12"), QStringLiteral("/opt/homebrew/bin/python3"),
            QStringLiteral("/usr/local/bin/python3"), QStringLiteral("/usr/bin/python3")};
}

std::optional<QString> resolvedPythonExecutablePath(const QStringList &fixedCandidates) {
    QStringList candidates;
    if (qEnvironmentVariableIsSet("ORVEX_TRANSLATION_PYTHON"))
        candidates.append(qEnvironmentVariable("ORVEX_TRANSLATION_PYTHON"));
    candidates.append(fixedCandidates);
    for (const QString &candidate : candidates)
        if (isExecutableFile(candidate))
            return candidate;
    return std::nullopt;
}

std::optional<QString> userSitePackagesPath(const QString &pythonExecutablePath) {
    // Not a static: the prewarm's check may still run here while the process's statics are destroyed.
    const QRegularExpression versioned(QStringLiteral("python3\\.(\\d+)$"));
    const auto match = versioned.match(pythonExecutablePath);
    if (!match.hasMatch())
        return std::nullopt;
    const QString path = QDir::homePath() + QStringLiteral("/Library/Python/3.") + match.captured(1) +
                         QStringLiteral("/lib/python/site-packages");
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

QProcessEnvironment processEnvironment(const QString &pythonExecutablePath) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONNOUSERSITE"), QStringLiteral("0"));
    if (const auto sitePackages = userSitePackagesPath(pythonExecutablePath)) {
        const QString inherited = environment.value(QStringLiteral("PYTHONPATH"));
        environment.insert(QStringLiteral("PYTHONPATH"), inherited.isEmpty()
                                                             ? *sitePackages
                                                             : *sitePackages + QLatin1Char(':') + inherited);
    }
    return environment;
}

ArgosRuntimeStatus evaluateArgosRuntimeStatus(const QStringList &fixedCandidates,
                                              std::chrono::milliseconds timeLimit) {
    return *evaluateArgosRuntimeStatus(std::stop_token(), fixedCandidates, timeLimit);
}

std::optional<ArgosRuntimeStatus> evaluateArgosRuntimeStatus(const std::stop_token &stop,
                                                             const QStringList &fixedCandidates,
                                                             std::chrono::milliseconds timeLimit) {
    if (stop.stop_requested())
        return std::nullopt;
    const auto python = resolvedPythonExecutablePath(fixedCandidates);
    if (!python)
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::pythonNotFound};
    // "-c" puts the working directory first on the module path; it is taken off before the import. The
    // check reads nothing: its input is the null device, never the launcher's terminal.
    using ChildProcesses::Stream;
    const auto child =
        ChildProcesses::spawn(*python,
                              {QStringLiteral("-c"), QStringLiteral("import sys\n"
                                                                    "if sys.path and sys.path[0] == \"\":\n"
                                                                    "    del sys.path[0]\n"
                                                                    "import argostranslate.translate\n")},
                              processEnvironment(*python), Stream::null, Stream::null);
    if (!child)
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::checkFailed};
    int exitCode = -1;
    if (!ChildProcesses::waitForExit(child->pid, timeLimit, &exitCode, stop)) {
        // Whoever stops the check is going away and waits for it: nothing to ask of the child.
        if (stop.stop_requested()) {
            ChildProcesses::kill(child->pid);
            return std::nullopt;
        }
        ChildProcesses::terminate(child->pid, std::chrono::milliseconds(200));
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::checkFailed};
    }
    // Reaped, with anything it left in its group.
    ChildProcesses::kill(child->pid);
    if (exitCode == 0)
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::ready, .pythonPath = *python};
    return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::moduleMissing};
}

std::optional<ArgosRuntimeStatus> argosRuntimeStatus(const std::stop_token &stop) {
    struct Known {
        std::mutex mutex;
        std::optional<ArgosRuntimeStatus> status;
    };
    // Never destroyed: the prewarm's check runs on a worker that the process does not wait for at exit.
    static Known *const known = new Known;
    {
        const std::lock_guard guard(known->mutex);
        if (known->status)
            return known->status;
    }
    // Checked with no lock held, so that a stop reaches the check at once; the first answer is kept.
    const std::optional<ArgosRuntimeStatus> status = evaluateArgosRuntimeStatus(stop);
    if (!status)
        return std::nullopt;
    const std::lock_guard guard(known->mutex);
    if (!known->status)
        known->status = status;
    return known->status;
}

ArgosRuntimeStatus argosRuntimeStatus() {
    return *argosRuntimeStatus(std::stop_token());
}

std::stop_token engineShutdownToken() {
    return engineShutdown().get_token();
}

TranslationEngineAvailability availability(const ArgosRuntimeStatus &status) {
    switch (status.kind) {
    case ArgosRuntimeStatus::Kind::pythonNotFound:
        return {false, QStringLiteral("Unavailable: Python 3 not found.")};
    case ArgosRuntimeStatus::Kind::moduleMissing:
        return {false, QStringLiteral("Unavailable: argostranslate module not installed.")};
    case ArgosRuntimeStatus::Kind::checkFailed:
        return {true, QStringLiteral("Runtime check failed; Argos will still be tried on translation.")};
    case ArgosRuntimeStatus::Kind::ready:
        return {true,
                QStringLiteral("Ready (") + QFileInfo(status.pythonPath).fileName() + QStringLiteral(").")};
    }
    return {false, QString()};
}

QString childProgram() {
    return QString::fromUtf8(childProgramText);
}

} // namespace ArgosRuntime

// ---- Engine entry points ----

std::optional<TranslationLookupResult>
TranslationLookup::translateWithArgos(const QString &text, const QString &sourceLanguageCode,
                                      const QString &targetLanguageCode) {
    const auto python = ArgosRuntime::resolvedPythonExecutablePath();
    if (!python)
        return std::nullopt;
    const QProcessEnvironment environment = ArgosRuntime::processEnvironment(*python);
    const auto translated =
        ArgosDaemon::shared().translate(*python, environment, text, sourceLanguageCode, targetLanguageCode);
    if (!translated)
        return std::nullopt;
    return TranslationLookupResult{.text = *translated,
                                   .engineLabel = QStringLiteral("Argos (local)"),
                                   .engineID = TranslationEngineID::argos};
}

TranslationEngineAvailability TranslationLookup::argosAvailability() {
    // Stopped because the engines shut down: nobody is left to read the answer.
    const auto status = ArgosRuntime::argosRuntimeStatus(ArgosRuntime::engineShutdownToken());
    return ArgosRuntime::availability(
        status.value_or(ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::checkFailed}));
}

void TranslationLookup::shutdownEngines() {
    engineShutdown().request_stop();
    ArgosDaemon::shared().shutdown();
}

// ---- Daemon ----

ArgosDaemon::ArgosDaemon() : ArgosDaemon(Options{}) {}

ArgosDaemon::ArgosDaemon(Options options)
    : options_(options), wakeHandle_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ArgosDaemon::~ArgosDaemon() {
    shutdown();
    if (wakeHandle_ >= 0)
        ::close(wakeHandle_);
}

ArgosDaemon &ArgosDaemon::shared() {
    static ArgosDaemon *daemon = new ArgosDaemon();
    return *daemon;
}

bool ArgosDaemon::isUsable() {
    std::lock_guard guard(mutex_);
    return isUsableLocked();
}

pid_t ArgosDaemon::processID() {
    std::lock_guard guard(mutex_);
    return isUsableLocked() ? process_ : 0;
}

void ArgosDaemon::shutdown() {
    shutDown_.store(true);
    // Wakes a request that waits on the child, so that the lock below is free at once.
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeHandle_, &one, sizeof one);
    std::lock_guard guard(mutex_);
    restartLocked();
}

bool ArgosDaemon::isUsableLocked() {
    if (process_ > 0 && ChildProcesses::hasExited(process_)) {
        ChildProcesses::kill(process_);
        process_ = 0;
    }
    return process_ > 0 && stdinHandle_ >= 0 && stdoutHandle_ >= 0;
}

std::optional<QString> ArgosDaemon::translate(const QString &pythonExecutablePath,
                                              const QProcessEnvironment &environment, const QString &text,
                                              const QString &sourceLanguageCode,
                                              const QString &targetLanguageCode,
                                              std::optional<std::chrono::milliseconds> replyTimeout) {
    std::lock_guard guard(mutex_);
    if (shutDown_.load())
        return std::nullopt;
    if (!isUsableLocked()) {
        restartLocked();
        if (!startProcess(pythonExecutablePath, environment))
            return std::nullopt;
    }
    const quint64 requestID = ++lastRequestID_;
    const Deadline deadline = SteadyClock::now() + replyTimeout.value_or(options_.replyTimeout);
    switch (sendRequest(requestID, sourceLanguageCode, targetLanguageCode, text, deadline)) {
    case SendResult::sent:
        break;
    case SendResult::encodeFailed:
        // Nothing was written; the child is fine.
        return std::nullopt;
    case SendResult::writeFailed:
        restartLocked();
        return std::nullopt;
    }
    const auto response = readResponse(requestID, deadline);
    // A child without the translation package answers every request so: it is not kept resident for
    // nothing. The next translation starts another, which finds a package installed meanwhile.
    if (response && !response->ok && response->error == QLatin1String("module_missing"))
        restartLocked();
    if (!response || !response->ok || !response->text)
        return std::nullopt;
    const QString translated = StringUtils::trimmedWhitespaceAndNewlines(*response->text);
    if (translated.isEmpty())
        return std::nullopt;
    return translated;
}

void ArgosDaemon::prewarm(const QString &pythonExecutablePath, const QProcessEnvironment &environment) {
    std::lock_guard guard(mutex_);
    if (shutDown_.load() || isUsableLocked())
        return;
    restartLocked();
    startProcess(pythonExecutablePath, environment);
}

void ArgosDaemon::restart() {
    std::lock_guard guard(mutex_);
    restartLocked();
}

bool ArgosDaemon::startProcess(const QString &pythonExecutablePath, const QProcessEnvironment &environment) {
    using ChildProcesses::Stream;
    const auto child = ChildProcesses::spawn(
        pythonExecutablePath, {QStringLiteral("-u"), QStringLiteral("-c"), ArgosRuntime::childProgram()},
        environment, Stream::pipe, Stream::pipe);
    if (!child)
        return false;
    process_ = child->pid;
    stdinHandle_ = child->inputWrite;
    stdoutHandle_ = child->outputRead;
    stdoutBuffer_.clear();
    return true;
}

ArgosDaemon::SendResult ArgosDaemon::sendRequest(quint64 requestID, const QString &sourceLanguageCode,
                                                 const QString &targetLanguageCode, const QString &text,
                                                 Deadline deadline) {
    if (stdinHandle_ < 0)
        return SendResult::writeFailed;
    // A text with unpaired surrogates has no UTF-8 form.
    for (const QString *value : {&sourceLanguageCode, &targetLanguageCode, &text})
        if (!QStringView(*value).isValidUtf16())
            return SendResult::encodeFailed;
    const QJsonObject request{{QStringLiteral("id"), static_cast<qint64>(requestID)},
                              {QStringLiteral("source"), sourceLanguageCode},
                              {QStringLiteral("target"), targetLanguageCode},
                              {QStringLiteral("text"), text}};
    QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact);
    line.append('\n');
    return writeAll(stdinHandle_, line, deadline, wakeHandle_) ? SendResult::sent : SendResult::writeFailed;
}

std::optional<ArgosDaemon::PythonResponse> ArgosDaemon::parseResponseLine(QByteArray line,
                                                                          quint64 requestID) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (!isValidUtf8(line))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue ok = object.value(QStringLiteral("ok"));
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!ok.isBool() || !id.isDouble() || id.toDouble() != static_cast<double>(requestID))
        return std::nullopt;
    PythonResponse response{.ok = ok.toBool()};
    if (const QJsonValue text = object.value(QStringLiteral("text")); text.isString())
        response.text = text.toString();
    if (const QJsonValue reason = object.value(QStringLiteral("error")); reason.isString())
        response.error = reason.toString();
    return response;
}

std::optional<ArgosDaemon::PythonResponse> ArgosDaemon::readResponse(quint64 requestID, Deadline deadline) {
    // A partial line longer than this is not a reply; it is dropped rather than kept growing.
    constexpr qsizetype maximumPendingBytes = 4 * 1024 * 1024;
    for (;;) {
        qsizetype newline;
        while ((newline = stdoutBuffer_.indexOf('\n')) >= 0) {
            const QByteArray line = stdoutBuffer_.left(newline);
            stdoutBuffer_.remove(0, newline + 1);
            // Lines that are not replies, and replies to earlier requests, are skipped.
            if (auto response = parseResponseLine(line, requestID))
                return response;
        }
        if (stdoutBuffer_.size() > maximumPendingBytes)
            stdoutBuffer_.clear();
        if (SteadyClock::now() >= deadline)
            return std::nullopt;
        const auto chunk = readOutputChunk(deadline);
        if (!chunk)
            return std::nullopt;
        stdoutBuffer_.append(*chunk);
    }
}

std::optional<QByteArray> ArgosDaemon::readOutputChunk(Deadline deadline) {
    if (stdoutHandle_ < 0)
        return std::nullopt;
    for (;;) {
        char buffer[16384];
        const ssize_t n = ::read(stdoutHandle_, buffer, sizeof buffer);
        if (n > 0)
            return QByteArray(buffer, n);
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // End of output: the child is gone or going; the next request starts a new one.
            closeHandle(stdoutHandle_);
            return std::nullopt;
        }
        if (errno == EINTR)
            continue;
        const int timeout = millisecondsUntil(deadline);
        if (timeout == 0)
            return std::nullopt;
        pollfd descriptors[2] = {{.fd = stdoutHandle_, .events = POLLIN, .revents = 0},
                                 {.fd = wakeHandle_, .events = POLLIN, .revents = 0}};
        const int ready = ::poll(descriptors, 2, timeout);
        // Shutting down: the child is not waited for.
        if (ready > 0 && isWoken(descriptors[1]))
            return std::nullopt;
        // A single wait is capped at a minute; only the deadline, checked above, ends a longer one.
        if (ready == 0)
            continue;
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
    }
}

void ArgosDaemon::restartLocked() {
    // End of input lets the child leave on its own; one that does not is terminated, then killed. Once
    // shut down nothing is asked of it: whoever shuts the daemon down is going away and waits for it.
    closeHandle(stdinHandle_);
    if (process_ > 0) {
        if (shutDown_.load() || ChildProcesses::waitForExit(process_, options_.terminationGrace))
            ChildProcesses::kill(process_);
        else
            ChildProcesses::terminate(process_, options_.terminationGrace);
    }
    process_ = 0;
    closeHandle(stdoutHandle_);
    stdoutBuffer_.clear();
}

} // namespace orvex
