#include "single-instance/DuplicateLaunchSignal.h"

#include "single-instance/InstanceLock.h"

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvex {

namespace {

// An opened folder that only this user can enter, and the socket address of one name inside it.
struct SignalPlace {
    int folder = -1;
    QString path;
    sockaddr_un address{};
    socklen_t addressLength = 0;
};

void closeQuietly(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool isPlainName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Opens `path` when it is a folder owned by this user that no one else may enter. With
// `makePrivate` an owned folder that is wider open is narrowed to 0700; the user's runtime folder is
// never changed, only judged.
int openPrivateFolder(const QString &path, bool makePrivate) {
    if (path.isEmpty() || QDir::isRelativePath(path))
        return -1;
    const QByteArray native = QFile::encodeName(path);
    int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        closeQuietly(fd);
        return -1;
    }
    if ((info.st_mode & 077) != 0 && !(makePrivate && ::fchmod(fd, 0700) == 0))
        closeQuietly(fd);
    return fd;
}

// The address of `name` inside the opened folder: its plain path when it fits a socket address,
// else the same folder reached through the descriptor.
bool fillAddress(SignalPlace &place, const QString &name, bool allowDescriptorPath) {
    const QByteArray plain = QFile::encodeName(place.path + QLatin1Char('/') + name);
    QByteArray chosen = plain;
    if (plain.size() >= static_cast<qsizetype>(sizeof place.address.sun_path)) {
        if (!allowDescriptorPath)
            return false;
        chosen = "/proc/self/fd/" + QByteArray::number(place.folder) + '/' + QFile::encodeName(name);
        if (chosen.size() >= static_cast<qsizetype>(sizeof place.address.sun_path))
            return false;
    }
    place.address = {};
    place.address.sun_family = AF_UNIX;
    std::memcpy(place.address.sun_path, chosen.constData(), static_cast<size_t>(chosen.size()));
    place.addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + chosen.size() + 1);
    return true;
}

// Where the signal `name` lives, or nothing when no private folder is at hand. The receiver creates
// and narrows the fallback folder; a sender only looks.
std::optional<SignalPlace> findPlace(const QString &name, const QString &fallbackFolder, bool receiving) {
    if (!isPlainName(name))
        return std::nullopt;
    SignalPlace place;
    place.path = qEnvironmentVariable("XDG_RUNTIME_DIR");
    place.folder = openPrivateFolder(place.path, false);
    if (place.folder >= 0 && fillAddress(place, name, false))
        return place;
    closeQuietly(place.folder);

    place.path = fallbackFolder;
    if (receiving && std::holds_alternative<FolderCreationError>(createFolder(fallbackFolder)))
        return std::nullopt;
    place.folder = openPrivateFolder(place.path, receiving);
    if (place.folder >= 0 && fillAddress(place, name, true))
        return place;
    closeQuietly(place.folder);
    return std::nullopt;
}

} // namespace

bool DuplicateLaunchSignal::post(const QString &name, const QString &fallbackFolder) {
    std::optional<SignalPlace> place = findPlace(name, fallbackFolder, false);
    if (!place)
        return false;
    bool delivered = false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        // A full queue of a busy receiver makes the send wait, but not for long.
        const timeval limit{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&place->address), place->addressLength) == 0) {
            const char signal = '!';
            ssize_t sent;
            do {
                sent = ::send(fd, &signal, 1, MSG_NOSIGNAL);
            } while (sent < 0 && errno == EINTR);
            delivered = sent == 1;
        }
        ::close(fd);
    }
    closeQuietly(place->folder);
    return delivered;
}

std::variant<std::unique_ptr<DuplicateLaunchSignalObservation>, QString>
DuplicateLaunchSignal::observe(const QString &name, const QString &fallbackFolder,
                               std::function<void()> handler) {
    std::optional<SignalPlace> place = findPlace(name, fallbackFolder, true);
    if (!place)
        return QStringLiteral("no private folder can hold the socket of %1").arg(name);

    std::unique_ptr<DuplicateLaunchSignalObservation> observation(new DuplicateLaunchSignalObservation);
    observation->name_ = name;
    observation->socketPath_ = place->path + QLatin1Char('/') + name;
    observation->handler_ = std::move(handler);
    observation->folder_ = place->folder;
    const QByteArray entry = QFile::encodeName(name);

    // A socket file that a crashed observer left refuses every sender and blocks the bind.
    struct stat existing {};
    if (::fstatat(place->folder, entry.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISSOCK(existing.st_mode))
        ::unlinkat(place->folder, entry.constData(), 0);

    observation->socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (observation->socket_ < 0)
        return QStringLiteral("cannot make a socket: %1").arg(FileSystem::errorText(errno));
    if (::bind(observation->socket_, reinterpret_cast<const sockaddr *>(&place->address),
               place->addressLength) != 0)
        return QStringLiteral("cannot bind %1: %2")
            .arg(observation->socketPath_, FileSystem::errorText(errno));
    struct stat bound {};
    if (::fchmodat(place->folder, entry.constData(), 0600, 0) != 0 ||
        ::fstatat(place->folder, entry.constData(), &bound, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        ::unlinkat(place->folder, entry.constData(), 0);
        return QStringLiteral("cannot restrict %1: %2")
            .arg(observation->socketPath_, FileSystem::errorText(error));
    }
    observation->device_ = bound.st_dev;
    observation->inode_ = bound.st_ino;

    observation->stop_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (observation->stop_ < 0)
        return QStringLiteral("cannot make an event descriptor: %1").arg(FileSystem::errorText(errno));
    observation->reader_ = std::thread([o = observation.get()] { o->readLoop(); });
    return observation;
}

void DuplicateLaunchSignalObservation::readLoop() {
    pollfd watched[2] = {{socket_, POLLIN, 0}, {stop_, POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        if (watched[0].revents & (POLLERR | POLLNVAL))
            return;
        char datagram[64];
        while (::recv(socket_, datagram, sizeof datagram, MSG_DONTWAIT) >= 0)
            handler_();
    }
}

void DuplicateLaunchSignalObservation::cancel() {
    if (cancelled_)
        return;
    cancelled_ = true;
    if (reader_.joinable()) {
        const eventfd_t one = 1;
        ::eventfd_write(stop_, one);
        reader_.join();
    }
    closeQuietly(socket_);
    closeQuietly(stop_);
    if (folder_ >= 0 && inode_ != 0) {
        // Remove the socket only while it is still ours.
        const QByteArray entry = QFile::encodeName(name_);
        struct stat current {};
        if (::fstatat(folder_, entry.constData(), &current, AT_SYMLINK_NOFOLLOW) == 0 &&
            current.st_dev == device_ && current.st_ino == inode_)
            ::unlinkat(folder_, entry.constData(), 0);
    }
    closeQuietly(folder_);
}

DuplicateLaunchSignalObservation::~DuplicateLaunchSignalObservation() {
    cancel();
}

} // namespace orvex
