#pragma once

// The benchmark's own X connection: injects key presses through XTEST and records, with the monotonic
// time at which each arrived, every top-level window's creation, mapping, unmapping and damage (the
// Damage extension reports each drawing into a window). Single-threaded: events are read only while a
// caller waits in pump() or waitUntil(), so waiting is how time is observed.

#include <QByteArray>
#include <QString>

#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <vector>

struct _XCBKeySymbols;

namespace orvex::bench {

using MonotonicClock = std::chrono::steady_clock;

enum class WindowEventKind { created, mapped, unmapped, damaged, destroyed };

struct WindowEvent {
    MonotonicClock::time_point at;
    WindowEventKind kind;
    xcb_window_t window;
};

class WindowEventRecorder {
public:
    explicit WindowEventRecorder(const QByteArray &displayName);
    ~WindowEventRecorder();
    WindowEventRecorder(const WindowEventRecorder &) = delete;
    WindowEventRecorder &operator=(const WindowEventRecorder &) = delete;

    // False when the connection failed or XTEST or Damage is missing; `error()` says which.
    bool isReady() const { return error_.isEmpty(); }
    const QString &error() const { return error_; }

    // Reads every event that has arrived, waiting up to `timeout` for the first one.
    void pump(std::chrono::milliseconds timeout);
    // Pumps until `done` answers true or the time-out passes; answers `done()`.
    bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);

    const std::vector<WindowEvent> &events() const { return events_; }
    // Forgets the events recorded so far (the windows stay known).
    void clearEvents() { events_.clear(); }
    // The first event of this kind for this window at or after `from`.
    std::optional<MonotonicClock::time_point> first(WindowEventKind kind, xcb_window_t window,
                                                    MonotonicClock::time_point from) const;

    // Top-level windows seen since the recorder started (those inside window-manager frames included),
    // in the order they were created.
    const std::vector<xcb_window_t> &windows() const { return windows_; }
    // The window's _NET_WM_PID, when it has one.
    std::optional<quint32> processOf(xcb_window_t window);
    // The class part of WM_CLASS.
    QByteArray classOf(xcb_window_t window);
    bool isViewable(xcb_window_t window);
    // Width and height.
    std::optional<std::pair<int, int>> sizeOf(xcb_window_t window);

    // ---- Keys (XTEST) ----
    // The key that types this key symbol; 0 when no key does.
    xcb_keycode_t keycode(xcb_keysym_t symbol);
    struct KeyStroke {
        xcb_keycode_t key;
        bool press;
    };
    // Sends the presses and releases in one go and answers the time just before they left.
    MonotonicClock::time_point send(const std::vector<KeyStroke> &strokes);
    // Presses and releases each key in turn, holding the modifiers: one send().
    MonotonicClock::time_point tap(xcb_keysym_t symbol, const std::vector<xcb_keysym_t> &modifiers = {});

private:
    void record(xcb_generic_event_t *event, MonotonicClock::time_point at);
    void track(xcb_window_t window, MonotonicClock::time_point at);

    xcb_connection_t *connection_ = nullptr;
    xcb_window_t root_ = 0;
    _XCBKeySymbols *symbols_ = nullptr;
    quint8 damageEventBase_ = 0;
    QString error_;
    std::vector<WindowEvent> events_;
    std::vector<xcb_window_t> windows_;
    std::set<xcb_window_t> known_;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
};

} // namespace orvex::bench
