#include "single-instance/DuplicateLaunchSignal.h"

#include "single-instance/InstanceLock.h"

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
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

// The places where the signal may live, in order: the user's runtime folder, then the program's own
// folder. The receiver creates and narrows its own folder; a sender only looks.
enum class PlaceKind { runtime, fallback };

std::optional<SignalPlace> openPlace(PlaceKind kind, const QString &name, const QString &fallbackFolder,
                                     bool receiving) {
    if (!isPlainName(name))
        return std::nullopt;
    SignalPlace place;
    if (kind == PlaceKind::runtime) {
        place.path = qEnvironmentVariable("XDG_RUNTIME_DIR");
        place.folder = openPrivateFolder(place.path, false);
    } else {
        place.path = fallbackFolder;
        if (receiving && std::holds_alternative<FolderCreationError>(createFolder(fallbackFolder)))
            return std::nullopt;
        place.folder = openPrivateFolder(place.path, receiving);
    }
    if (place.folder >= 0 && fillAddress(place, name, kind == PlaceKind::fallback))
        return place;
    closeQuietly(place.folder);
    return std::nullopt;
}

constexpr PlaceKind placeKinds[] = {PlaceKind::runtime, PlaceKind::fallback};

bool sendTo(const SignalPlace &place) {
    bool delivered = false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A full queue of a busy receiver makes the send wait, but not for long.
    const timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&place.address), place.addressLength) == 0) {
        const char signal = '!';
        ssize_t sent;
        do {
            sent = ::send(fd, &signal, 1, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        delivered = sent == 1;
    }
    ::close(fd);
    return delivered;
}

QString kindOfEntry(mode_t mode) {
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISREG(mode))
        return QStringLiteral("a file");
    return QStringLiteral("a device");
}

} // namespace

QStringList DuplicateLaunchSignal::socketPaths(const QString &name, const QString &fallbackFolder) {
    QStringList paths;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && !QDir::isRelativePath(runtime))
        paths.append(runtime + QLatin1Char('/') + name);
    paths.append(fallbackFolder + QLatin1Char('/') + name);
    return paths;
}

bool DuplicateLaunchSignal::post(const QString &name, const QString &fallbackFolder) {
    const QByteArray entry = QFile::encodeName(name);
    for (const PlaceKind kind : placeKinds) {
        std::optional<SignalPlace> place = openPlace(kind, name, fallbackFolder, false);
        if (!place)
            continue;
        // connect() would follow a link to whatever socket it names.
        struct stat info {};
        const bool ours = ::fstatat(place->folder, entry.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISSOCK(info.st_mode) && info.st_uid == ::geteuid();
        const bool delivered = ours && sendTo(*place);
        closeQuietly(place->folder);
        if (delivered)
            return true;
    }
    return false;
}

std::variant<std::unique_ptr<DuplicateLaunchSignalObservation>, QString>
DuplicateLaunchSignal::observe(const QString &name, const QString &fallbackFolder,
                               DuplicateLaunchSignalObservation::Handler handler) {
    const QByteArray entry = QFile::encodeName(name);
    QStringList reasons;
    for (const PlaceKind kind : placeKinds) {
        std::optional<SignalPlace> place = openPlace(kind, name, fallbackFolder, true);
        if (!place)
            continue;
        const QString socketPath = place->path + QLatin1Char('/') + name;
        auto giveUp = [&](const QString &reason) {
            reasons.append(socketPath + QStringLiteral(": ") + reason);
            closeQuietly(place->folder);
        };

        // A socket file that a crashed observer left refuses every sender and blocks the bind. Anything
        // else under the name is the user's in the runtime folder, and a stray in our own.
        struct stat existing {};
        if (::fstatat(place->folder, entry.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            const bool replace =
                S_ISSOCK(existing.st_mode) || (kind == PlaceKind::fallback && !S_ISDIR(existing.st_mode));
            if (!replace) {
                giveUp(kindOfEntry(existing.st_mode) + QStringLiteral(" is in the way"));
                continue;
            }
            ::unlinkat(place->folder, entry.constData(), 0);
        }

        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            giveUp(QStringLiteral("cannot make a socket: ") + FileSystem::errorText(errno));
            continue;
        }
        if (::bind(fd, reinterpret_cast<const sockaddr *>(&place->address), place->addressLength) != 0) {
            const int error = errno;
            ::close(fd);
            giveUp(QStringLiteral("cannot bind: ") + FileSystem::errorText(error));
            continue;
        }
        struct stat bound {};
        if (::fchmodat(place->folder, entry.constData(), 0600, 0) != 0 ||
            ::fstatat(place->folder, entry.constData(), &bound, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            ::unlinkat(place->folder, entry.constData(), 0);
            ::close(fd);
            giveUp(QStringLiteral("cannot restrict: ") + FileSystem::errorText(error));
            continue;
        }
        // Each datagram carries when it arrived, which is what tells one burst from the next.
        const int timestamps = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &timestamps, sizeof timestamps);
        const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0) {
            const int error = errno;
            ::unlinkat(place->folder, entry.constData(), 0);
            ::close(fd);
            giveUp(QStringLiteral("cannot make an event descriptor: ") + FileSystem::errorText(error));
            continue;
        }

        std::unique_ptr<DuplicateLaunchSignalObservation> observation(new DuplicateLaunchSignalObservation);
        observation->name_ = name;
        observation->socketPath_ = socketPath;
        observation->handler_ = std::move(handler);
        observation->folder_ = place->folder;
        observation->socket_ = fd;
        observation->wake_ = wake;
        observation->device_ = bound.st_dev;
        observation->inode_ = bound.st_ino;
        observation->reader_ = std::thread([o = observation.get()] { o->readLoop(); });
        return observation;
    }
    if (reasons.isEmpty())
        return QStringLiteral("no private folder can hold the socket of %1").arg(name);
    return reasons.join(QStringLiteral("; "));
}

DuplicateLaunchSignalObservation::Drained DuplicateLaunchSignalObservation::drain() {
    Drained drained;
    eventfd_t pokes = 0;
    if (::eventfd_read(wake_, &pokes) == 0 && pokes > 0)
        drained.poked = true;
    // Large enough for anything a sender writes; what is in a datagram does not matter, when it came does.
    char datagram[64];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    for (;;) {
        iovec part{datagram, sizeof datagram};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(socket_, &message, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return drained;
        }
        std::chrono::system_clock::time_point arrival = std::chrono::system_clock::now();
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
                arrival = std::chrono::system_clock::time_point(
                    std::chrono::duration_cast<std::chrono::system_clock::duration>(
                        std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
            }
        }
        drained.arrivals.push_back(arrival);
    }
}

void DuplicateLaunchSignalObservation::readLoop() {
    using Clock = std::chrono::steady_clock;
    using Wall = std::chrono::system_clock;
    pollfd watched[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
    // Waits up to `timeout` (negative: for ever); false when the observation ends.
    auto wait = [&](int timeout, bool &ready) {
        for (;;) {
            // A stop whose wake-up drain() took already.
            if (stopping_.load())
                return false;
            const int result = ::poll(watched, 2, timeout);
            if (result < 0 && errno == EINTR)
                continue;
            if (result < 0 || stopping_.load() || (watched[0].revents & (POLLERR | POLLNVAL)))
                return false;
            ready = result > 0;
            return true;
        }
    };
    for (;;) {
        bool ready = false;
        if (!wait(-1, ready))
            return;
        Drained drained = drain();
        if (drained.arrivals.empty()) {
            if (drained.poked)
                handler_(Call::burstContinued);
            continue;
        }
        handler_(Call::burstBegan);
        // The quiet that ends the burst is counted from when the last signal arrived, or the handler's
        // last call ended (signals that queue up while it runs belong to the burst), not from when this
        // thread got to look: on a busy machine a later launch is never taken into a burst that was over.
        Wall::time_point quietFrom = Wall::now();
        Clock::time_point lastCall = Clock::now();
        bool more = false;
        auto call = [&](Call kind) {
            handler_(kind);
            quietFrom = Wall::now();
            lastCall = Clock::now();
            more = false;
        };
        for (;;) {
            const auto quietLeft = std::clamp(
                std::chrono::duration_cast<std::chrono::milliseconds>(quietTime - (Wall::now() - quietFrom)),
                std::chrono::milliseconds(0), quietTime);
            if (!wait(static_cast<int>(quietLeft.count()), ready))
                return;
            if (!ready)
                break;
            drained = drain();
            for (const Wall::time_point arrival : drained.arrivals) {
                if (arrival - quietFrom > quietTime) {
                    // The burst was over before this signal came: it begins the next one.
                    if (more)
                        call(Call::burstContinued);
                    call(Call::burstBegan);
                } else {
                    more = true;
                    quietFrom = std::max(quietFrom, arrival);
                }
            }
            more = more || drained.poked;
            if (more && Clock::now() - lastCall >= longestBurst)
                call(Call::burstContinued);
        }
        if (more)
            handler_(Call::burstContinued);
    }
}

void DuplicateLaunchSignalObservation::poke() {
    if (wake_ >= 0 && !cancelled_)
        ::eventfd_write(wake_, 1);
}

void DuplicateLaunchSignalObservation::cancel() {
    if (cancelled_)
        return;
    cancelled_ = true;
    if (reader_.joinable()) {
        stopping_.store(true);
        ::eventfd_write(wake_, 1);
        reader_.join();
    }
    closeQuietly(socket_);
    closeQuietly(wake_);
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
