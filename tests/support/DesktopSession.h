#pragma once

// A desktop of the test's own for tests that need a real X server: Xvfb on a display it picks itself
// (-displayfd), a window manager (openbox) unless asked to go without and, on request, a system tray
// (trayer); key presses and pointer moves through xdotool; what is on screen read back through a
// connection of the test's own. Every process is stopped with the session (and dies with the test
// process), each wait has a time-out, and programs run with the test's isolated home.

#include "ChildProcess.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct xcb_connection_t;

namespace orvex::test {

inline constexpr std::chrono::seconds desktopTimeout{20 * slowdown};

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
        // openbox manages the windows; without it, clients place and focus themselves.
        bool windowManager = true;
        // trayer, an XEmbed system tray along the top right.
        bool tray = false;
        // What programs on this desktop start from; the test process's own environment when unset.
        std::optional<QProcessEnvironment> baseEnvironment;
    };

    explicit DesktopSession(Options options);
    DesktopSession() : DesktopSession(Options{}) {}
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Xvfb, the window manager and the tray (as asked) are up.
    bool isReady() const { return ready_; }
    QByteArray displayName() const { return display_; }
    QSize screenSize() const { return options_.screen; }
    // What a program on this desktop runs with: the test's isolated environment (home, XDG folders, locale),
    // this display, Qt's xcb platform at scale 1.
    QProcessEnvironment environment() const;

    // Runs an X client (xdotool, setxkbmap, ...) on this desktop to its end; false when it fails or outlives
    // the time-out. Its standard output goes to `output` when given.
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr,
             std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    bool xdotool(const QStringList &arguments, QString *output = nullptr) const;

    // Every window of the process, depth first.
    QList<XWindowInfo> windowsOf(qint64 pid) const;
    std::optional<XWindowInfo> window(quint32 id) const;
    // The managed window of the process with this title once it is viewable.
    std::optional<XWindowInfo> waitForWindow(qint64 pid, const QString &title,
                                             std::chrono::milliseconds timeout = desktopTimeout) const;
    // Runs the event loop until `done` answers true or the time-out passes; returns whether it did.
    bool waitUntil(const std::function<bool()> &done,
                   std::chrono::milliseconds timeout = desktopTimeout) const;
    // Lets the desktop settle for a while (for checking that something does NOT happen).
    void settle(std::chrono::milliseconds duration) const;
    bool isViewable(quint32 window) const;
    quint32 inputFocus() const;
    quint32 rootWindow() const { return root_; }
    // The window manager's current desktop and a window's desktop.
    std::optional<quint32> currentDesktop() const;
    std::optional<quint32> windowDesktop(quint32 window) const;
    QStringList windowStates(quint32 window) const;
    // The tray's own top-level window.
    quint32 trayWindow() const;

    // A plain window of the test's own, mapped and managed (another application's window).
    quint32 openOtherWindow(const QRect &geometry, const QString &title);
    void closeOtherWindow(quint32 window);

    // Which of Xvfb, the window manager and the tray still run, and what they wrote: for failures.
    QString describe();

    QImage screenshot() const;
    // Under build/<preset>/screenshots/; returns the path.
    static QString saveScreenshot(const QImage &image, const QString &name);

private:
    bool startWindowManager();
    bool startTray();
    quint32 atom(const char *name) const;
    QString windowTitle(quint32 window) const;

    Options options_;
    ChildProcess server_;
    ChildProcess windowManager_;
    // The machine's openbox settings and themes, lent to openbox alone.
    QTemporaryDir windowManagerFolders_;
    ChildProcess tray_;
    QByteArray display_;
    xcb_connection_t *connection_ = nullptr;
    quint32 root_ = 0;
    bool ready_ = false;
};

} // namespace orvex::test
