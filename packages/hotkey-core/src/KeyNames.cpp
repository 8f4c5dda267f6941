#include "hotkey-core/KeyNames.h"

#include <QStringList>

namespace orvex {

namespace {

struct ModifierName {
    quint32 bit;
    const char16_t *readable;
    // As Linux desktops print them in menus and shortcut lists.
    const char16_t *compact;
};

constexpr ModifierName modifierNames[] = {
    {controlKey, u"Control", u"Ctrl"},
    {optionKey, u"Alt", u"Alt"},
    {shiftKey, u"Shift", u"Shift"},
    {cmdKey, u"Super", u"Super"},
};

// Named as a PC keyboard labels the keys: key code 51 deletes backwards (Backspace), 117 forwards
// (Delete).
struct KeyName {
    quint32 keyCode;
    const char16_t *name;
};

constexpr KeyName specialKeys[] = {
    {36, u"Return"},  {76, u"Return"}, {48, u"Tab"},    {49, u"Space"}, {51, u"Backspace"}, {53, u"Escape"},
    {117, u"Delete"}, {123, u"Left"},  {124, u"Right"}, {125, u"Down"}, {126, u"Up"},
};

// What the US keyboard prints on each key; the same text in both forms.
struct PrintedKey {
    quint32 keyCode;
    const char16_t *text;
};

constexpr PrintedKey printedKeys[] = {
    {0, u"A"},     {11, u"B"},    {8, u"C"},     {2, u"D"},   {14, u"E"},  {3, u"F"},    {5, u"G"},
    {4, u"H"},     {34, u"I"},    {38, u"J"},    {40, u"K"},  {37, u"L"},  {46, u"M"},   {45, u"N"},
    {31, u"O"},    {35, u"P"},    {12, u"Q"},    {15, u"R"},  {1, u"S"},   {17, u"T"},   {32, u"U"},
    {9, u"V"},     {13, u"W"},    {7, u"X"},     {16, u"Y"},  {6, u"Z"},   {29, u"0"},   {18, u"1"},
    {19, u"2"},    {20, u"3"},    {21, u"4"},    {23, u"5"},  {22, u"6"},  {26, u"7"},   {28, u"8"},
    {25, u"9"},    {24, u"="},    {27, u"-"},    {30, u"]"},  {33, u"["},  {39, u"'"},   {41, u";"},
    {42, u"\\"},   {43, u","},    {44, u"/"},    {47, u"."},  {50, u"`"},  {122, u"F1"}, {120, u"F2"},
    {99, u"F3"},   {118, u"F4"},  {96, u"F5"},   {97, u"F6"}, {98, u"F7"}, {100, u"F8"}, {101, u"F9"},
    {109, u"F10"}, {103, u"F11"}, {111, u"F12"},
};

QString keyCodeToString(quint32 keyCode) {
    for (const PrintedKey &key : printedKeys)
        if (key.keyCode == keyCode)
            return QString::fromUtf16(key.text);
    return QStringLiteral("Key ") + QString::number(keyCode);
}

QString keyText(quint32 keyCode, const std::optional<QString> &character) {
    if (character) {
        if (*character == QStringLiteral(" "))
            return QStringLiteral("Space");
        return character->toUpper();
    }
    return hotKeyKeyReadableString(keyCode);
}

QString readableDisplay(quint32 modifiers, const QString &key) {
    const QString names = hotKeyModifierReadableString(modifiers);
    return names.isEmpty() ? key : names + QStringLiteral(" + ") + key;
}

QString compactDisplay(quint32 modifiers, const QString &key) {
    const QString names = hotKeyModifierSymbolString(modifiers);
    return names.isEmpty() ? key : names + QLatin1Char('+') + key;
}

} // namespace

QString hotKeyModifierReadableString(quint32 modifiers) {
    QStringList names;
    for (const ModifierName &name : modifierNames)
        if (modifiers & name.bit)
            names.append(QString::fromUtf16(name.readable));
    return names.join(QStringLiteral(" + "));
}

QString hotKeyModifierSymbolString(quint32 modifiers) {
    QStringList names;
    for (const ModifierName &name : modifierNames)
        if (modifiers & name.bit)
            names.append(QString::fromUtf16(name.compact));
    return names.join(QLatin1Char('+'));
}

QString hotKeyKeyReadableString(quint32 keyCode) {
    for (const KeyName &key : specialKeys)
        if (key.keyCode == keyCode)
            return QString::fromUtf16(key.name);
    return keyCodeToString(keyCode);
}

QString hotKeyKeySymbolString(quint32 keyCode) {
    return hotKeyKeyReadableString(keyCode);
}

QString hotKeyDisplayString(const HotKeySettings &settings) {
    if (!settings.isEnabled)
        return QStringLiteral("Disabled");
    const auto character =
        settings.character ? normalizedShortcutCharacter(*settings.character) : std::nullopt;
    return readableDisplay(settings.modifiers, keyText(settings.keyCode, character));
}

QString hotKeySymbolDisplayString(const HotKeySettings &settings) {
    if (!settings.isEnabled)
        return QStringLiteral("Disabled");
    const auto character =
        settings.character ? normalizedShortcutCharacter(*settings.character) : std::nullopt;
    return compactDisplay(settings.modifiers, keyText(settings.keyCode, character));
}

QString keyShortcutDisplayString(const std::optional<KeyShortcut> &shortcut) {
    if (!shortcut)
        return QStringLiteral("Not Set");
    return readableDisplay(shortcut->modifiers, keyShortcutKeyReadableString(*shortcut));
}

QString keyShortcutSymbolDisplayString(const std::optional<KeyShortcut> &shortcut) {
    if (!shortcut)
        return QStringLiteral("Not Set");
    return compactDisplay(shortcut->modifiers, keyShortcutKeySymbolString(*shortcut));
}

QString keyShortcutKeyReadableString(const KeyShortcut &shortcut) {
    return keyText(shortcut.keyCode, shortcut.character);
}

QString keyShortcutKeySymbolString(const KeyShortcut &shortcut) {
    return keyText(shortcut.keyCode, shortcut.character);
}

} // namespace orvex
