#include "hotkey-core/HotKeySettingsStore.h"

#include <cmath>
#include <limits>

namespace orvex {

HotKeySettingsStore::HotKeySettingsStore(UserDefaults &defaults, QString enabledKey, QString keyCodeKey,
                                         QString modifiersKey, std::optional<QString> characterKey)
    : defaults(&defaults), enabledKey(std::move(enabledKey)), keyCodeKey(std::move(keyCodeKey)),
      modifiersKey(std::move(modifiersKey)), characterKey(std::move(characterKey)) {}

namespace {

// A stored code or mask: an integer, or a real that is a whole number, within the 32-bit unsigned range.
// Anything else would wrap on conversion, so it counts as absent.
std::optional<quint32> storedUInt32(const UserDefaults &defaults, const QString &key) {
    const auto value = defaults.value(key);
    if (!value)
        return std::nullopt;
    constexpr qint64 maximum = std::numeric_limits<quint32>::max();
    if (const auto integer = value->toInteger())
        return *integer >= 0 && *integer <= maximum ? std::optional<quint32>(quint32(*integer))
                                                    : std::nullopt;
    if (const auto real = value->toReal())
        if (std::isfinite(*real) && std::trunc(*real) == *real && *real >= 0 && *real <= double(maximum))
            return quint32(*real);
    return std::nullopt;
}

} // namespace

HotKeySettings HotKeySettingsStore::load(const HotKeySettings &defaultSettings) const {
    const bool isEnabled = defaults->boolValue(enabledKey).value_or(defaultSettings.isEnabled);
    const quint32 keyCode = storedUInt32(*defaults, keyCodeKey).value_or(defaultSettings.keyCode);
    const quint32 modifiers = storedUInt32(*defaults, modifiersKey).value_or(defaultSettings.modifiers);
    std::optional<QString> character = defaultSettings.character;
    if (characterKey)
        if (const auto stored = defaults->stringValue(*characterKey))
            character = *stored;
    return HotKeySettings(isEnabled, keyCode, modifiers, character);
}

void HotKeySettingsStore::save(const HotKeySettings &settings) const {
    defaults->set(enabledKey, settings.isEnabled);
    defaults->set(keyCodeKey, qint64(settings.keyCode));
    defaults->set(modifiersKey, qint64(settings.modifiers));
    if (!characterKey)
        return;
    if (settings.character)
        defaults->set(*characterKey, *settings.character);
    else
        defaults->remove(*characterKey);
}

} // namespace orvex
