#include "ScreenReader.h"

#include "AccessibilityBus.h"
#include "DesktopSession.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>

namespace orvex::test {

namespace {

const QString speechMarker = QStringLiteral("SPEECH OUTPUT: '");
// The end of a logged utterance: its closing quote, the voice it was given when not the default, and the
// voice's settings as a dictionary.
const QRegularExpression utteranceEnd(QStringLiteral(R"(^(.*)'(?: voice=\S+)? ?\{.*\}$)"),
                                      QRegularExpression::DotMatchesEverythingOption);
// Text that runs over more lines than this is taken as it stands.
constexpr int longestUtteranceLines = 40;

// The processes below `pid` (its children, theirs, ...), as /proc lists them.
QList<qint64> descendantsOf(qint64 pid) {
    QList<qint64> found;
    QList<qint64> pending{pid};
    while (!pending.isEmpty()) {
        const qint64 parent = pending.takeLast();
        const QStringList tasks =
            QDir(QStringLiteral("/proc/%1/task").arg(parent)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &task : tasks) {
            QFile children(QStringLiteral("/proc/%1/task/%2/children").arg(parent).arg(task));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray &child : children.readAll().split(' ')) {
                bool number = false;
                const qint64 id = child.trimmed().toLongLong(&number);
                if (number && !found.contains(id)) {
                    found.append(id);
                    pending.append(id);
                }
            }
        }
    }
    return found;
}

} // namespace

ScreenReader::ScreenReader(const DesktopSession &desktop, const AccessibilityBus &bus)
    : home_(homePath() + QStringLiteral("/screen-reader-XXXXXX")) {
    if (!home_.isValid()) {
        fail(QStringLiteral("no home for the screen reader: ") + home_.errorString());
        return;
    }
    for (const char *program : {"orca", "speech-dispatcher", "script", "setsid", "unshare"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
            fail(QStringLiteral("%1 is not installed (scripts/deps.sh installs it)")
                     .arg(QLatin1String(program)));
            return;
        }

    const QString home = home_.path();
    const QString runtime = home + QStringLiteral("/runtime");
    makeDirectory(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Sound goes nowhere; without a device that takes it, the speech service blocks Orca.
    writeFile(home + QStringLiteral("/.asoundrc"),
              "pcm.!default { type null }\nctl.!default { type null }\n");
    writeFile(home + QStringLiteral("/.config/speech-dispatcher/speechd.conf"),
              "AudioOutputMethod \"alsa\"\n"
              "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
              "DefaultModule espeak-ng\n"
              "Timeout 0\n");
    logPath_ = home + QStringLiteral("/orca.log");

    QProcessEnvironment environment = bus.environment(desktop.environment());
    // Orca's own, not the program's: it reads no Qt setting and must not be told to be accessible.
    for (const QString &name : environment.keys())
        if (name.startsWith(QLatin1String("QT_")))
            environment.remove(name);
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // Orca's Python and GTK read the machine's data: its icons, schemas, voices.
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));

    // A namespace of its own: Orca refuses to start beside another Orca of the same user, and its
    // --replace would kill that one (another test's). Its first process is `script`, whose end ends
    // everything in it.
    process_.process().setStandardOutputFile(QProcess::nullDevice());
    if (!process_.start(QStringLiteral("unshare"),
                        {QStringLiteral("--pid"), QStringLiteral("--fork"), QStringLiteral("--mount-proc"),
                         QStringLiteral("--kill-child"), QStringLiteral("--"), QStringLiteral("setsid"),
                         QStringLiteral("script"), QStringLiteral("-qfec"),
                         QStringLiteral("orca --disable braille --debug-file /dev/tty"), logPath_},
                        environment)) {
        fail(QStringLiteral("unshare did not start: ") + process_.process().errorString());
        return;
    }
    if (!waitForSpeech(QStringLiteral("Screen reader on."))) {
        fail(QStringLiteral("Orca did not say it is on (%1): %2\n%3")
                 .arg(process_.isRunning() ? QStringLiteral("it runs") : QStringLiteral("it ended"),
                      QString::fromLocal8Bit(process_.standardError()), logTail()));
        return;
    }
    ready_ = true;
}

ScreenReader::~ScreenReader() {
    stop();
}

void ScreenReader::stop() {
    if (!process_.isRunning())
        return;
    // The namespace ends with its first process: the kernel kills everything in it (the speech
    // service and its modules too) before unshare, which waits for that process, can end.
    const QList<qint64> inside = processes();
    if (!inside.isEmpty())
        ::kill(pid_t(inside.constFirst()), SIGKILL);
    if (!process_.waitForExit(std::chrono::seconds(10)))
        process_.stop();
}

QList<qint64> ScreenReader::processes() const {
    return process_.isRunning() ? descendantsOf(process_.pid()) : QList<qint64>();
}

bool ScreenReader::fail(const QString &why) {
    failure_ = why;
    return false;
}

void ScreenReader::read() {
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly) || log.size() <= readOffset_)
        return;
    log.seek(readOffset_);
    const QByteArray gained = log.readAll();
    readOffset_ += gained.size();
    partialLine_ += gained;
    qsizetype end = 0;
    while ((end = partialLine_.indexOf('\n')) >= 0) {
        // The terminal ends its lines with "\r\n".
        QString line = QString::fromUtf8(partialLine_.left(end));
        partialLine_.remove(0, end + 1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (pendingUtterance_) {
            *pendingUtterance_ += QLatin1Char('\n') + line;
        } else if (const qsizetype start = line.indexOf(speechMarker); start >= 0) {
            pendingUtterance_ = line.mid(start + speechMarker.size());
        } else {
            continue;
        }
        const QRegularExpressionMatch complete = utteranceEnd.match(*pendingUtterance_);
        if (complete.hasMatch() || pendingUtterance_->count(QLatin1Char('\n')) >= longestUtteranceLines) {
            spoken_.append(complete.hasMatch() ? complete.captured(1) : *pendingUtterance_);
            pendingUtterance_.reset();
        }
    }
}

QStringList ScreenReader::spoken() {
    read();
    return spoken_;
}

void ScreenReader::clear() {
    read();
    spoken_.clear();
}

std::optional<QString> ScreenReader::waitForSpeech(const std::function<bool(const QString &)> &heard,
                                                   std::chrono::milliseconds timeout) {
    std::optional<QString> found;
    waitUntil(
        [&] {
            read();
            for (const QString &utterance : std::as_const(spoken_))
                if (heard(utterance)) {
                    found = utterance;
                    return true;
                }
            return false;
        },
        timeout);
    return found;
}

std::optional<QString> ScreenReader::waitForSpeech(const QString &text, std::chrono::milliseconds timeout) {
    return waitForSpeech([&](const QString &utterance) { return utterance.contains(text); }, timeout);
}

int ScreenReader::count(const QString &text) {
    read();
    return int(std::count_if(spoken_.cbegin(), spoken_.cend(),
                             [&](const QString &utterance) { return utterance.contains(text); }));
}

QString ScreenReader::transcript() {
    read();
    QStringList lines;
    for (const QString &utterance : std::as_const(spoken_))
        lines.append(QLatin1Char('"') + utterance + QLatin1Char('"'));
    return QStringLiteral("Orca said:\n") + lines.join(QLatin1Char('\n'));
}

QString ScreenReader::logTail(int lines) const {
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log at %1)").arg(logPath_);
    log.seek(std::max<qint64>(0, log.size() - 64 * 1024));
    QStringList tail = QString::fromUtf8(log.readAll()).remove(QLatin1Char('\r')).split(QLatin1Char('\n'));
    return tail.mid(std::max<qsizetype>(0, tail.size() - lines)).join(QLatin1Char('\n'));
}

} // namespace orvex::test
