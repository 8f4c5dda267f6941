#include "LauncherInstance.h"

#include "Statistics.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace orvex::bench {

namespace {

constexpr xcb_keysym_t keySpace = 0x0020;
constexpr xcb_keysym_t keyA = 0x0061;
constexpr xcb_keysym_t keyQ = 0x0071;
constexpr xcb_keysym_t keyBackSpace = 0xff08;
constexpr xcb_keysym_t keyControl = 0xffe3;

void evict(const QString &path) {
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fdatasync(descriptor);
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    ::close(descriptor);
}

} // namespace

LauncherInstance::LauncherInstance(const QString &program, const QString &home, const QString &stateRoot,
                                   const QProcessEnvironment &displayEnvironment,
                                   WindowEventRecorder &recorder)
    : program_(program), home_(home), stateRoot_(stateRoot), displayEnvironment_(displayEnvironment),
      recorder_(recorder), traceFile_(stateRoot + QStringLiteral("/panel-trace.txt")),
      outputFile_(stateRoot + QStringLiteral("/launcher-output.txt")) {}

LauncherInstance::~LauncherInstance() {
    stop();
}

bool LauncherInstance::resetState(QString *error) {
    for (const char *name : {"config", "data", "cache", "state", "runtime"}) {
        QDir folder(stateRoot_ + QStringLiteral("/xdg-") + QLatin1String(name));
        if (folder.exists() && !folder.removeRecursively()) {
            if (error)
                *error = QStringLiteral("cannot empty %1").arg(folder.path());
            return false;
        }
        if (!QDir().mkpath(folder.path()) ||
            !QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            if (error)
                *error = QStringLiteral("cannot make %1").arg(folder.path());
            return false;
        }
    }
    UserDefaults defaults(stateRoot_ + QStringLiteral("/xdg-config/orvex-launcher/defaults.plist"));
    defaults.set(QStringLiteral("launcherPermissionsOnboardingCompleted"), PlistValue(true));
    if (!defaults.flush()) {
        if (error)
            *error = QStringLiteral("cannot write the launcher's defaults");
        return false;
    }
    return true;
}

void LauncherInstance::evictFileCaches() const {
    const QString database = home_ + QStringLiteral("/.pdf-indexer/index.db");
    for (const QString &path :
         {program_, database, database + QStringLiteral("-wal"), database + QStringLiteral("-shm")})
        evict(path);
}

QProcessEnvironment LauncherInstance::launcherEnvironment() const {
    QProcessEnvironment environment = displayEnvironment_;
    environment.insert(QStringLiteral("HOME"), home_);
    for (const char *name : {"config", "data", "cache", "state", "runtime"}) {
        const QString variable = QStringLiteral("XDG_%1_%2")
                                     .arg(QString::fromLatin1(name).toUpper(),
                                          QLatin1String(qstrcmp(name, "runtime") ? "HOME" : "DIR"));
        environment.insert(variable, stateRoot_ + QStringLiteral("/xdg-") + QLatin1String(name));
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("SESSION_MANAGER"));
    for (const QString &name : extraEnvironment_.keys())
        environment.insert(name, extraEnvironment_.value(name));
    return environment;
}

std::optional<StartTiming> LauncherInstance::start(std::chrono::milliseconds timeout) {
    stop();
    trace_.follow(traceFile_);
    ProgramStart start;
    start.program = program_;
    start.arguments = {QStringLiteral("--trace"), traceFile_};
    start.environment = launcherEnvironment();
    start.standardOutputFile = outputFile_;
    const auto timing = startAndTimeWindow(recorder_, process_, start, timeout);
    panel_ = timing ? timing->window : 0;
    return timing;
}

void LauncherInstance::stop() {
    process_.stop(std::chrono::seconds(5));
    panel_ = 0;
}

std::optional<double> LauncherInstance::quit(QuitBy by, std::chrono::milliseconds timeout) {
    if (!isRunning())
        return std::nullopt;
    const auto asked = by == QuitBy::controlQ ? recorder_.tap(keyQ, {keyControl}) : MonotonicClock::now();
    if (by == QuitBy::terminationSignal)
        ::kill(static_cast<pid_t>(pid()), SIGTERM);
    const bool ended = process_.waitForExit(timeout);
    const double took = milliseconds(MonotonicClock::now() - asked);
    panel_ = 0;
    if (!ended) {
        stop();
        return std::nullopt;
    }
    return took;
}

qint64 LauncherInstance::cpuTicks() const {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which may hold spaces, start after its closing parenthesis.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields.at(11).toLongLong() + fields.at(12).toLongLong(); // utime, stime
}

bool LauncherInstance::waitUntilIdle(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout) {
    const auto deadline = MonotonicClock::now() + timeout;
    qint64 last = cpuTicks();
    auto since = MonotonicClock::now();
    while (MonotonicClock::now() < deadline) {
        idle(std::chrono::milliseconds(100));
        const qint64 now = cpuTicks();
        if (now != last) {
            last = now;
            since = MonotonicClock::now();
        } else if (MonotonicClock::now() - since >= quiet) {
            return true;
        }
    }
    return false;
}

bool LauncherInstance::panelVisible() {
    return panel_ != 0 && recorder_.isViewable(panel_);
}

MonotonicClock::time_point LauncherInstance::pressHotKey() {
    return recorder_.tap(keySpace, {keyControl});
}

bool LauncherInstance::showPanel(std::chrono::milliseconds timeout) {
    if (panelVisible())
        return true;
    const auto pressed = pressHotKey();
    return recorder_.waitUntil(
        [&] { return recorder_.first(WindowEventKind::mapped, panel_, pressed).has_value(); }, timeout);
}

bool LauncherInstance::hidePanel(std::chrono::milliseconds timeout) {
    if (!panelVisible())
        return true;
    const auto pressed = pressHotKey();
    return recorder_.waitUntil(
        [&] { return recorder_.first(WindowEventKind::unmapped, panel_, pressed).has_value(); }, timeout);
}

void LauncherInstance::clearField() {
    recorder_.tap(keyA, {keyControl});
    recorder_.tap(keyBackSpace);
}

MonotonicClock::time_point LauncherInstance::type(QChar character) {
    return recorder_.tap(xcb_keysym_t(character.unicode()));
}

void LauncherInstance::typeText(const QString &text, std::chrono::milliseconds interval) {
    auto next = MonotonicClock::now();
    for (const QChar character : text) {
        while (MonotonicClock::now() < next)
            recorder_.pump(std::chrono::ceil<std::chrono::milliseconds>(next - MonotonicClock::now()));
        type(character);
        next += interval;
    }
}

std::optional<TracedPaint> LauncherInstance::paintShowing(const TracedList &list) {
    for (const TracedPaint &paint : trace_.paints()) {
        if (paint.list >= list.number)
            return paint;
    }
    return std::nullopt;
}

std::optional<TracedList> LauncherInstance::waitForFinal(const QString &query,
                                                         MonotonicClock::time_point from,
                                                         std::chrono::milliseconds timeout) {
    std::optional<TracedList> list;
    recorder_.waitUntil(
        [&] {
            trace_.update();
            if (!list)
                list = trace_.firstList(from, false, query);
            if (!list)
                return false;
            const auto paint = paintShowing(*list);
            return paint && damageAfter(paint->at).has_value();
        },
        timeout);
    if (!list || !paintShowing(*list) || !damageAfter(paintShowing(*list)->at))
        return std::nullopt;
    return list;
}

std::optional<MonotonicClock::time_point>
LauncherInstance::damageAfter(MonotonicClock::time_point from) const {
    return recorder_.first(WindowEventKind::damaged, panel_, from);
}

void LauncherInstance::idle(std::chrono::milliseconds duration) {
    const auto until = MonotonicClock::now() + duration;
    while (MonotonicClock::now() < until)
        recorder_.pump(std::chrono::ceil<std::chrono::milliseconds>(until - MonotonicClock::now()));
    trace_.update();
}

} // namespace orvex::bench
