#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// Whether the launcher shows its version label.
struct VersionVisibilityStore {
    explicit VersionVisibilityStore(UserDefaults &defaults);
    static const VersionVisibilityStore &standard();
    // The stored Boolean, else the caller's default (every caller passes true).
    bool load(bool defaultVisible) const;

    UserDefaults *defaults;
    QString showVersionNumberKey = QStringLiteral("launcherShowVersionNumber");
};

} // namespace orvex
