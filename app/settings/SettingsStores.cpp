#include "settings/SettingsStores.h"

namespace orvex {

const HotKeySettingsStore &standardHotKeySettingsStore() {
    static const HotKeySettingsStore store(UserDefaults::standard(), QStringLiteral("launcherHotKeyEnabled"),
                                           QStringLiteral("launcherHotKeyCode"),
                                           QStringLiteral("launcherHotKeyModifiers"),
                                           QStringLiteral("launcherHotKeyCharacter"));
    return store;
}

SettingsStores SettingsStores::standard() {
    return SettingsStores{
        .hotKeyStore = standardHotKeySettingsStore(),
        .launcherThemeStore = LauncherThemeStore::standard(),
        .launcherIconSettingsStore = LauncherIconSettingsStore::standard(),
        .searchDebounceSettingsStore = SearchDebounceSettingsStore::standard(),
        .sessionPersistenceSettingsStore = SessionPersistenceSettingsStore::standard(),
        .searchScoreVisibilityStore = SearchScoreVisibilityStore::standard(),
        .translationCommandSettingsStore = TranslationCommandSettingsStore::standard(),
        .translationLanguageSettingsStore = TranslationLanguageSettingsStore::standard(),
        .translationEngineSettingsStore = TranslationEngineSettingsStore::standard(),
        .searchRankingSettingsStore = SearchRankingSettingsStore::standard(),
        .windowSnapSettingsStore = WindowSnapSettingsStore::standard(),
        .menuBarIconVisibilityStore = MenuBarIconVisibilityStore::standard(),
        .versionVisibilityStore = VersionVisibilityStore::standard(),
        .launchAtLoginSettingsStore = LaunchAtLoginSettingsStore::standard(),
        .snippetDefaults = &UserDefaults::standard(),
    };
}

SettingsStores SettingsStores::over(UserDefaults &defaults) {
    return SettingsStores{
        .hotKeyStore = HotKeySettingsStore(
            defaults, QStringLiteral("launcherHotKeyEnabled"), QStringLiteral("launcherHotKeyCode"),
            QStringLiteral("launcherHotKeyModifiers"), QStringLiteral("launcherHotKeyCharacter")),
        .launcherThemeStore = LauncherThemeStore(defaults),
        .launcherIconSettingsStore = LauncherIconSettingsStore(defaults),
        .searchDebounceSettingsStore = SearchDebounceSettingsStore(defaults),
        .sessionPersistenceSettingsStore = SessionPersistenceSettingsStore(defaults),
        .searchScoreVisibilityStore = SearchScoreVisibilityStore(defaults),
        .translationCommandSettingsStore = TranslationCommandSettingsStore(defaults),
        .translationLanguageSettingsStore = TranslationLanguageSettingsStore(defaults),
        .translationEngineSettingsStore = TranslationEngineSettingsStore(defaults),
        .searchRankingSettingsStore = SearchRankingSettingsStore(defaults),
        .windowSnapSettingsStore = WindowSnapSettingsStore(defaults),
        .menuBarIconVisibilityStore = MenuBarIconVisibilityStore(defaults),
        .versionVisibilityStore = VersionVisibilityStore(defaults),
        .launchAtLoginSettingsStore = LaunchAtLoginSettingsStore(
            LaunchAtLoginPreferenceStore(defaults, QStringLiteral("launcherRunAtLogin"))),
        .snippetDefaults = &defaults,
    };
}

} // namespace orvex
