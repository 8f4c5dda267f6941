#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace orvex::test {

// How many times longer a program takes here than in a plain build: under the sanitizers every process
// of a test runs several times slower, and the time-outs of waits on processes and desktops grow by it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int slowdown = 3;
#else
inline constexpr int slowdown = 1;
#endif

// The temporary folder that stands in for HOME in this test process; XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME, XDG_STATE_HOME and XDG_RUNTIME_DIR point inside it.
QString homePath();

// Creates the file (and its parent folders) with the given bytes; fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
void makeDirectory(const QString &path);

// Runs the event loop until `done` answers true or the time-out passes; returns `done()`.
bool waitUntil(const std::function<bool()> &done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Whether the process is gone, or a zombie that is no longer anyone's to wait for.
bool isProcessGone(qint64 pid);

} // namespace orvex::test
