#pragma once

// A desktop of the test's own for end-to-end tests of the real orvex-launcher: Xvfb on a display it picks
// itself (-displayfd), a window manager (openbox) and, on request, a system tray (trayer); key presses
// and pointer moves through xdotool; what is on screen read back through a connection of the test's own.
// Every process is stopped with the session, each wait has a time-out, and the home is the test's.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct xcb_connection_t;

namespace orvex::test {

inline constexpr std::chrono::seconds desktopTimeout{20};

// A child process that is killed (and reaped) when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment);
    void stop();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    bool waitForExit(std::chrono::milliseconds timeout = desktopTimeout);
    int exitCode() const;
    QByteArray standardOutput();
    QByteArray standardError();
    QProcess &process() { return process_; }

private:
    QProcess process_;
    QByteArray output_;
    QByteArray error_;
};

// A window as the X server sees it.
struct XWindowInfo {
    quint32 id = 0;
    QRect geometry; // in root coordinates
    bool viewable = false;
    bool overrideRedirect = false;
    QString title;
    qint64 pid = 0;
    // The root window's child that holds this window (its frame, or itself).
    quint32 topLevel = 0;
};

class DesktopSession {
public:
    struct Options {
        QSize screen{1280, 800};
        bool tray = false;
    };

    explicit DesktopSession(Options options);
    DesktopSession() : DesktopSession(Options{}) {}
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Xvfb, openbox and (when asked) the tray are up.
    bool isReady() const { return ready_; }
    QByteArray displayName() const { return display_; }
    QSize screenSize() const { return options_.screen; }
    // What a program on this desktop runs with: the test's home, this display, Qt's xcb platform.
    QProcessEnvironment environment() const;

    // Runs xdotool with these arguments to its end.
    bool xdotool(const QStringList &arguments) const;
    bool run(const QString &program, const QStringList &arguments) const;

    // Every window of the process, depth first.
    QList<XWindowInfo> windowsOf(qint64 pid) const;
    std::optional<XWindowInfo> window(quint32 id) const;
    // The managed window of the process with this title once it is viewable.
    std::optional<XWindowInfo> waitForWindow(qint64 pid, const QString &title,
                                             std::chrono::milliseconds timeout = desktopTimeout) const;
    bool waitUntil(const std::function<bool()> &done,
                   std::chrono::milliseconds timeout = desktopTimeout) const;
    bool isViewable(quint32 window) const;
    quint32 inputFocus() const;
    // The window manager's current desktop and a window's desktop.
    std::optional<quint32> currentDesktop() const;
    std::optional<quint32> windowDesktop(quint32 window) const;
    QStringList windowStates(quint32 window) const;
    // The tray's own top-level window.
    quint32 trayWindow() const;

    // A plain window of the test's own, mapped and managed (another application's window).
    quint32 openOtherWindow(const QRect &geometry, const QString &title);
    void closeOtherWindow(quint32 window);

    QImage screenshot() const;
    // Under build/<preset>/screenshots/; returns the path.
    static QString saveScreenshot(const QImage &image, const QString &name);

private:
    bool startWindowManager();
    bool startTray();
    quint32 atom(const char *name) const;
    QString windowTitle(quint32 window) const;

    Options options_;
    QProcess server_;
    ChildProcess windowManager_;
    ChildProcess tray_;
    QByteArray display_;
    xcb_connection_t *connection_ = nullptr;
    quint32 root_ = 0;
    bool ready_ = false;
};

} // namespace orvex::test
