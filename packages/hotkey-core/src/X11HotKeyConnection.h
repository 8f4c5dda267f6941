#pragma once

#include "hotkey-core/KeyboardLayout.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;
struct xkb_context;
struct xkb_keymap;
class QSocketNotifier;

namespace orvex {

// A connection of our own to an X server for the global hot key: the key grab on the root windows, the
// keyboard layout from XKB, and the events of both, read through a socket notifier on the thread that
// opened it. Its own connection keeps grab errors and XKB event selection apart from the toolkit's.
class X11HotKeyConnection : public QObject {
    Q_OBJECT

public:
    // None when the display cannot be reached or lacks XKB; an empty name means no display.
    static std::unique_ptr<X11HotKeyConnection> open(const QByteArray &displayName);
    ~X11HotKeyConnection() override;

    const KeyboardLayout &layout() const { return *layout_; }

    // Grabs the key with these X11 modifiers in every Caps Lock / Num Lock combination on every root
    // window, replacing the previous grab. Each request is checked; on any error (BadAccess: another client
    // holds a combination) the others are undone and the answer is false.
    bool grab(quint32 x11KeyCode, quint16 modifiers);
    // The X error code that refused the last grab (10, BadAccess: another client holds the key); 0 when
    // it was granted or failed without an error from the server.
    quint8 lastGrabError() const { return lastGrabError_; }
    void ungrab();

    // The grabbed key went down (auto-repeat of a held key does not count).
    std::function<void()> onGrabbedKeyPressed;
    // The server time of the last press that reached onGrabbedKeyPressed; 0 before any.
    quint32 lastPressTime() const { return lastPressTime_; }
    // A new keymap or another group is in force; layout() already shows it.
    std::function<void()> onKeyboardChanged;

private:
    struct Grab {
        quint8 key;
        quint16 modifiers;
        quint16 ignoredModifiers;
    };

    X11HotKeyConnection(xcb_connection_t *connection, xkb_context *context, qint32 deviceId,
                        quint8 xkbFirstEvent);
    bool loadKeyboard();
    void useGroup(quint32 group);
    void selectKeyboardEvents();
    void setUpAutoRepeat();
    std::vector<quint16> lockVariants() const;
    void ungrabVariants(quint8 key, quint16 modifiers, const std::vector<quint16> &variants);
    void scheduleDrain();
    void drainEvents();
    bool isConnected() const;

    xcb_connection_t *connection_;
    xkb_context *context_;
    xkb_keymap *keymap_ = nullptr;
    qint32 deviceId_;
    quint8 xkbFirstEvent_;
    std::optional<KeyboardLayout> layout_;
    QSocketNotifier *notifier_ = nullptr;
    std::optional<Grab> grab_;
    std::vector<quint16> grabbedVariants_;
    bool keyDown_ = false;
    bool drainScheduled_ = false;
    quint32 lastPressTime_ = 0;
    quint8 lastGrabError_ = 0;
};

} // namespace orvex
