#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// How long the panel keeps the last query and its results after it was hidden, in seconds.
struct SessionPersistenceSettingsStore {
    explicit SessionPersistenceSettingsStore(UserDefaults &defaults);
    static const SessionPersistenceSettingsStore &standard();
    // The stored whole number clamped to the limits, else the default.
    qint64 load() const;

    UserDefaults *defaults;
    QString persistenceSecondsKey = QStringLiteral("launcherSessionPersistenceSeconds");
    qint64 minimumSeconds = 0;
    qint64 maximumSeconds = 120;
    qint64 defaultSeconds = 10;
};

} // namespace orvex
