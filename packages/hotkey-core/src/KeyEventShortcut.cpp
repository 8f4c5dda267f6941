#include "hotkey-core/KeyEventShortcut.h"

#include "hotkey-core/KeyCodeTable.h"
#include "hotkey-core/KeyboardLayout.h"

namespace orvex {

namespace {

struct QtKeyCode {
    int key;
    quint32 keyCode;
};

// Keys that type no character, by Qt's name for them.
constexpr QtKeyCode qtKeyCodes[] = {
    {Qt::Key_Escape, 53},   {Qt::Key_Return, 36},      {Qt::Key_Enter, 76},      {Qt::Key_Tab, 48},
    {Qt::Key_Backtab, 48},  {Qt::Key_Backspace, 51},   {Qt::Key_Delete, 117},    {Qt::Key_Left, 123},
    {Qt::Key_Right, 124},   {Qt::Key_Down, 125},       {Qt::Key_Up, 126},        {Qt::Key_Home, 115},
    {Qt::Key_End, 119},     {Qt::Key_PageUp, 116},     {Qt::Key_PageDown, 121},  {Qt::Key_Insert, 114},
    {Qt::Key_Help, 114},    {Qt::Key_Space, 49},       {Qt::Key_Shift, 56},      {Qt::Key_Control, 59},
    {Qt::Key_Alt, 58},      {Qt::Key_AltGr, 61},       {Qt::Key_Meta, 55},       {Qt::Key_Super_L, 55},
    {Qt::Key_Super_R, 54},  {Qt::Key_CapsLock, 57},    {Qt::Key_NumLock, 71},    {Qt::Key_Clear, 71},
    {Qt::Key_Print, 105},   {Qt::Key_ScrollLock, 107}, {Qt::Key_Pause, 113},     {Qt::Key_Menu, 110},
    {Qt::Key_VolumeUp, 72}, {Qt::Key_VolumeDown, 73},  {Qt::Key_VolumeMute, 74}, {Qt::Key_F1, 122},
    {Qt::Key_F2, 120},      {Qt::Key_F3, 99},          {Qt::Key_F4, 118},        {Qt::Key_F5, 96},
    {Qt::Key_F6, 97},       {Qt::Key_F7, 98},          {Qt::Key_F8, 100},        {Qt::Key_F9, 101},
    {Qt::Key_F10, 109},     {Qt::Key_F11, 103},        {Qt::Key_F12, 111},       {Qt::Key_F13, 105},
    {Qt::Key_F14, 107},     {Qt::Key_F15, 113},        {Qt::Key_F16, 106},       {Qt::Key_F17, 64},
    {Qt::Key_F18, 79},      {Qt::Key_F19, 80},         {Qt::Key_F20, 90},
};

// Keypad keys, told apart from the main keys by Qt's keypad flag.
constexpr QtKeyCode qtKeypadKeyCodes[] = {
    {Qt::Key_0, 82},        {Qt::Key_1, 83},     {Qt::Key_2, 84},      {Qt::Key_3, 85},
    {Qt::Key_4, 86},        {Qt::Key_5, 87},     {Qt::Key_6, 88},      {Qt::Key_7, 89},
    {Qt::Key_8, 91},        {Qt::Key_9, 92},     {Qt::Key_Period, 65}, {Qt::Key_Comma, 65},
    {Qt::Key_Asterisk, 67}, {Qt::Key_Plus, 69},  {Qt::Key_Slash, 75},  {Qt::Key_Minus, 78},
    {Qt::Key_Equal, 81},    {Qt::Key_Enter, 76}, {Qt::Key_Clear, 71},
};

std::optional<quint32> lookUp(const QtKeyCode *begin, const QtKeyCode *end, int key) {
    for (const QtKeyCode *entry = begin; entry != end; ++entry)
        if (entry->key == key)
            return entry->keyCode;
    return std::nullopt;
}

bool hasNativeKey(const QKeyEvent &event, const std::optional<KeyboardLayout> &layout) {
    return layout && event.nativeScanCode() != 0;
}

// What the key types with no modifier but Shift.
QString textIgnoringModifiers(const QKeyEvent &event, const std::optional<KeyboardLayout> &layout) {
    if (hasNativeKey(event, layout))
        return layout->textIgnoringModifiers(event.nativeScanCode(), event.modifiers() & Qt::ShiftModifier);
    const int key = event.key();
    // Qt names printable keys by the (upper-case) character they type.
    if (key >= 0x20 && key < Qt::Key_Escape && key != Qt::Key_unknown) {
        const char32_t scalar = char32_t(key);
        return QString::fromUcs4(&scalar, 1);
    }
    return {};
}

std::optional<QString> preferredCharacter(const QKeyEvent &event, quint32 mask,
                                          const std::optional<KeyboardLayout> &layout) {
    if (mask & optionKey) {
        // Alt with punctuation or a symbol keeps what it typed.
        if (const auto typed = normalizedShortcutCharacter(event.text())) {
            const QList<uint> scalars = typed->toUcs4();
            if (scalars.size() == 1 && scalars[0] <= 127 &&
                (QChar::isPunct(scalars[0]) || QChar::isSymbol(scalars[0])))
                return typed;
        }
    }
    if (const auto ignoring = normalizedShortcutCharacter(textIgnoringModifiers(event, layout)))
        return ignoring;
    return normalizedShortcutCharacter(event.text());
}

// Whether the third level (AltGr) is held: the layout's modifier in the X11 state, else Qt's flag.
bool levelThreeHeld(const QKeyEvent &event, const std::optional<KeyboardLayout> &layout) {
    if (layout && layout->levelThreeModifierMask() && event.nativeModifiers() != 0)
        return (event.nativeModifiers() & layout->levelThreeModifierMask()) != 0;
    return event.modifiers() & Qt::GroupSwitchModifier;
}

} // namespace

std::optional<quint32> keyCodeOfKeyEvent(const QKeyEvent &event) {
    const auto layout = KeyboardLayout::current();
    if (hasNativeKey(event, layout))
        return layout->keyCodeForX11KeyCode(event.nativeScanCode());
    const int key = event.key();
    if (event.modifiers() & Qt::KeypadModifier)
        if (const auto keyCode = lookUp(std::begin(qtKeypadKeyCodes), std::end(qtKeypadKeyCodes), key))
            return keyCode;
    if (const auto keyCode = lookUp(std::begin(qtKeyCodes), std::end(qtKeyCodes), key))
        return keyCode;
    const auto character = normalizedShortcutCharacter(textIgnoringModifiers(event, layout));
    if (!character)
        return std::nullopt;
    if (const auto onLayout = layout ? layout->shortcutForCharacter(*character) : std::nullopt)
        return onLayout->keyCode;
    const QList<uint> scalars = character->toUcs4();
    if (scalars.size() != 1)
        return std::nullopt;
    return usKeyCodeForCharacter(scalars[0]);
}

std::optional<KeyShortcut> keyShortcut(const QKeyEvent &event) {
    const auto keyCode = keyCodeOfKeyEvent(event);
    if (!keyCode)
        return std::nullopt;
    const auto layout = KeyboardLayout::current();
    quint32 mask = carbonModifiers(event.modifiers());
    const auto character = preferredCharacter(event, mask, layout);
    if (character) {
        // The Shift a character needs is part of the character, not of the shortcut. The layout's third
        // level is AltGr, never Alt, so it leaves the Alt bit alone.
        if (const auto onLayout = layout ? layout->shortcutForCharacter(*character) : std::nullopt)
            mask &= ~(onLayout->modifiers & shiftKey);
        if (!isValidKeyShortcut(*keyCode, mask))
            return std::nullopt;
        return KeyShortcut(*keyCode, mask, character);
    }
    if (!isValidKeyShortcut(*keyCode, mask))
        return std::nullopt;
    return KeyShortcut(*keyCode, mask);
}

bool keyShortcutMatches(const KeyShortcut &shortcut, const QKeyEvent &event) {
    const auto layout = KeyboardLayout::current();
    const quint32 eventMask = carbonModifiers(event.modifiers());
    const quint32 shortcutMask = shortcut.modifiers & hotKeyModifierBits;
    if (shortcut.character) {
        if (const auto onLayout = layout ? layout->shortcutForCharacter(*shortcut.character) : std::nullopt) {
            if (keyCodeOfKeyEvent(event) == onLayout->keyCode &&
                eventMask == (shortcutMask | (onLayout->modifiers & shiftKey)) &&
                levelThreeHeld(event, layout) == bool(onLayout->modifiers & optionKey))
                return true;
        }
        if (eventMask != shortcutMask)
            return false;
        return normalizedShortcutCharacter(textIgnoringModifiers(event, layout)) == shortcut.character ||
               normalizedShortcutCharacter(event.text()) == shortcut.character;
    }
    return keyCodeOfKeyEvent(event) == shortcut.keyCode && eventMask == shortcutMask;
}

} // namespace orvex
