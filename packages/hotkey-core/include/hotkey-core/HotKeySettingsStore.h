#pragma once

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

    UserDefaults *defaults;
    QString enabledKey;
    QString keyCodeKey;
    QString modifiersKey;
    // Without it the character is neither read nor written.
    std::optional<QString> characterKey;
};

} // namespace orvex
