#include "XClient.h"

#include "XcbXkb.h"

#include <QDeadlineTimer>

#include <poll.h>

#include <cstdlib>

namespace orvex::test {

XClient::XClient(const QByteArray &displayName) : connection_(xcb_connect(displayName.constData(), nullptr)) {
    if (xcb_connection_has_error(connection_))
        return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Enables the extension on this connection for lockGroup().
    std::free(xcb_xkb_use_extension_reply(connection_, xcb_xkb_use_extension(connection_, 1, 0), nullptr));
}

XClient::~XClient() {
    xcb_disconnect(connection_);
}

bool XClient::grab(quint8 key, quint16 modifiers) {
    const auto cookie =
        xcb_grab_key_checked(connection_, 0, root_, modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t *error = xcb_request_check(connection_, cookie);
    std::free(error);
    return error == nullptr && !xcb_connection_has_error(connection_);
}

void XClient::ungrab(quint8 key, quint16 modifiers) {
    std::free(xcb_request_check(connection_, xcb_ungrab_key_checked(connection_, key, root_, modifiers)));
}

bool XClient::lockGroup(quint8 group) {
    const auto cookie =
        xcb_xkb_latch_lock_state_checked(connection_, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0);
    xcb_generic_error_t *error = xcb_request_check(connection_, cookie);
    std::free(error);
    return error == nullptr;
}

bool XClient::waitForKeyPress(quint8 key, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!xcb_connection_has_error(connection_)) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
            const bool pressed = (event->response_type & 0x7f) == XCB_KEY_PRESS &&
                                 reinterpret_cast<xcb_key_press_event_t *>(event)->detail == key;
            std::free(event);
            if (pressed)
                return true;
        }
        if (deadline.hasExpired())
            return false;
        pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&descriptor, 1, int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

} // namespace orvex::test
