#pragma once

// A private X server with a window manager for the launcher benchmark: Xvfb on a display it picks
// itself (-displayfd) and openbox on it, both stopped when the object goes. Never the display of whoever
// runs the benchmark.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace orvex::bench {

class VirtualDisplay {
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    // Starts the server at the given size and the window manager with `scratch` as its home; false (with
    // `error` set) when either does not come up within ten seconds.
    bool start(const QString &scratch, int width, int height, QString *error);
    void stop();

    // ":N"
    QByteArray name() const { return name_; }
    // The system environment with DISPLAY set to this server.
    QProcessEnvironment environment() const;

private:
    QProcess server_;
    QProcess windowManager_;
    QByteArray name_;
};

// Ends a child politely (SIGTERM), then by force after `graceMilliseconds`; waits for it either way.
void stopChild(QProcess &child, int graceMilliseconds = 3000);

// Makes a child die with the benchmark, so that a crashed or killed run leaves nothing behind.
void killChildWithParent(QProcess &child);

} // namespace orvex::bench
