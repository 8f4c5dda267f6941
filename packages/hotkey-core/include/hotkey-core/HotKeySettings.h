#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>
#include <Qt>
#include <QtGlobal>

#include <optional>

namespace orvex {

// Modifier masks of stored hot keys and shortcuts use these bits on every desktop; other bits are
// ignored. On X11 Command is Super, Option is Alt.
inline constexpr quint32 cmdKey = 0x100;
inline constexpr quint32 shiftKey = 0x200;
inline constexpr quint32 optionKey = 0x800;
inline constexpr quint32 controlKey = 0x1000;
inline constexpr quint32 hotKeyModifierBits = cmdKey | shiftKey | optionKey | controlKey;

// Key codes of keys that only modify others (right Command, Command, Shift, Caps Lock, Option, Control,
// right Shift, right Option, right Control, Function): never a shortcut key.
bool isModifierOnlyKeyCode(quint32 keyCode);

// The one character a shortcut remembers: the first grapheme of `text`, lowercased, when none of its
// scalars is a control, format or private-use character (function and arrow keys type private-use
// characters); otherwise none.
std::optional<QString> normalizedShortcutCharacter(const QString &text);
bool isDisplayableShortcutScalar(char32_t scalar);

struct KeyShortcut;

// What the user chose for the global hot key.
struct HotKeySettings {
    bool isEnabled;
    quint32 keyCode;
    // Modifier mask in the bits above.
    quint32 modifiers;
    // The lowercased character the key typed on the layout where it was recorded; registration prefers
    // it to keyCode, so the hot key follows the character across layouts.
    std::optional<QString> character;

    // The character is normalised.
    HotKeySettings(bool isEnabled, quint32 keyCode, quint32 modifiers,
                   const std::optional<QString> &character = std::nullopt);
    HotKeySettings(bool isEnabled, const KeyShortcut &shortcut);

    // Control+Space, enabled, no character.
    static HotKeySettings defaultSettings();

    // JSON with the keys "isEnabled", "keyCode", "modifiers" and, when present, "character". Decoding takes
    // the values as stored and answers none for a missing or mistyped field or a number outside 0…2³²−1.
    QJsonObject toJson() const;
    static std::optional<HotKeySettings> fromJson(const QJsonObject &object);

    bool operator==(const HotKeySettings &) const = default;
};
size_t qHash(const HotKeySettings &settings, size_t seed = 0);

// A key plus modifiers, as recorded from a key event.
struct KeyShortcut {
    quint32 keyCode;
    quint32 modifiers;
    std::optional<QString> character;

    // The character is normalised.
    KeyShortcut(quint32 keyCode, quint32 modifiers, const std::optional<QString> &character = std::nullopt);
    // Drops the enabled flag.
    explicit KeyShortcut(const HotKeySettings &settings);

    // JSON with the keys "keyCode", "modifiers" and, when present, "character"; decoded as stored.
    QJsonObject toJson() const;
    static std::optional<KeyShortcut> fromJson(const QJsonObject &object);

    bool operator==(const KeyShortcut &) const = default;
};
size_t qHash(const KeyShortcut &shortcut, size_t seed = 0);

// True when the mask holds at least one modifier and the key is not modifier-only.
bool isValidKeyShortcut(quint32 keyCode, quint32 modifiers);

// Qt's modifier flags ↔ mask bits: Control ↔ controlKey, Shift ↔ shiftKey, Alt ↔ optionKey,
// Meta (Super) ↔ cmdKey. Keypad and group-switch (AltGr) flags are dropped.
quint32 carbonModifiers(Qt::KeyboardModifiers flags);
Qt::KeyboardModifiers qtModifierFlags(quint32 carbonMask);

// Two shortcuts conflict when their modifiers are equal and they name the same key: by character when both
// have one, else by key code.
bool keyShortcutsConflict(const KeyShortcut &a, const KeyShortcut &b);

} // namespace orvex
