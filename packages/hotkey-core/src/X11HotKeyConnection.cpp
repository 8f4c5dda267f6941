#include "X11HotKeyConnection.h"
#include "XcbXkb.h"

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>

namespace orvex {

std::unique_ptr<X11HotKeyConnection> X11HotKeyConnection::open(const QByteArray &displayName) {
    // An empty name would make xcb fall back on $DISPLAY; here it means there is no display.
    if (displayName.isEmpty())
        return nullptr;
    xcb_connection_t *connection = xcb_connect(displayName.constData(), nullptr);
    if (!connection)
        return nullptr;
    quint8 firstEvent = 0;
    qint32 deviceId = -1;
    if (xcb_connection_has_error(connection) ||
        !xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstEvent,
                                     nullptr) ||
        (deviceId = xkb_x11_get_core_keyboard_device_id(connection)) < 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    // The keymap comes from the server, so no file or environment of ours is read.
    xkb_context *context = xkb_context_new(
        xkb_context_flags(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<X11HotKeyConnection> result(
        new X11HotKeyConnection(connection, context, deviceId, firstEvent));
    if (!result->loadKeyboard())
        return nullptr;
    result->selectKeyboardEvents();
    result->setUpAutoRepeat();
    return result;
}

X11HotKeyConnection::X11HotKeyConnection(xcb_connection_t *connection, xkb_context *context, qint32 deviceId,
                                         quint8 xkbFirstEvent)
    : connection_(connection), context_(context), deviceId_(deviceId), xkbFirstEvent_(xkbFirstEvent) {
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &X11HotKeyConnection::drainEvents);
}

X11HotKeyConnection::~X11HotKeyConnection() {
    ungrab();
    delete notifier_;
    xcb_disconnect(connection_);
    if (keymap_)
        xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

bool X11HotKeyConnection::isConnected() const {
    return xcb_connection_has_error(connection_) == 0;
}

bool X11HotKeyConnection::loadKeyboard() {
    xkb_keymap *keymap =
        xkb_x11_keymap_new_from_device(context_, connection_, deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    quint32 group = 0;
    if (xkb_state *state = xkb_x11_state_new_from_device(keymap, connection_, deviceId_)) {
        group = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
        xkb_state_unref(state);
    }
    if (keymap_)
        xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    useGroup(group);
    scheduleDrain();
    return true;
}

void X11HotKeyConnection::useGroup(quint32 group) {
    layout_ = KeyboardLayout::fromKeymap(keymap_, group);
    KeyboardLayout::setCurrent(layout_);
}

void X11HotKeyConnection::selectKeyboardEvents() {
    constexpr quint16 events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                               XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr quint16 mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                 XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                 XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                 XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard =
        XCB_XKB_NKN_DETAIL_KEYCODES | XCB_XKB_NKN_DETAIL_GEOMETRY | XCB_XKB_NKN_DETAIL_DEVICE_ID;
    details.newKeyboardDetails = details.affectNewKeyboard;
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_aux(connection_, xcb_xkb_device_spec_t(deviceId_), events, 0, 0, mapParts, mapParts,
                              &details);
    xcb_flush(connection_);
}

void X11HotKeyConnection::setUpAutoRepeat() {
    // Without it a held key repeats as release and press pairs, and the panel would flicker.
    const auto cookie = xcb_xkb_per_client_flags(connection_, xcb_xkb_device_spec_t(deviceId_),
                                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0);
    std::free(xcb_xkb_per_client_flags_reply(connection_, cookie, nullptr));
    scheduleDrain();
}

std::vector<quint16> X11HotKeyConnection::lockVariants() const {
    std::vector<quint16> variants{0, XCB_MOD_MASK_LOCK};
    const quint16 numLock = quint16(layout_->numLockModifierMask());
    if (numLock && numLock != XCB_MOD_MASK_LOCK) {
        variants.push_back(numLock);
        variants.push_back(numLock | XCB_MOD_MASK_LOCK);
    }
    return variants;
}

void X11HotKeyConnection::ungrabVariants(quint8 key, quint16 modifiers,
                                         const std::vector<quint16> &variants) {
    const xcb_setup_t *setup = xcb_get_setup(connection_);
    for (auto roots = xcb_setup_roots_iterator(setup); roots.rem; xcb_screen_next(&roots))
        for (const quint16 variant : variants)
            xcb_ungrab_key(connection_, key, roots.data->root, modifiers | variant);
    xcb_flush(connection_);
}

bool X11HotKeyConnection::grab(quint32 x11KeyCode, quint16 modifiers) {
    ungrab();
    lastGrabError_ = 0;
    if (!isConnected() || x11KeyCode < 8 || x11KeyCode > 255)
        return false;
    const quint8 key = quint8(x11KeyCode);
    std::vector<quint16> variants = lockVariants();
    // A lock modifier the hot key itself holds is no variant of it.
    std::erase_if(variants, [&](quint16 variant) { return (variant & modifiers) != 0; });
    std::vector<xcb_void_cookie_t> requests;
    const xcb_setup_t *setup = xcb_get_setup(connection_);
    for (auto roots = xcb_setup_roots_iterator(setup); roots.rem; xcb_screen_next(&roots))
        for (const quint16 variant : variants)
            requests.push_back(xcb_grab_key_checked(connection_, 0, roots.data->root, modifiers | variant,
                                                    key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool granted = true;
    for (const xcb_void_cookie_t request : requests) {
        if (xcb_generic_error_t *error = xcb_request_check(connection_, request)) {
            if (granted)
                lastGrabError_ = error->error_code;
            granted = false;
            std::free(error);
        }
    }
    // Replies may have brought events along that the socket notifier will not announce.
    scheduleDrain();
    if (!granted || !isConnected()) {
        ungrabVariants(key, modifiers, variants);
        return false;
    }
    quint16 ignored = 0;
    for (const quint16 variant : variants)
        ignored |= variant;
    grab_ = Grab{key, modifiers, ignored};
    grabbedVariants_ = std::move(variants);
    keyDown_ = false;
    return true;
}

void X11HotKeyConnection::ungrab() {
    if (!grab_)
        return;
    if (isConnected())
        ungrabVariants(grab_->key, grab_->modifiers, grabbedVariants_);
    grab_.reset();
    grabbedVariants_.clear();
    keyDown_ = false;
}

void X11HotKeyConnection::scheduleDrain() {
    if (drainScheduled_)
        return;
    drainScheduled_ = true;
    QMetaObject::invokeMethod(this, &X11HotKeyConnection::drainEvents, Qt::QueuedConnection);
}

void X11HotKeyConnection::drainEvents() {
    drainScheduled_ = false;
    int presses = 0;
    bool keymapChanged = false;
    std::optional<quint32> group;
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
        const quint8 type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
            const quint16 state = key->state & 0xff;
            if (grab_ && key->detail == grab_->key) {
                if (type == XCB_KEY_RELEASE)
                    keyDown_ = false;
                else if ((state & ~grab_->ignoredModifiers) == grab_->modifiers && !keyDown_) {
                    keyDown_ = true;
                    ++presses;
                    lastPressTime_ = key->time;
                }
            }
        } else if (type == xkbFirstEvent_) {
            const auto *any = reinterpret_cast<const xcb_xkb_state_notify_event_t *>(event);
            if (any->deviceID == deviceId_) {
                if (any->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || any->xkbType == XCB_XKB_MAP_NOTIFY)
                    keymapChanged = true;
                else if (any->xkbType == XCB_XKB_STATE_NOTIFY)
                    group = any->group;
            }
        }
        std::free(event);
    }
    if (!isConnected()) {
        notifier_->setEnabled(false);
        grab_.reset();
        return;
    }
    // The handlers may re-register, or delete the manager and with it this connection.
    const QPointer<X11HotKeyConnection> self(this);
    bool keyboardChanged = false;
    if (keymapChanged)
        keyboardChanged = loadKeyboard();
    else if (group && *group != layout_->group()) {
        useGroup(*group);
        keyboardChanged = true;
    }
    if (keyboardChanged && onKeyboardChanged) {
        const auto handler = onKeyboardChanged;
        handler();
    }
    for (int i = 0; i < presses && self; ++i)
        if (const auto handler = onGrabbedKeyPressed)
            handler();
}

} // namespace orvex
