#pragma once

#include <QByteArray>

#include <memory>
#include <optional>

struct xcb_connection_t;

namespace orvex {

// What the shell asks of an X11 window manager and server for its own windows, through the toolkit's
// connection (so the requests stay in order with the toolkit's): the current desktop, no task-bar or
// pager entry, focus for a user action with that action's server time, and whether a compositing
// manager runs. Exists only on the xcb platform; GUI thread only.
class X11Desktop {
public:
    // None unless the application runs on the xcb platform.
    static std::unique_ptr<X11Desktop> open();
    ~X11Desktop();
    X11Desktop(const X11Desktop &) = delete;
    X11Desktop &operator=(const X11Desktop &) = delete;

    // Whether a compositing manager owns the screen's "_NET_WM_CM_S<n>" selection.
    bool isCompositingManagerRunning() const;
    // The desktop the user is on ("_NET_CURRENT_DESKTOP"); none without a window manager that says.
    std::optional<quint32> currentDesktop() const;
    // Before a hidden window is shown: puts it on the current desktop and keeps it out of task bars and
    // pagers (window managers drop these states whenever a window is hidden).
    void prepareToShow(quint32 window);
    // Asks the window manager to focus and raise `window` for a user action at `timestamp`, first
    // stamping the window's user time with it, so that focus-stealing prevention lets it through.
    // Without a window manager the focus is set directly.
    void activate(quint32 window, quint32 timestamp);
    // The server's time now (a property change on a window of our own, round trip); 0 on failure.
    quint32 serverTime();
    // The child of the root window that holds `window` (its frame under a reparenting window manager);
    // `window` itself when it is one.
    quint32 rootChildOf(quint32 window) const;

private:
    explicit X11Desktop(xcb_connection_t *connection);
    quint32 atom(const char *name) const;
    bool supportsActiveWindow() const;

    xcb_connection_t *connection_;
    quint32 root_ = 0;
    int screenNumber_ = 0;
    // A connection of our own for reading the server time: the toolkit reads every event of its own.
    xcb_connection_t *timeConnection_ = nullptr;
    quint32 timeWindow_ = 0;
};

} // namespace orvex
