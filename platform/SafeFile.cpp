#include "SafeFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::SafeFile {

namespace {

// Reads the opened file when it is a regular one within the cap, and closes it.
std::optional<QByteArray> readAndClose(int fd, qint64 maxBytes) {
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxBytes) {
        QByteArray bytes;
        bytes.reserve(static_cast<qsizetype>(info.st_size));
        char buffer[16384];
        bool ok = true;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ok = false;
                break;
            }
            // The file may grow while it is read; the cap holds regardless.
            if (bytes.size() + n > maxBytes) {
                ok = false;
                break;
            }
            bytes.append(buffer, static_cast<qsizetype>(n));
        }
        if (ok)
            result = std::move(bytes);
    }
    ::close(fd);
    return result;
}

} // namespace

std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxBytes) {
    const QByteArray nativePath = QFile::encodeName(path);
    return readAndClose(::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY),
                        maxBytes);
}

std::optional<QByteArray> readRegularFileAt(int folder, const QString &name, qint64 maxBytes) {
    const QByteArray nativeName = QFile::encodeName(name);
    return readAndClose(
        ::openat(folder, nativeName.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW),
        maxBytes);
}

} // namespace orvex::SafeFile
