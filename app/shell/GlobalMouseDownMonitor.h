#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

namespace orvex {

// Hears every left and right button press on the X display, whichever window gets it, without taking
// the pointer from anyone (XInput 2 raw events on the root window, on a connection of our own). Used to
// hide the panel when the user clicks elsewhere. GUI thread only.
class GlobalMouseDownMonitor : public QObject {
    Q_OBJECT

public:
    struct Press {
        // The root window's direct child under the pointer (a window manager's frame, a tray, an
        // unmanaged popup), none over the bare desktop.
        quint32 rootChild;
    };

    // None without a display or without XInput 2.2.
    static std::unique_ptr<GlobalMouseDownMonitor> open(const QByteArray &displayName);
    ~GlobalMouseDownMonitor() override;

    std::function<void(const Press &)> onMouseDown;

private:
    GlobalMouseDownMonitor(xcb_connection_t *connection, quint8 extensionOpcode);
    void drainEvents();

    xcb_connection_t *connection_;
    quint8 extensionOpcode_;
    quint32 root_ = 0;
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace orvex
