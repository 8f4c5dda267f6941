#include "single-instance/InstanceLock.h"

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvex {

QString InstanceLockError::description() const {
    switch (kind) {
    case Kind::openFailed:
        return QStringLiteral("openFailed(errno: %1): %2")
            .arg(errorNumber)
            .arg(FileSystem::errorText(errorNumber));
    case Kind::lockFailed:
        return QStringLiteral("lockFailed(errno: %1): %2")
            .arg(errorNumber)
            .arg(FileSystem::errorText(errorNumber));
    case Kind::alreadyRunning:
        break;
    }
    return QStringLiteral("alreadyRunning");
}

QString FolderCreationError::description() const {
    return QStringLiteral("Could not create the folder %1: %2").arg(path, FileSystem::errorText(errorNumber));
}

QString describe(const SingleInstanceError &error) {
    return std::visit([](const auto &e) { return e.description(); }, error);
}

std::variant<std::monostate, FolderCreationError> createFolder(const QString &path) {
    if (const int error = FileSystem::createFolder(path))
        return FolderCreationError{path, error};
    return std::monostate{};
}

InstanceLock::InstanceLock(int fileDescriptor, QString lockPath)
    : fileDescriptor_(fileDescriptor), lockPath_(std::move(lockPath)) {}

InstanceLock::~InstanceLock() {
    ::flock(fileDescriptor_, LOCK_UN);
    ::close(fileDescriptor_);
}

std::variant<std::unique_ptr<InstanceLock>, SingleInstanceError>
InstanceLock::acquire(const QString &lockPath) {
    const auto folder = createFolder(QFileInfo(lockPath).absolutePath());
    if (const auto *failure = std::get_if<FolderCreationError>(&folder))
        return SingleInstanceError(*failure);

    const QByteArray native = QFile::encodeName(lockPath);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return SingleInstanceError(InstanceLockError::openFailed(errno));

    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return SingleInstanceError(InstanceLockError::alreadyRunning());
        return SingleInstanceError(InstanceLockError::lockFailed(error));
    }

    // Only the flock counts; the process id is for people, so failing to write it changes nothing.
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(fd, pid.constData(), static_cast<size_t>(pid.size()), 0);
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd, lockPath));
}

} // namespace orvex
