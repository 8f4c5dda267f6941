#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvex {

// Reads files that come from the user's disk without trusting them: opened non-blocking, refused
// unless they are regular files, and refused when larger than the cap, so a FIFO, a device or a huge
// file can neither block nor exhaust memory.
namespace SafeFile {

inline constexpr qint64 defaultMaxBytes = 1024 * 1024;

std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxBytes = defaultMaxBytes);
// The same for the entry `name` of an opened folder, never through a symbolic link.
std::optional<QByteArray> readRegularFileAt(int folder, const QString &name,
                                            qint64 maxBytes = defaultMaxBytes);

} // namespace SafeFile
} // namespace orvex
