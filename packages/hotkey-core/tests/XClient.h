#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <chrono>

namespace orvex::test {

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
