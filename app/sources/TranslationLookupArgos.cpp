#include "sources/TranslationLookupArgos.h"

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
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
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

// Where a spawned child's standard streams go: a new pipe, the null device, or the launcher's own.
enum class Stream { pipe, null, inherit };

struct SpawnedChild {
    pid_t pid = 0;
    int stdinWrite = -1;
    int stdoutRead = -1;
};

// Spawns `program` with `arguments` and `environment` (never through a shell). Every descriptor the
// launcher makes here is close-on-exec, so no child holds another's pipe; signal dispositions and the
// mask are reset to the defaults in the child.
std::optional<SpawnedChild> spawnChild(const QString &program, const QStringList &arguments,
                                       const QProcessEnvironment &environment, Stream input, Stream output) {
    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    auto closeAll = [&] {
        for (int *fd : {&inPipe[0], &inPipe[1], &outPipe[0], &outPipe[1]})
            closeHandle(*fd);
    };
    if (input == Stream::pipe && ::pipe2(inPipe, O_CLOEXEC) != 0)
        return std::nullopt;
    if (output == Stream::pipe && ::pipe2(outPipe, O_CLOEXEC) != 0) {
        closeAll();
        return std::nullopt;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input == Stream::pipe)
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
    else if (input == Stream::null)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output == Stream::pipe)
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    else if (output == Stream::null)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> argumentBytes{path};
    for (const QString &argument : arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &bytes : argumentBytes)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environmentBytes;
    for (const QString &entry : environment.toStringList())
        environmentBytes.push_back(entry.toLocal8Bit());
    std::vector<char *> envp;
    for (QByteArray &bytes : environmentBytes)
        envp.push_back(bytes.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        closeAll();
        return std::nullopt;
    }

    SpawnedChild child{.pid = pid};
    closeHandle(inPipe[0]);
    closeHandle(outPipe[1]);
    child.stdinWrite = inPipe[1];
    child.stdoutRead = outPipe[0];
    for (int fd : {child.stdinWrite, child.stdoutRead})
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return child;
}

// Reaps the child when it has exited. True when it has (its status in `status`).
bool reapIfExited(pid_t pid, int *status = nullptr) {
    int localStatus = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &localStatus, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == pid || (result < 0 && errno == ECHILD)) {
        if (status)
            *status = localStatus;
        return true;
    }
    return false;
}

// False when the time limit passed first, or a stop was requested.
bool waitForExit(pid_t pid, std::chrono::milliseconds timeLimit, int *status = nullptr,
                 const std::stop_token &stop = {}) {
    const auto deadline = SteadyClock::now() + timeLimit;
    for (;;) {
        if (reapIfExited(pid, status))
            return true;
        if (SteadyClock::now() >= deadline || stop.stop_requested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Ends a child for good: SIGTERM, the grace time, then SIGKILL; always reaped.
void terminateAndReap(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 0 || reapIfExited(pid))
        return;
    ::kill(pid, SIGTERM);
    if (waitForExit(pid, grace))
        return;
    killAndReap(pid);
}

// Writes everything before the deadline. A reader that is gone gives EPIPE, never SIGPIPE: the signal is
// blocked for this thread while writing and a SIGPIPE raised by the write is taken back.
bool writeAll(int fd, const QByteArray &bytes, SteadyClock::time_point deadline) {
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
            pollfd descriptor{.fd = fd, .events = POLLOUT, .revents = 0};
            if (timeout == 0 || (::poll(&descriptor, 1, timeout) < 0 && errno != EINTR)) {
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
    static const QRegularExpression versioned(QStringLiteral("python3\\.(\\d+)$"));
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
    // "-c" puts the working directory first on the module path; it is taken off before the import.
    const auto child =
        spawnChild(*python,
                   {QStringLiteral("-c"), QStringLiteral("import sys\n"
                                                         "if sys.path and sys.path[0] == \"\":\n"
                                                         "    del sys.path[0]\n"
                                                         "import argostranslate.translate\n")},
                   processEnvironment(*python), Stream::inherit, Stream::null);
    if (!child)
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::checkFailed};
    int status = 0;
    if (!waitForExit(child->pid, timeLimit, &status, stop)) {
        // Whoever stops the check is going away and waits for it: nothing to ask of the child.
        if (stop.stop_requested()) {
            killAndReap(child->pid);
            return std::nullopt;
        }
        terminateAndReap(child->pid, std::chrono::milliseconds(200));
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::checkFailed};
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::ready, .pythonPath = *python};
    return ArgosRuntimeStatus{.kind = ArgosRuntimeStatus::Kind::moduleMissing};
}

std::optional<ArgosRuntimeStatus> argosRuntimeStatus(const std::stop_token &stop) {
    static std::mutex mutex;
    static std::optional<ArgosRuntimeStatus> known;
    {
        const std::lock_guard guard(mutex);
        if (known)
            return known;
    }
    // Checked with no lock held, so that a stop reaches the check at once; the first answer is kept.
    const std::optional<ArgosRuntimeStatus> status = evaluateArgosRuntimeStatus(stop);
    if (!status)
        return std::nullopt;
    const std::lock_guard guard(mutex);
    if (!known)
        known = status;
    return known;
}

ArgosRuntimeStatus argosRuntimeStatus() {
    return *argosRuntimeStatus(std::stop_token());
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
    return ArgosRuntime::availability(ArgosRuntime::argosRuntimeStatus());
}

// ---- Daemon ----

ArgosDaemon::ArgosDaemon() : ArgosDaemon(Options{}) {}

ArgosDaemon::ArgosDaemon(Options options) : options_(options) {}

ArgosDaemon::~ArgosDaemon() {
    std::lock_guard guard(mutex_);
    restartLocked();
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

bool ArgosDaemon::isUsableLocked() {
    if (process_ > 0 && reapIfExited(process_))
        process_ = 0;
    return process_ > 0 && stdinHandle_ >= 0 && stdoutHandle_ >= 0;
}

std::optional<QString> ArgosDaemon::translate(const QString &pythonExecutablePath,
                                              const QProcessEnvironment &environment, const QString &text,
                                              const QString &sourceLanguageCode,
                                              const QString &targetLanguageCode,
                                              std::optional<std::chrono::milliseconds> replyTimeout) {
    std::lock_guard guard(mutex_);
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
    if (!response || !response->ok || !response->text)
        return std::nullopt;
    const QString translated = StringUtils::trimmedWhitespaceAndNewlines(*response->text);
    if (translated.isEmpty())
        return std::nullopt;
    return translated;
}

void ArgosDaemon::prewarm(const QString &pythonExecutablePath, const QProcessEnvironment &environment) {
    std::lock_guard guard(mutex_);
    if (isUsableLocked())
        return;
    restartLocked();
    startProcess(pythonExecutablePath, environment);
}

void ArgosDaemon::restart() {
    std::lock_guard guard(mutex_);
    restartLocked();
}

bool ArgosDaemon::startProcess(const QString &pythonExecutablePath, const QProcessEnvironment &environment) {
    const auto child = spawnChild(pythonExecutablePath,
                                  {QStringLiteral("-u"), QStringLiteral("-c"), ArgosRuntime::childProgram()},
                                  environment, Stream::pipe, Stream::pipe);
    if (!child)
        return false;
    process_ = child->pid;
    stdinHandle_ = child->stdinWrite;
    stdoutHandle_ = child->stdoutRead;
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
    return writeAll(stdinHandle_, line, deadline) ? SendResult::sent : SendResult::writeFailed;
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
        pollfd descriptor{.fd = stdoutHandle_, .events = POLLIN, .revents = 0};
        const int ready = ::poll(&descriptor, 1, timeout);
        // A single wait is capped at a minute; only the deadline, checked above, ends a longer one.
        if (ready == 0)
            continue;
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
    }
}

void ArgosDaemon::restartLocked() {
    // End of input lets the child leave on its own; one that does not is terminated, then killed.
    closeHandle(stdinHandle_);
    if (process_ > 0 && !waitForExit(process_, options_.terminationGrace))
        terminateAndReap(process_, options_.terminationGrace);
    process_ = 0;
    closeHandle(stdoutHandle_);
    stdoutBuffer_.clear();
}

} // namespace orvex
