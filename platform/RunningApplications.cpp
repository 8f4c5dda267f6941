#include "RunningApplications.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace orvex {

namespace {

// The kernel keeps at most 15 bytes of a command name.
constexpr qsizetype commandNameMaxBytes = 15;

QByteArray readSmallFile(const QString &path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.read(maxBytes);
}

} // namespace

RunningApplications::RunningApplications(QString procRoot) : procRoot_(std::move(procRoot)) {}

bool RunningApplications::isAnyRunning(const QStringList &executableNames) const {
    if (executableNames.isEmpty())
        return false;
    QList<QByteArray> names;
    QList<QByteArray> commandNames;
    for (const QString &name : executableNames) {
        const QByteArray bytes = QFile::encodeName(name);
        if (bytes.isEmpty())
            continue;
        names.append(bytes);
        commandNames.append(bytes.left(commandNameMaxBytes));
    }
    if (names.isEmpty())
        return false;

    const uint uid = ::getuid();
    const QStringList entries = QDir(procRoot_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        entry.toULongLong(&numeric);
        if (!numeric)
            continue;
        const QString processFolder = procRoot_ + QLatin1Char('/') + entry;
        // Only the user's own programs can be talked to.
        if (QFileInfo(processFolder).ownerId() != uid)
            continue;

        const QByteArray command = readSmallFile(processFolder + QStringLiteral("/comm"), 64).trimmed();
        if (!command.isEmpty() && commandNames.contains(command))
            return true;

        // Wrappers often exec the browser under their own name as argv[0].
        const QByteArray commandLine = readSmallFile(processFolder + QStringLiteral("/cmdline"), 4096);
        const QByteArray firstArgument = commandLine.left(commandLine.indexOf('\0'));
        const QByteArray baseName = firstArgument.mid(firstArgument.lastIndexOf('/') + 1);
        if (!baseName.isEmpty() && names.contains(baseName))
            return true;
    }
    return false;
}

} // namespace orvex
