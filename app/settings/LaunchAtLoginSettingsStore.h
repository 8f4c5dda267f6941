#pragma once

#include "launch-at-login/LaunchAtLoginPreferenceStore.h"

namespace orvex {

// The start-at-login wish; absent means not yet decided. Reads and writes go through `preferenceStore`.
struct LaunchAtLoginSettingsStore {
    explicit LaunchAtLoginSettingsStore(LaunchAtLoginPreferenceStore preferenceStore);
    // Over the standard database under "launcherRunAtLogin".
    static const LaunchAtLoginSettingsStore &standard();

    LaunchAtLoginPreferenceStore preferenceStore;
};

} // namespace orvex
