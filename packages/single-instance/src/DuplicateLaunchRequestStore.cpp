#include "single-instance/DuplicateLaunchRequestStore.h"

#include "single-instance/DuplicateLaunchSignal.h"
#include "single-instance/InstanceLock.h"

#include "platform/FileSystem.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

DuplicateLaunchRequestStore::Stored
DuplicateLaunchRequestStore::enqueue(const DuplicateLaunchRequest &request,
                                     const SingleInstanceConfiguration &configuration) {
    const QString folder = configuration.duplicateLaunchRequestsPath();
    const auto created = createFolder(folder);
    if (const auto *failure = std::get_if<FolderCreationError>(&created))
        return {{}, failure->description()};
    // A request is written only where the running instance will read it.
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return {{}, QStringLiteral("%1 is not a folder of this user's").arg(folder)};

    const QString path = folder + QLatin1Char('/') +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                         QStringLiteral(".json");
    // Written beside the target under a name that does not end in ".json" and renamed when complete,
    // so a reader never meets a half-written request. A request may name the user's files: only the
    // user reads it.
    if (const std::optional<QString> error =
            FileSystem::replaceFile(path, request.toJson(), QFile::ReadOwner | QFile::WriteOwner))
        return {{}, QStringLiteral("Could not write %1: %2").arg(path, *error)};
    return {path, std::nullopt};
}

std::optional<QString> DuplicateLaunchRequestStore::post(const DuplicateLaunchRequest &request,
                                                         const SingleInstanceConfiguration &configuration) {
    std::optional<QString> error;
    if (!request.isEmpty()) {
        error = enqueue(request, configuration).error;
    }
    DuplicateLaunchSignal::post(configuration.activationSignalName, configuration.lockFolderPath());
    return error;
}

bool DuplicateLaunchRequestStore::isRequestFileName(const QString &name) {
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.json$"));
    return pattern.match(name).hasMatch();
}

QList<DuplicateLaunchRequest>
DuplicateLaunchRequestStore::consumePending(const SingleInstanceConfiguration &configuration) {
    // The folder itself, never where a link in its place points, and only when it is this user's.
    const QByteArray path = QFile::encodeName(configuration.duplicateLaunchRequestsPath());
    const int folder = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return {};
    struct stat info {};
    if (::fstat(folder, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(folder);
        return {};
    }
    QStringList names;
    // The listing reads through a descriptor of its own, so that `folder` stays usable after it.
    if (DIR *listing = ::fdopendir(::dup(folder))) {
        while (const dirent *entry = ::readdir(listing)) {
            const QString name = QFile::decodeName(entry->d_name);
            if (isRequestFileName(name))
                names.append(name);
        }
        ::closedir(listing);
    }
    names.sort();

    QList<DuplicateLaunchRequest> requests;
    for (const QString &name : names) {
        if (const std::optional<QByteArray> bytes =
                SafeFile::readRegularFileAt(folder, name, maxRequestBytes)) {
            if (std::optional<DuplicateLaunchRequest> request = DuplicateLaunchRequest::fromJson(*bytes))
                requests.append(std::move(*request));
        }
        ::unlinkat(folder, QFile::encodeName(name).constData(), 0);
    }
    ::close(folder);
    std::stable_sort(requests.begin(), requests.end(),
                     [](const DuplicateLaunchRequest &a, const DuplicateLaunchRequest &b) {
                         return a.createdAt < b.createdAt;
                     });
    return requests;
}

} // namespace orvex
