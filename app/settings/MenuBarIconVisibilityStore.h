#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// Whether the launcher shows its status item.
struct MenuBarIconVisibilityStore {
    explicit MenuBarIconVisibilityStore(UserDefaults &defaults);
    static const MenuBarIconVisibilityStore &standard();
    // The stored Boolean, else the caller's default (every caller passes true).
    bool load(bool defaultVisible) const;

    UserDefaults *defaults;
    QString showMenuBarIconKey = QStringLiteral("launcherShowMenuBarIcon");
};

} // namespace orvex
