#pragma once

#include "platform/UserDefaults.h"

#include <QString>

#include <optional>

namespace orvex {

// The user's wish to start at login, kept as a Boolean in the defaults database. A wish never made is
// told apart from a wish for off, so the caller can take the system's current state the first time.
struct LaunchAtLoginPreferenceStore {
    LaunchAtLoginPreferenceStore(UserDefaults &defaults, QString preferenceKey);

    // The stored Boolean; nothing when the key is absent or holds another type.
    std::optional<bool> storedValue() const;
    // The stored Boolean, else `defaultEnabled`.
    bool load(bool defaultEnabled) const;
    void save(bool enabled) const;

    UserDefaults *defaults;
    QString preferenceKey;
};

} // namespace orvex
