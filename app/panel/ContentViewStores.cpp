#include "panel/ContentViewStores.h"

namespace orvex {

ContentViewStores::ContentViewStores()
    : ContentViewStores(LauncherThemeStore::standard(), LauncherIconSettingsStore::standard(),
                        SearchDebounceSettingsStore::standard(), SessionPersistenceSettingsStore::standard(),
                        VersionVisibilityStore::standard(), SearchScoreVisibilityStore::standard()) {}

ContentViewStores::ContentViewStores(LauncherThemeStore theme, LauncherIconSettingsStore iconSettings,
                                     SearchDebounceSettingsStore searchDebounce,
                                     SessionPersistenceSettingsStore sessionPersistence,
                                     VersionVisibilityStore versionVisibility,
                                     SearchScoreVisibilityStore scoreVisibility)
    : theme(std::move(theme)), iconSettings(std::move(iconSettings)),
      searchDebounce(std::move(searchDebounce)), sessionPersistence(std::move(sessionPersistence)),
      versionVisibility(std::move(versionVisibility)), scoreVisibility(std::move(scoreVisibility)) {}

ContentViewStores::ContentViewStores(UserDefaults &defaults)
    : ContentViewStores(LauncherThemeStore(defaults), LauncherIconSettingsStore(defaults),
                        SearchDebounceSettingsStore(defaults), SessionPersistenceSettingsStore(defaults),
                        VersionVisibilityStore(defaults), SearchScoreVisibilityStore(defaults)) {}

} // namespace orvex
