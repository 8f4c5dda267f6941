#include "single-instance/DuplicateLaunchRequestStore.h"

#include "single-instance/DuplicateLaunchSignal.h"
#include "single-instance/InstanceLock.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>

namespace orvex {

DuplicateLaunchRequestStore::Stored
DuplicateLaunchRequestStore::enqueue(const DuplicateLaunchRequest &request,
                                     const SingleInstanceConfiguration &configuration) {
    const QString folder = configuration.duplicateLaunchRequestsPath();
    const auto created = createFolder(folder);
    if (const auto *failure = std::get_if<FolderCreationError>(&created))
        return {{}, failure->description()};

    const QString path = folder + QLatin1Char('/') +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                         QStringLiteral(".json");
    // QSaveFile writes beside the target under a name that does not end in ".json" (or unnamed) and
    // renames on commit, so a reader never meets a half-written request.
    // A request may name the user's files: only the user reads it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(request.toJson()) < 0 || !file.commit())
        return {{}, QStringLiteral("Could not write %1: %2").arg(path, file.errorString())};
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

QList<DuplicateLaunchRequest>
DuplicateLaunchRequestStore::consumePending(const SingleInstanceConfiguration &configuration) {
    const QDir folder(configuration.duplicateLaunchRequestsPath());
    const QStringList names = folder.entryList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QList<DuplicateLaunchRequest> requests;
    for (const QString &name : names) {
        if (!name.endsWith(QLatin1String(".json")))
            continue;
        const QString path = folder.filePath(name);
        if (const std::optional<QByteArray> bytes = SafeFile::readRegularFile(path, maxRequestBytes)) {
            if (std::optional<DuplicateLaunchRequest> request = DuplicateLaunchRequest::fromJson(*bytes))
                requests.append(std::move(*request));
        }
        QFile::remove(path);
    }
    std::stable_sort(requests.begin(), requests.end(),
                     [](const DuplicateLaunchRequest &a, const DuplicateLaunchRequest &b) {
                         return a.createdAt < b.createdAt;
                     });
    return requests;
}

} // namespace orvex
