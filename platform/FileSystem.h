#pragma once

#include <QString>

namespace orvex {

// Folders made on the user's disk by code that must say why it could not: the system's own reason.
namespace FileSystem {

// The system's text for an error number, as strerror gives it.
QString errorText(int errorNumber);

// Creates the folder and its missing parents. Answers 0 when a folder stands at `path` afterwards, else
// the system's error number (ENOTDIR when something other than a folder stands there or on the way).
int createFolder(const QString &path);

} // namespace FileSystem
} // namespace orvex
