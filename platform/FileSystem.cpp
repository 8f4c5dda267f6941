#include "platform/FileSystem.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace orvex::FileSystem {

QString errorText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

int createFolder(const QString &path) {
    std::error_code code;
    const std::filesystem::path native(QFile::encodeName(path).toStdString());
    std::filesystem::create_directories(native, code);
    // create_directories reports success for an existing folder, but also stays silent in some
    // versions when a file stands at the path: check what is there.
    if (!code && !std::filesystem::is_directory(native, code) && !code)
        code = std::make_error_code(std::errc::not_a_directory);
    return code ? code.value() : 0;
}

std::optional<QString> replaceFile(const QString &path, const QByteArray &bytes,
                                   std::optional<QFileDevice::Permissions> permissions) {
    QSaveFile file(path);
    // Unbuffered: a buffered write succeeds into memory and fails only when commit() flushes it, an
    // error commit() does not look at before it renames the empty or partial copy over the file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (permissions && !file.setPermissions(*permissions))
        return file.errorString();
    // A short write is no error of its own; the next one says why the rest did not fit.
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            return file.error() != QFileDevice::NoError ? file.errorString()
                                                        : QStringLiteral("the data could not be written");
        written += step;
    }
    // Some file systems (network ones, quotas with delayed allocation) report a full disk or a failed
    // device only when the data is synced; commit() syncs too but does not look at the answer.
    if (::fsync(file.handle()) != 0)
        return errorText(errno); // the copy is removed when `file` goes
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace orvex::FileSystem
