#pragma once

#include "hotkey-core/HotKeySettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace orvex {

class X11HotKeyConnection;

// Why a hot key could not be registered.
enum class HotKeyRegistrationFailure {
    noDisplay,            // no X server was reached
    notAShortcut,         // no modifier, or a modifier alone
    keyNotOnKeyboard,     // the keyboard has no key for it
    heldByAnotherProgram, // another X client grabbed the combination (an input method, a desktop shortcut)
    refusedByServer,      // any other refusal
};

// The reason in words, to follow "could not be registered: ".
QString describe(HotKeyRegistrationFailure failure);

// Registers one system-wide hot key and calls onHotKeyPressed when it is pressed. On X11 the key is
// grabbed on the root window through a connection of the manager's own, read on the GUI thread; the
// stored modifiers map Control → Control, Shift → Shift, Alt → Mod1, Super → Mod4, and a character that
// needs the layout's third level (AltGr) adds the modifier that level's key sets. When the keyboard
// layout or group changes, a hot key stored with a character is registered again on the key that types
// it now. GUI thread only.
//
// Used by the application: create one at launch, set onHotKeyPressed, call registerHotKey() with the
// stored settings at launch and after every change, and report its answer. The settings window suspends
// the grab while its shortcut recorder records (setSuspended()).
class GlobalHotKeyManager : public QObject {
    Q_OBJECT

public:
    // Uses the X display named by $DISPLAY; none (a Wayland session without XWayland, a headless run)
    // means every enabled hot key fails to register.
    explicit GlobalHotKeyManager(const QString &signature, QObject *parent = nullptr);
    // Uses the named X display (":1"); an empty name means no display.
    GlobalHotKeyManager(const QString &signature, const QByteArray &displayName, QObject *parent = nullptr);
    ~GlobalHotKeyManager() override;

    // Replaces any earlier hot key with `settings` and answers whether the hot key is now as wished:
    // true for disabled settings (nothing registered), false when the key cannot be grabbed (another
    // program holds the combination, there is no display) or the settings are not a valid shortcut (no
    // modifier, a modifier-only key, a key the keyboard lacks). The settings are remembered either way.
    bool registerHotKey(const HotKeySettings &settings);
    // Forgets the settings and releases the key. Called at termination.
    void unregister();

    // While suspended the key is released, so that pressing it reaches the application (the shortcut
    // recorder) instead of toggling the panel; registerHotKey() still answers truthfully and takes effect
    // on resuming. Resuming grabs the key again; should another program have taken it meanwhile, no hot
    // key is registered (as after a failed re-registration on a layout change).
    void setSuspended(bool suspended);
    bool isSuspended() const { return suspended_; }

    // Whether a hot key is registered (grabbed, or to be grabbed again on resuming).
    bool isRegistered() const { return registered_; }
    // Why the last registerHotKey() (or a re-registration after a layout change or on resuming) failed;
    // none after one that succeeded.
    std::optional<HotKeyRegistrationFailure> lastFailure() const { return lastFailure_; }
    // Whether an X server was reached.
    bool hasDisplay() const { return connection_ != nullptr; }
    // The last settings given to registerHotKey(); none after unregister().
    const std::optional<HotKeySettings> &registeredSettings() const { return registeredSettings_; }
    quint32 signature() const { return signature_; }
    // The X server time of the key press that last called onHotKeyPressed, 0 before any. A window shown
    // for that press asks for focus with it, so window managers that prevent focus stealing grant it.
    quint32 lastPressTimestamp() const;

    std::function<void()> onHotKeyPressed;

private:
    struct Grab {
        quint32 x11KeyCode;
        quint16 modifiers;
    };

    void keyboardChanged();
    void hotKeyPressed();
    HotKeyRegistrationFailure grabFailure() const;

    quint32 signature_;
    std::unique_ptr<X11HotKeyConnection> connection_;
    std::optional<HotKeySettings> registeredSettings_;
    std::optional<Grab> grab_;
    std::optional<HotKeyRegistrationFailure> lastFailure_;
    bool registered_ = false;
    bool suspended_ = false;
};

// The first four bytes of the text's UTF-8 form folded big-endian: "LCHR" gives 0x4C434852, "" gives 0,
// "AB" gives 0x4142.
quint32 fourCharCode(const QString &text);

} // namespace orvex
