#pragma once

#include "hotkey-core/HotKeySettings.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

struct xkb_keymap;

namespace orvex {

// The key and the modifiers (0, shiftKey, optionKey or both) that type a character on a layout. Here
// optionKey stands for the layout's third level (AltGr), not for Alt.
struct KeyboardLayoutShortcut {
    quint32 keyCode;
    quint32 modifiers;

    bool operator==(const KeyboardLayoutShortcut &) const = default;
};

// One keyboard layout: an XKB keymap and the group selected in it. Finds which key types a character and
// translates between X11 key codes and stored key codes by key position. Immutable; copies share the
// keymap. Use on one thread at a time.
class KeyboardLayout {
public:
    // Compiled from the system's XKB data with the evdev rules and the pc105 model, as an X server with
    // those rules does: `layouts` such as "us" or "us,de", `group` the selected one (0-based). None when it
    // does not compile. Reads no environment.
    static std::optional<KeyboardLayout> fromNames(const QString &layouts, const QString &variants = {},
                                                   const QString &options = {}, quint32 group = 0);
    // Takes its own reference on `keymap`.
    static KeyboardLayout fromKeymap(xkb_keymap *keymap, quint32 group);

    // The first hit walking the key codes 0…127 upwards (modifier-only keys skipped) and for each the
    // levels none, Shift, third level, third level with Shift: the key whose text, lowercased, is the
    // normalised character. Dead keys type nothing and so never match.
    std::optional<KeyboardLayoutShortcut> shortcutForCharacter(const QString &character) const;

    std::optional<quint32> keyCodeForX11KeyCode(quint32 x11KeyCode) const;
    std::optional<quint32> x11KeyCodeForKeyCode(quint32 keyCode) const;
    // What the key types in this group with no modifier, or with Shift alone; empty for keys that type
    // nothing (dead keys, function keys).
    QString textIgnoringModifiers(quint32 x11KeyCode, bool shift) const;

    // X11 modifier masks of the third level and of Num Lock; 0 when the keymap has no such key.
    quint32 levelThreeModifierMask() const;
    quint32 numLockModifierMask() const;
    quint32 group() const;

    // The layout in use on the desktop, kept up to date by GlobalHotKeyManager while it is connected to
    // an X server; none before that (or without a display), when every layout lookup finds nothing.
    static std::optional<KeyboardLayout> current();
    static void setCurrent(std::optional<KeyboardLayout> layout);

private:
    struct Data;
    explicit KeyboardLayout(std::shared_ptr<const Data> data);
    std::shared_ptr<const Data> data_;
};

// The current layout's key and modifiers for a character; none without a current layout.
std::optional<KeyboardLayoutShortcut> keyboardLayoutShortcut(const QString &character);

// The key a hot key grabs: with a character the current layout can type, that key with the stored
// modifiers plus the layout's; otherwise the stored key code and modifiers.
KeyboardLayoutShortcut resolvedGlobalHotKeyShortcut(const HotKeySettings &settings);

} // namespace orvex
