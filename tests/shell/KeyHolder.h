#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>

namespace orvex::test {

// Another X client that holds Control+Space, as an input method does, until it lets go.
class KeyHolder {
public:
    explicit KeyHolder(const QByteArray &display) : connection_(xcb_connect(display.constData(), nullptr)) {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        root_ = screen->root;
        xcb_generic_error_t *error = xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 0, root_, XCB_MOD_MASK_CONTROL, spaceKey,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        holds_ = error == nullptr;
        std::free(error);
    }
    ~KeyHolder() { xcb_disconnect(connection_); }
    KeyHolder(const KeyHolder &) = delete;
    KeyHolder &operator=(const KeyHolder &) = delete;

    bool holds() const { return holds_; }
    void letGo() {
        xcb_ungrab_key(connection_, spaceKey, root_, XCB_MOD_MASK_CONTROL);
        // A round trip: the server has dealt with the ungrab when the answer comes.
        std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

private:
    // The space bar of the X server's evdev keyboard.
    static constexpr xcb_keycode_t spaceKey = 65;
    xcb_connection_t *connection_;
    xcb_window_t root_ = 0;
    bool holds_ = false;
};

} // namespace orvex::test
