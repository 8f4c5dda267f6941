#include "shell/X11Desktop.h"

#include <QDeadlineTimer>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace orvex {

namespace {

template <typename Reply> struct FreeReply {
    void operator()(Reply *reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

quint32 internAtom(xcb_connection_t *connection, const char *name) {
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : quint32(XCB_ATOM_NONE);
}

std::vector<quint32> cardinalList(xcb_connection_t *connection, quint32 window, quint32 property,
                                  quint32 type) {
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::vector<quint32>(values, values + count);
}

} // namespace

std::unique_ptr<X11Desktop> X11Desktop::open() {
    auto *application = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!application || !application->connection())
        return nullptr;
    return std::unique_ptr<X11Desktop>(new X11Desktop(application->connection()));
}

X11Desktop::X11Desktop(xcb_connection_t *connection) : connection_(connection) {
    const xcb_setup_t *setup = xcb_get_setup(connection_);
    root_ = xcb_setup_roots_iterator(setup).data->root;
}

X11Desktop::~X11Desktop() {
    if (timeConnection_)
        xcb_disconnect(timeConnection_);
}

quint32 X11Desktop::atom(const char *name) const {
    return internAtom(connection_, name);
}

bool X11Desktop::isCompositingManagerRunning() const {
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber_);
    const quint32 selection = atom(name.constData());
    if (selection == XCB_ATOM_NONE)
        return false;
    ReplyPtr<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection), nullptr));
    return reply && reply->owner != XCB_NONE;
}

std::optional<quint32> X11Desktop::currentDesktop() const {
    const std::vector<quint32> values =
        cardinalList(connection_, root_, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL);
    if (values.empty())
        return std::nullopt;
    return values.front();
}

void X11Desktop::prepareToShow(quint32 window) {
    if (const std::optional<quint32> desktop = currentDesktop()) {
        const quint32 value = *desktop;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_DESKTOP"),
                            XCB_ATOM_CARDINAL, 32, 1, &value);
    }
    // The toolkit adds its own states to these when it shows the window.
    const quint32 stateAtom = atom("_NET_WM_STATE");
    std::vector<quint32> states = cardinalList(connection_, window, stateAtom, XCB_ATOM_ATOM);
    for (const char *name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const quint32 state = atom(name);
        if (std::find(states.begin(), states.end(), state) == states.end())
            states.push_back(state);
    }
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, stateAtom, XCB_ATOM_ATOM, 32,
                        static_cast<quint32>(states.size()), states.data());
    xcb_flush(connection_);
}

bool X11Desktop::supportsActiveWindow() const {
    const std::vector<quint32> supported =
        cardinalList(connection_, root_, atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    const quint32 active = atom("_NET_ACTIVE_WINDOW");
    return std::find(supported.begin(), supported.end(), active) != supported.end();
}

void X11Desktop::activate(quint32 window, quint32 timestamp) {
    if (timestamp == 0)
        timestamp = serverTime();
    if (!supportsActiveWindow()) {
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window,
                            timestamp ? timestamp : XCB_CURRENT_TIME);
        xcb_flush(connection_);
        return;
    }
    // The user time lives on a window of its own when the toolkit made one for it.
    const std::vector<quint32> userTimeWindow =
        cardinalList(connection_, window, atom("_NET_WM_USER_TIME_WINDOW"), XCB_ATOM_WINDOW);
    const quint32 stamped = userTimeWindow.empty() ? window : userTimeWindow.front();
    if (timestamp)
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, stamped, atom("_NET_WM_USER_TIME"),
                            XCB_ATOM_CARDINAL, 32, 1, &timestamp);

    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 1; // a request from an application, for a user action
    message.data.data32[1] = timestamp;
    message.data.data32[2] = XCB_NONE;
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection_);
}

quint32 X11Desktop::serverTime() {
    if (!timeConnection_) {
        timeConnection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(timeConnection_)) {
            xcb_disconnect(timeConnection_);
            timeConnection_ = nullptr;
            return 0;
        }
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(timeConnection_)).data;
        timeWindow_ = xcb_generate_id(timeConnection_);
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(timeConnection_, XCB_COPY_FROM_PARENT, timeWindow_, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    }
    const quint32 property = internAtom(timeConnection_, "_ORVEX_TIMESTAMP");
    const quint8 value = 0;
    xcb_change_property(timeConnection_, XCB_PROP_MODE_APPEND, timeWindow_, property, XCB_ATOM_INTEGER, 8, 0,
                        &value);
    xcb_flush(timeConnection_);
    const QDeadlineTimer deadline(500);
    while (!deadline.hasExpired() && !xcb_connection_has_error(timeConnection_)) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(timeConnection_)) {
            quint32 time = 0;
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
                if (notify->window == timeWindow_ && notify->atom == property)
                    time = notify->time;
            }
            std::free(event);
            if (time)
                return time;
        }
        pollfd descriptor{xcb_get_file_descriptor(timeConnection_), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return 0;
}

quint32 X11Desktop::rootChildOf(quint32 window) const {
    quint32 current = window;
    for (int depth = 0; depth < 64 && current != XCB_NONE; ++depth) {
        ReplyPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, current), nullptr));
        if (!tree)
            return XCB_NONE;
        if (tree->parent == tree->root || tree->parent == XCB_NONE)
            return current;
        current = tree->parent;
    }
    return XCB_NONE;
}

} // namespace orvex
