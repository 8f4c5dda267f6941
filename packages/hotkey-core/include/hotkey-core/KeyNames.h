#pragma once

#include "hotkey-core/HotKeySettings.h"

#include <QString>

#include <optional>

namespace orvex {

// Texts that show a hot key or shortcut: a readable form ("Control + Space") and the compact form Linux
// desktops print in menus and shortcut lists ("Ctrl+Space"; the "symbol" functions, named after the
// glyphs other systems print there). Modifiers always come in the order Control, Alt, Shift, Super,
// whatever order they were pressed in. Fixed English.

// "Control", "Alt", "Shift", "Super" for the bits set, joined by " + "; empty for no modifier.
QString hotKeyModifierReadableString(quint32 modifiers);
// "Ctrl", "Alt", "Shift", "Super" for the bits set, joined by "+"; empty for no modifier.
QString hotKeyModifierSymbolString(quint32 modifiers);
// The key's name as a PC keyboard labels it ("Return", "Space", "Backspace", "F5", "A"; "Key 105" for a
// key without one), the same in both forms.
QString hotKeyKeyReadableString(quint32 keyCode);
QString hotKeyKeySymbolString(quint32 keyCode);

// "Disabled" when switched off; else the modifiers and the key (the character, upper-cased, when there
// is one; "Space" for a space).
QString hotKeyDisplayString(const HotKeySettings &settings);
QString hotKeySymbolDisplayString(const HotKeySettings &settings);
// "Not Set" without a shortcut; else as above.
QString keyShortcutDisplayString(const std::optional<KeyShortcut> &shortcut);
QString keyShortcutSymbolDisplayString(const std::optional<KeyShortcut> &shortcut);
// The key text alone.
QString keyShortcutKeyReadableString(const KeyShortcut &shortcut);
QString keyShortcutKeySymbolString(const KeyShortcut &shortcut);

} // namespace orvex
