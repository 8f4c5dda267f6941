#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// The pause after a keystroke before the panel searches, in milliseconds.
struct SearchDebounceSettingsStore {
    explicit SearchDebounceSettingsStore(UserDefaults &defaults);
    static const SearchDebounceSettingsStore &standard();
    // The stored whole number clamped to the limits, else the default.
    qint64 load() const;

    UserDefaults *defaults;
    QString debounceMillisecondsKey = QStringLiteral("launcherSearchDebounceMilliseconds");
    qint64 minimumMilliseconds = 10;
    qint64 maximumMilliseconds = 500;
    qint64 defaultMilliseconds = 50;
};

} // namespace orvex
