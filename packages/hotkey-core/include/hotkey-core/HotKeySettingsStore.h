#pragma once

#include "hotkey-core/HotKeySettings.h"
#include "platform/UserDefaults.h"

#include <QString>

#include <optional>

namespace orvex {

// Where the global hot-key settings live in the defaults database: the database and the names of the
// keys for the enabled flag, the key code, the modifier mask and, when set, the shortcut's character.
// The application chooses the key names; this package only reads and writes through them.
struct HotKeySettingsStore {
    HotKeySettingsStore(UserDefaults &defaults, QString enabledKey, QString keyCodeKey, QString modifiersKey,
                        std::optional<QString> characterKey);

    // Each field separately: the stored value, or the default's when the key is absent or holds a value
    // of another type. A key code or mask that is not a whole number in 0…4294967295 counts as absent.
    // The character is normalised (an unusable stored text gives none).
    HotKeySettings load(const HotKeySettings &defaultSettings) const;
    // Writes the flag, the code, the mask and, with a character key, the character (removing the key when
    // there is none). Posts nothing: the caller announces the change.
    void save(const HotKeySettings &settings) const;

    UserDefaults *defaults;
    QString enabledKey;
    QString keyCodeKey;
    QString modifiersKey;
    // Without it the character is neither read nor written.
    std::optional<QString> characterKey;
};

} // namespace orvex
