#pragma once

#include "hotkey-core/HotKeySettings.h"

#include <QKeyEvent>

#include <optional>

namespace orvex {

// Key events as shortcuts. A key event's key code comes from the X11 key code Qt reports (its native scan
// code) through the current layout's key positions (KeyboardLayout::current()); events without one (other
// platforms, synthesised events) fall back to Qt's key and the character it types.

// None for a key that has no stored key code.
std::optional<quint32> keyCodeOfKeyEvent(const QKeyEvent &event);

// The shortcut a key press makes: its key code, its modifiers without the Shift the character needs on the
// current layout, and the character. None when that is not a valid shortcut (no modifier left, or a
// modifier-only key).
std::optional<KeyShortcut> keyShortcut(const QKeyEvent &event);

// Whether a key press is the shortcut: the same character typed with the same modifiers (on the key that
// types it here, with the Shift and third level it needs), or, without a character, the same key and
// modifiers.
bool keyShortcutMatches(const KeyShortcut &shortcut, const QKeyEvent &event);

} // namespace orvex
