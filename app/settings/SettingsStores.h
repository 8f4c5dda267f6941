#pragma once

#include "panel/LauncherIconSettingsStore.h"
#include "panel/LauncherThemeStore.h"
#include "panel/SearchDebounceSettingsStore.h"
#include "panel/SearchScoreVisibilityStore.h"
#include "panel/SessionPersistenceSettingsStore.h"
#include "panel/VersionVisibilityStore.h"
#include "search/LauncherSettingsStores.h"
#include "search/SearchRankingSettings.h"
#include "settings/LaunchAtLoginSettingsStore.h"
#include "settings/MenuBarIconVisibilityStore.h"
#include "settings/WindowSnapSettingsStore.h"

#include "hotkey-core/HotKeySettingsStore.h"

namespace orvex {

// The application's hot-key store: the standard database and the launcher's four hot-key keys.
const HotKeySettingsStore &standardHotKeySettingsStore();

// The preference stores the settings window reads once and writes on every edit, in the order the
// window keeps them. "showSnippets" has no store of its own: it is a Boolean in `snippetDefaults`.
struct SettingsStores {
    // Every store on the standard defaults database with the launcher's keys.
    static SettingsStores standard();
    // Every store on `defaults` with the launcher's keys (tests use their own database).
    static SettingsStores over(UserDefaults &defaults);

    HotKeySettingsStore hotKeyStore;
    LauncherThemeStore launcherThemeStore;
    LauncherIconSettingsStore launcherIconSettingsStore;
    SearchDebounceSettingsStore searchDebounceSettingsStore;
    SessionPersistenceSettingsStore sessionPersistenceSettingsStore;
    SearchScoreVisibilityStore searchScoreVisibilityStore;
    TranslationCommandSettingsStore translationCommandSettingsStore;
    TranslationLanguageSettingsStore translationLanguageSettingsStore;
    TranslationEngineSettingsStore translationEngineSettingsStore;
    SearchRankingSettingsStore searchRankingSettingsStore;
    WindowSnapSettingsStore windowSnapSettingsStore;
    MenuBarIconVisibilityStore menuBarIconVisibilityStore;
    VersionVisibilityStore versionVisibilityStore;
    LaunchAtLoginSettingsStore launchAtLoginSettingsStore;
    UserDefaults *snippetDefaults;
    QString showSnippetsKey = QStringLiteral("showSnippets");
};

} // namespace orvex
