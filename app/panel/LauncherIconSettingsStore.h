#pragma once

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// Whether the panel's rows show the applications' own icons.
struct LauncherIconSettingsStore {
    explicit LauncherIconSettingsStore(UserDefaults &defaults);
    static const LauncherIconSettingsStore &standard();

    // The stored Boolean, else the caller's default.
    bool load(bool defaultUseNativeAppIcons) const;
    // Stores the Boolean, then posts "LauncherIconSettingsChanged".
    void save(bool useNativeAppIcons, NotificationCenter &center = NotificationCenter::defaultCenter()) const;

    UserDefaults *defaults;
    QString useNativeAppIconsKey = QStringLiteral("launcherUseNativeAppIcons");
};

} // namespace orvex
