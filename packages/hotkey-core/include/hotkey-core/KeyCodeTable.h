#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace orvex {

// The stored virtual key codes name keys by their position on the keyboard. On X11 a position is an XKB
// key name ("AC01" for the key right of Caps Lock, the design's code 0); this table turns one into the
// other, so a stored hot key means the same key on every layout and keyboard.

// The XKB key name (without angle brackets) of a key code; none for a code without a position here.
std::optional<QByteArray> xkbKeyNameForKeyCode(quint32 keyCode);
// The key code of an XKB key name; none for keys the table does not know.
std::optional<quint32> keyCodeForXkbKeyName(QByteArrayView name);
// The key that types `character` (lowercase, or with Shift) on a US keyboard; for key events that come
// without a hardware key code and a known layout.
std::optional<quint32> usKeyCodeForCharacter(char32_t character);

} // namespace orvex
