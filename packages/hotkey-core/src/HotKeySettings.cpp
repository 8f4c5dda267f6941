#include "hotkey-core/HotKeySettings.h"

#include <QChar>
#include <QJsonValue>
#include <QTextBoundaryFinder>

#include <cmath>
#include <limits>

namespace orvex {

bool isModifierOnlyKeyCode(quint32 keyCode) {
    return keyCode >= 54 && keyCode <= 63;
}

bool isDisplayableShortcutScalar(char32_t scalar) {
    const QChar::Category category = QChar::category(scalar);
    if (category == QChar::Other_Control || category == QChar::Other_Format)
        return false;
    return !((scalar >= 0xE000 && scalar <= 0xF8FF) || (scalar >= 0xF0000 && scalar <= 0xFFFFD) ||
             (scalar >= 0x100000 && scalar <= 0x10FFFD));
}

std::optional<QString> normalizedShortcutCharacter(const QString &text) {
    if (text.isEmpty())
        return std::nullopt;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = graphemes.toNextBoundary();
    const QString first = text.left(end > 0 ? end : text.size());
    for (const char32_t scalar : first.toUcs4())
        if (!isDisplayableShortcutScalar(scalar))
            return std::nullopt;
    return first.toLower();
}

HotKeySettings::HotKeySettings(bool isEnabled, quint32 keyCode, quint32 modifiers,
                               const std::optional<QString> &character)
    : isEnabled(isEnabled), keyCode(keyCode), modifiers(modifiers),
      character(character ? normalizedShortcutCharacter(*character) : std::nullopt) {}

HotKeySettings::HotKeySettings(bool isEnabled, const KeyShortcut &shortcut)
    : HotKeySettings(isEnabled, shortcut.keyCode, shortcut.modifiers, shortcut.character) {}

HotKeySettings HotKeySettings::defaultSettings() {
    return HotKeySettings(true, 49, controlKey);
}

KeyShortcut::KeyShortcut(quint32 keyCode, quint32 modifiers, const std::optional<QString> &character)
    : keyCode(keyCode), modifiers(modifiers),
      character(character ? normalizedShortcutCharacter(*character) : std::nullopt) {}

KeyShortcut::KeyShortcut(const HotKeySettings &settings)
    : KeyShortcut(settings.keyCode, settings.modifiers, settings.character) {}

namespace {

std::optional<quint32> jsonUInt32(const QJsonObject &object, const QString &key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < 0 ||
        number > double(std::numeric_limits<quint32>::max()))
        return std::nullopt;
    return static_cast<quint32>(number);
}

// Absent is fine, another type is not.
bool jsonOptionalString(const QJsonObject &object, const QString &key, std::optional<QString> &out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

} // namespace

QJsonObject HotKeySettings::toJson() const {
    QJsonObject object{{QStringLiteral("isEnabled"), isEnabled},
                       {QStringLiteral("keyCode"), qint64(keyCode)},
                       {QStringLiteral("modifiers"), qint64(modifiers)}};
    if (character)
        object.insert(QStringLiteral("character"), *character);
    return object;
}

std::optional<HotKeySettings> HotKeySettings::fromJson(const QJsonObject &object) {
    const QJsonValue enabled = object.value(QStringLiteral("isEnabled"));
    const auto keyCode = jsonUInt32(object, QStringLiteral("keyCode"));
    const auto modifiers = jsonUInt32(object, QStringLiteral("modifiers"));
    if (!enabled.isBool() || !keyCode || !modifiers)
        return std::nullopt;
    HotKeySettings settings(enabled.toBool(), *keyCode, *modifiers);
    if (!jsonOptionalString(object, QStringLiteral("character"), settings.character))
        return std::nullopt;
    return settings;
}

QJsonObject KeyShortcut::toJson() const {
    QJsonObject object{{QStringLiteral("keyCode"), qint64(keyCode)},
                       {QStringLiteral("modifiers"), qint64(modifiers)}};
    if (character)
        object.insert(QStringLiteral("character"), *character);
    return object;
}

std::optional<KeyShortcut> KeyShortcut::fromJson(const QJsonObject &object) {
    const auto keyCode = jsonUInt32(object, QStringLiteral("keyCode"));
    const auto modifiers = jsonUInt32(object, QStringLiteral("modifiers"));
    if (!keyCode || !modifiers)
        return std::nullopt;
    KeyShortcut shortcut(*keyCode, *modifiers);
    if (!jsonOptionalString(object, QStringLiteral("character"), shortcut.character))
        return std::nullopt;
    return shortcut;
}

size_t qHash(const HotKeySettings &settings, size_t seed) {
    return qHashMulti(seed, settings.isEnabled, settings.keyCode, settings.modifiers,
                      settings.character.value_or(QString()), settings.character.has_value());
}

size_t qHash(const KeyShortcut &shortcut, size_t seed) {
    return qHashMulti(seed, shortcut.keyCode, shortcut.modifiers, shortcut.character.value_or(QString()),
                      shortcut.character.has_value());
}

bool isValidKeyShortcut(quint32 keyCode, quint32 modifiers) {
    // Bits other than the four modifiers would otherwise make a bare key look valid.
    return (modifiers & hotKeyModifierBits) != 0 && !isModifierOnlyKeyCode(keyCode);
}

quint32 carbonModifiers(Qt::KeyboardModifiers flags) {
    quint32 mask = 0;
    if (flags & Qt::MetaModifier)
        mask |= cmdKey;
    if (flags & Qt::ShiftModifier)
        mask |= shiftKey;
    if (flags & Qt::AltModifier)
        mask |= optionKey;
    if (flags & Qt::ControlModifier)
        mask |= controlKey;
    return mask;
}

Qt::KeyboardModifiers qtModifierFlags(quint32 carbonMask) {
    Qt::KeyboardModifiers flags;
    if (carbonMask & cmdKey)
        flags |= Qt::MetaModifier;
    if (carbonMask & shiftKey)
        flags |= Qt::ShiftModifier;
    if (carbonMask & optionKey)
        flags |= Qt::AltModifier;
    if (carbonMask & controlKey)
        flags |= Qt::ControlModifier;
    return flags;
}

bool keyShortcutsConflict(const KeyShortcut &a, const KeyShortcut &b) {
    if ((a.modifiers & hotKeyModifierBits) != (b.modifiers & hotKeyModifierBits))
        return false;
    if (!a.character || !b.character)
        return a.keyCode == b.keyCode;
    return *a.character == *b.character;
}

} // namespace orvex
