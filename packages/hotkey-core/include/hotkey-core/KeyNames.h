#pragma once

#include "hotkey-core/HotKeySettings.h"

#include <QString>

#include <optional>

namespace orvex {

// Texts that show a hot key or shortcut: a readable form ("Control + Space") and a symbol form
// ("⌃Space"). Modifiers always come in the order Control, Alt, Shift, Super, whatever order they were
// pressed in. Fixed English.

// "Control", "Alt", "Shift", "Super" for the bits set, joined by " + "; empty for no modifier.
QString hotKeyModifierReadableString(quint32 modifiers);
// "⌃", "⌥", "⇧", "❖" for the bits set, without separator.
QString hotKeyModifierSymbolString(quint32 modifiers);
// The key's name ("Return", "Space", "F5", "A"; "Key 105" for a key without one); the symbol form uses
// arrows and signs for the special keys.
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
