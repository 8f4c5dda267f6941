#pragma once

#include "panel/LauncherThemeID.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// The panel's colour theme in the defaults database.
struct LauncherThemeStore {
    explicit LauncherThemeStore(UserDefaults &defaults);
    static const LauncherThemeStore &standard();

    // The stored theme; graphite when none is stored or the text names no theme.
    LauncherThemeID load() const;
    // Stores the theme's raw text, then posts "LauncherThemeChanged".
    void save(LauncherThemeID theme, NotificationCenter &center = NotificationCenter::defaultCenter()) const;

    UserDefaults *defaults;
    QString themeKey = QStringLiteral("launcherThemeID");
};

} // namespace orvex
