#pragma once

#include "panel/LauncherIconSettingsStore.h"
#include "panel/LauncherThemeStore.h"
#include "panel/SearchDebounceSettingsStore.h"
#include "panel/SearchScoreVisibilityStore.h"
#include "panel/SessionPersistenceSettingsStore.h"
#include "panel/VersionVisibilityStore.h"

namespace orvex {

// The launcher panel's group of preference stores.
struct ContentViewStores {
    // The standard instance of each store.
    ContentViewStores();
    ContentViewStores(LauncherThemeStore theme, LauncherIconSettingsStore iconSettings,
                      SearchDebounceSettingsStore searchDebounce,
                      SessionPersistenceSettingsStore sessionPersistence,
                      VersionVisibilityStore versionVisibility, SearchScoreVisibilityStore scoreVisibility);
    // Every store over `defaults` with its usual keys.
    explicit ContentViewStores(UserDefaults &defaults);

    LauncherThemeStore theme;
    LauncherIconSettingsStore iconSettings;
    SearchDebounceSettingsStore searchDebounce;
    SessionPersistenceSettingsStore sessionPersistence;
    VersionVisibilityStore versionVisibility;
    SearchScoreVisibilityStore scoreVisibility;
};

} // namespace orvex
