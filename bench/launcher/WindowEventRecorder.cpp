#include "WindowEventRecorder.h"

#include <QList>

#include <xcb/damage.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace orvex::bench {

namespace {

template <typename Reply> struct FreeReply {
    void operator()(Reply *reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, FreeReply<Reply>>;

} // namespace

WindowEventRecorder::WindowEventRecorder(const QByteArray &displayName)
    : connection_(xcb_connect(displayName.constData(), nullptr)) {
    if (xcb_connection_has_error(connection_)) {
        error_ = QStringLiteral("cannot connect to %1").arg(QString::fromLatin1(displayName));
        return;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;

    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(connection_, &xcb_test_id);
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!xtest || !xtest->present) {
        error_ = QStringLiteral("the X server has no XTEST");
        return;
    }
    if (!damage || !damage->present) {
        error_ = QStringLiteral("the X server has no Damage");
        return;
    }
    damageEventBase_ = damage->first_event;
    // The server answers Damage requests only after the version is negotiated.
    std::free(
        xcb_damage_query_version_reply(connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));

    const char pidName[] = "_NET_WM_PID";
    ReplyPointer<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, sizeof pidName - 1, pidName), nullptr));
    if (atom)
        pidAtom_ = atom->atom;

    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    symbols_ = xcb_key_symbols_alloc(connection_);
    xcb_flush(connection_);
}

WindowEventRecorder::~WindowEventRecorder() {
    if (symbols_)
        xcb_key_symbols_free(symbols_);
    xcb_disconnect(connection_);
}

void WindowEventRecorder::track(xcb_window_t window, MonotonicClock::time_point at) {
    if (!known_.insert(window).second)
        return;
    windows_.push_back(window);
    events_.push_back({at, WindowEventKind::created, window});
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
    // Every drawing into the window, rectangle by rectangle.
    xcb_damage_create(connection_, xcb_generate_id(connection_), window,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    // A window mapped before the selection above took effect is recorded as mapped now.
    ReplyPointer<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
        events_.push_back({MonotonicClock::now(), WindowEventKind::mapped, window});
}

void WindowEventRecorder::record(xcb_generic_event_t *event, MonotonicClock::time_point at) {
    const quint8 type = event->response_type & 0x7f;
    if (type == damageEventBase_ + XCB_DAMAGE_NOTIFY) {
        const auto *damage = reinterpret_cast<xcb_damage_notify_event_t *>(event);
        events_.push_back({at, WindowEventKind::damaged, damage->drawable});
        return;
    }
    switch (type) {
    case XCB_CREATE_NOTIFY: {
        const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
        if (created->parent == root_)
            track(created->window, at);
        break;
    }
    case XCB_MAP_NOTIFY: {
        // A root child's mapping is reported to the root too; the window's own report is the one kept.
        const auto *mapped = reinterpret_cast<xcb_map_notify_event_t *>(event);
        if (mapped->event == mapped->window && known_.count(mapped->window))
            events_.push_back({at, WindowEventKind::mapped, mapped->window});
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto *unmapped = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
        if (unmapped->event == unmapped->window && known_.count(unmapped->window))
            events_.push_back({at, WindowEventKind::unmapped, unmapped->window});
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto *destroyed = reinterpret_cast<xcb_destroy_notify_event_t *>(event);
        // The server hands a gone window's identifier to later clients: it may be created again.
        if (destroyed->event == destroyed->window && known_.erase(destroyed->window))
            events_.push_back({at, WindowEventKind::destroyed, destroyed->window});
        break;
    }
    default:
        break; // errors of requests on windows already gone, reparenting, configuration
    }
}

void WindowEventRecorder::pump(std::chrono::milliseconds timeout) {
    if (!error_.isEmpty() || xcb_connection_has_error(connection_))
        return;
    xcb_flush(connection_);
    xcb_generic_event_t *event = xcb_poll_for_event(connection_);
    if (!event) {
        pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&descriptor, 1, int(std::max<qint64>(0, timeout.count())));
        event = xcb_poll_for_event(connection_);
    }
    while (event) {
        record(event, MonotonicClock::now());
        std::free(event);
        event = xcb_poll_for_event(connection_);
    }
}

bool WindowEventRecorder::waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
    const auto deadline = MonotonicClock::now() + timeout;
    while (!done()) {
        const auto now = MonotonicClock::now();
        if (now >= deadline || xcb_connection_has_error(connection_))
            return done();
        pump(std::min(std::chrono::milliseconds(50),
                      std::chrono::ceil<std::chrono::milliseconds>(deadline - now)));
    }
    return true;
}

std::optional<MonotonicClock::time_point>
WindowEventRecorder::first(WindowEventKind kind, xcb_window_t window, MonotonicClock::time_point from) const {
    for (const WindowEvent &event : events_) {
        if (event.kind == kind && event.window == window && event.at >= from)
            return event.at;
    }
    return std::nullopt;
}

std::optional<quint32> WindowEventRecorder::processOf(xcb_window_t window) {
    if (pidAtom_ == XCB_ATOM_NONE)
        return std::nullopt;
    ReplyPointer<xcb_get_property_reply_t> property(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!property || xcb_get_property_value_length(property.get()) != 4)
        return std::nullopt;
    quint32 pid = 0;
    std::memcpy(&pid, xcb_get_property_value(property.get()), sizeof pid);
    return pid;
}

QByteArray WindowEventRecorder::classOf(xcb_window_t window) {
    ReplyPointer<xcb_get_property_reply_t> property(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
        nullptr));
    if (!property)
        return {};
    const QByteArray value(static_cast<const char *>(xcb_get_property_value(property.get())),
                           xcb_get_property_value_length(property.get()));
    // "instance\0class\0"
    const QList<QByteArray> parts = value.split('\0');
    return parts.size() >= 2 ? parts.at(1) : QByteArray();
}

bool WindowEventRecorder::isViewable(xcb_window_t window) {
    ReplyPointer<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::optional<std::pair<int, int>> WindowEventRecorder::sizeOf(xcb_window_t window) {
    ReplyPointer<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    if (!geometry)
        return std::nullopt;
    return std::make_pair(int(geometry->width), int(geometry->height));
}

xcb_keycode_t WindowEventRecorder::keycode(xcb_keysym_t symbol) {
    if (!symbols_)
        return 0;
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols_, symbol);
    const xcb_keycode_t code = codes ? codes[0] : 0;
    std::free(codes);
    return code == XCB_NO_SYMBOL ? 0 : code;
}

MonotonicClock::time_point WindowEventRecorder::send(const std::vector<KeyStroke> &strokes) {
    for (const KeyStroke &stroke : strokes)
        xcb_test_fake_input(connection_, stroke.press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, stroke.key,
                            XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    const auto at = MonotonicClock::now();
    xcb_flush(connection_);
    return at;
}

MonotonicClock::time_point WindowEventRecorder::tap(xcb_keysym_t symbol,
                                                    const std::vector<xcb_keysym_t> &modifiers) {
    std::vector<KeyStroke> strokes;
    for (xcb_keysym_t modifier : modifiers)
        strokes.push_back({keycode(modifier), true});
    const xcb_keycode_t key = keycode(symbol);
    strokes.push_back({key, true});
    strokes.push_back({key, false});
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        strokes.push_back({keycode(*it), false});
    return send(strokes);
}

} // namespace orvex::bench
