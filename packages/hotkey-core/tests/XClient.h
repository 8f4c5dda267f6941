#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <xcb/xcb.h>

#include <chrono>

namespace orvex::test {

// A private X server for one test: Xvfb on a display it picks itself (-displayfd), stopped with the
// fixture. Never the display of whoever runs the tests.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    bool isRunning() const { return !display_.isEmpty(); }
    // ":N"
    QByteArray displayName() const { return display_; }

    // Runs an X client (xdotool, setxkbmap) against this server to its end; false when it fails or
    // outlives the time-out.
    bool run(const QString &program, const QStringList &arguments,
             std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    QProcess server_;
    QByteArray display_;
};

// A second X client: grabs keys the way another program would and sees the key presses it grabbed.
class XClient {
public:
    explicit XClient(const QByteArray &displayName);
    ~XClient();
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    // Whether the server granted the grab of the key with exactly these modifiers.
    bool grab(quint8 key, quint16 modifiers);
    void ungrab(quint8 key, quint16 modifiers);
    // Locks the keyboard group, as a layout switch does.
    bool lockGroup(quint8 group);
    // Waits for a press of a key this client grabbed.
    bool waitForKeyPress(quint8 key, std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    xcb_connection_t *connection_;
    xcb_window_t root_ = 0;
};

} // namespace orvex::test
