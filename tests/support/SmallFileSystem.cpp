#include "SmallFileSystem.h"

#include "TestEnvironment.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvex::test {

namespace {

constexpr int answerTimeoutMs = 10000 * slowdown;

// Run by `sh` in the new namespace: mounts, says so, then remounts as told on stdin ("ro", "rw") until
// stdin closes, which it does when the test lets go of it or dies.
constexpr char holderScript[] = R"(mount -t tmpfs -o "size=$2,mode=0755" orvex-test "$1" || exit 1
echo mounted
while read -r option; do
  if mount -o "remount,$option" "$1"; then echo done; else echo failed; fi
done
)";

QString fillerPath(const QString &root) {
    return root + QStringLiteral("/.filler");
}

} // namespace

SmallFileSystem::SmallFileSystem(qint64 bytes)
    : mountPoint_(homePath() + QStringLiteral("/small-file-system-XXXXXX")) {
    if (!mountPoint_.isValid()) {
        problem_ = QStringLiteral("no mount point: ") + mountPoint_.errorString();
        return;
    }
    holder_.setProcessChannelMode(QProcess::SeparateChannels);
    holder_.start(QStringLiteral("unshare"),
                  {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
                   QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QString::fromLatin1(holderScript), QStringLiteral("sh"), mountPoint_.path(),
                   QString::number(bytes)});
    if (!holder_.waitForStarted(answerTimeoutMs)) {
        problem_ = QStringLiteral("unshare did not start: ") + holder_.errorString();
        return;
    }
    const QString answer = command({});
    if (answer != QLatin1String("mounted")) {
        problem_ = QStringLiteral("mounting a tmpfs in a mount namespace of its own failed: ") +
                   QString::fromLocal8Bit(holder_.readAllStandardError()).trimmed();
        return;
    }
    path_ = QStringLiteral("/proc/%1/root%2").arg(holder_.processId()).arg(mountPoint_.path());
}

SmallFileSystem::~SmallFileSystem() {
    if (holder_.state() == QProcess::NotRunning)
        return;
    holder_.closeWriteChannel();
    if (!holder_.waitForFinished(answerTimeoutMs)) {
        holder_.kill();
        holder_.waitForFinished(answerTimeoutMs);
    }
}

QString SmallFileSystem::command(const QByteArray &line) {
    if (!line.isEmpty())
        holder_.write(line + '\n');
    const QDeadlineTimer deadline(answerTimeoutMs);
    while (!holder_.canReadLine() && !deadline.hasExpired() && holder_.state() == QProcess::Running)
        holder_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    return holder_.canReadLine() ? QString::fromLatin1(holder_.readLine()).trimmed() : QString();
}

bool SmallFileSystem::fill(qint64 leave) {
    if (path_.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(fillerPath(path_));
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // Block by block until the disk says it is full.
    const QByteArray block(4096, 'f');
    int error = 0;
    for (;;) {
        if (::write(fd, block.constData(), block.size()) < 0) {
            error = errno;
            if (error == EINTR)
                continue;
            break;
        }
    }
    bool filled = error == ENOSPC;
    if (filled && leave > 0) {
        const off_t size = ::lseek(fd, 0, SEEK_END);
        filled = size >= leave && ::ftruncate(fd, size - leave) == 0;
    }
    ::close(fd);
    return filled;
}

bool SmallFileSystem::makeRoom() {
    return !path_.isEmpty() && QFile::remove(fillerPath(path_));
}

bool SmallFileSystem::setReadOnly(bool readOnly) {
    return !path_.isEmpty() && command(readOnly ? "ro" : "rw") == QLatin1String("done");
}

} // namespace orvex::test
