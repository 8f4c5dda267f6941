#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

namespace orvex {

// Folders and files made on the user's disk by code that must say why it could not: the system's own
// reason.
namespace FileSystem {

// The system's text for an error number, as strerror gives it.
QString errorText(int errorNumber);

// Creates the folder and its missing parents. Answers 0 when a folder stands at `path` afterwards, else
// the system's error number (ENOTDIR when something other than a folder stands there or on the way).
int createFolder(const QString &path);

// Replaces the file at `path` with `bytes`, whole or not at all: they go to a new file beside it
// ("<name>.XXXXXX"), which is renamed over it only once every byte has reached the disk. A file system
// that is full, over quota or failing leaves what `path` held as it was, and the answer says why.
// `permissions`: the new file's; none: those of the file it replaces, else 0666 less the umask.
std::optional<QString> replaceFile(const QString &path, const QByteArray &bytes,
                                   std::optional<QFileDevice::Permissions> permissions = std::nullopt);

} // namespace FileSystem
} // namespace orvex
