#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// Whether the launcher panel snaps to the screen's grid when it is dragged.
struct WindowSnapSettingsStore {
    explicit WindowSnapSettingsStore(UserDefaults &defaults);
    static const WindowSnapSettingsStore &standard();
    // The stored Boolean, else the caller's default (every caller passes true).
    bool load(bool defaultEnabled) const;

    UserDefaults *defaults;
    QString snapToGridKey = QStringLiteral("launcherSnapToGrid");
};

} // namespace orvex
