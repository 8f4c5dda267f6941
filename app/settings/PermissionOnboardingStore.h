#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// The first-run flag: true once the user continued past the permissions onboarding. Absent (or a value
// of another type) means not completed. Only the onboarding window's Continue writes it.
struct PermissionOnboardingStore {
    // The standard defaults database and "launcherPermissionsOnboardingCompleted".
    static const PermissionOnboardingStore &standard();

    // The stored Boolean, else `defaultCompleted`.
    bool load(bool defaultCompleted) const;

    UserDefaults *defaults;
    QString completedKey = QStringLiteral("launcherPermissionsOnboardingCompleted");
};

} // namespace orvex
