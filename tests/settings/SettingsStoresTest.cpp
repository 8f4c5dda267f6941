#include "settings/SettingsStores.h"

#include <gtest/gtest.h>

#include <functional>

namespace orvex {
namespace {

TEST(BooleanStores, OnlyAStoredBooleanOverridesTheCallersDefault) {
    using Load = std::function<bool(UserDefaults &, bool)>;
    const std::pair<QString, Load> stores[] = {
        {QStringLiteral("launcherSnapToGrid"),
         [](UserDefaults &d, bool v) { return WindowSnapSettingsStore(d).load(v); }},
        {QStringLiteral("launcherShowMenuBarIcon"),
         [](UserDefaults &d, bool v) { return MenuBarIconVisibilityStore(d).load(v); }},
        {QStringLiteral("launcherShowVersionNumber"),
         [](UserDefaults &d, bool v) { return VersionVisibilityStore(d).load(v); }},
        {QStringLiteral("launcherShowSearchScores"),
         [](UserDefaults &d, bool v) { return SearchScoreVisibilityStore(d).load(v); }},
        {QStringLiteral("launcherUseNativeAppIcons"),
         [](UserDefaults &d, bool v) { return LauncherIconSettingsStore(d).load(v); }},
    };
    struct Case {
        const char *name;
        std::optional<PlistValue> stored;
        std::optional<bool> value; // nothing: the caller's default
    } cases[] = {
        {"absent", std::nullopt, std::nullopt},   {"true", PlistValue(true), true},
        {"false", PlistValue(false), false},      {"text", PlistValue(QStringLiteral("yes")), std::nullopt},
        {"integer", PlistValue(0), std::nullopt}, {"real", PlistValue(1.0), std::nullopt},
    };
    for (const auto &[key, load] : stores) {
        for (const auto &c : cases) {
            UserDefaults defaults;
            if (c.stored)
                defaults.set(key, *c.stored);
            EXPECT_EQ(load(defaults, true), c.value.value_or(true)) << key.toStdString() << " " << c.name;
            EXPECT_EQ(load(defaults, false), c.value.value_or(false)) << key.toStdString() << " " << c.name;
            EXPECT_EQ(defaults.keys().size(), c.stored ? 1 : 0) << "a load never writes";
        }
    }
}

TEST(SettingsStores, TheStandardOnesUseTheStandardDatabaseAndTheLaunchersKeys) {
    UserDefaults *standard = &UserDefaults::standard();
    const HotKeySettingsStore &hotKey = standardHotKeySettingsStore();
    EXPECT_EQ(hotKey.defaults, standard);
    EXPECT_EQ(hotKey.enabledKey, QStringLiteral("launcherHotKeyEnabled"));
    EXPECT_EQ(hotKey.keyCodeKey, QStringLiteral("launcherHotKeyCode"));
    EXPECT_EQ(hotKey.modifiersKey, QStringLiteral("launcherHotKeyModifiers"));
    EXPECT_EQ(hotKey.characterKey, QStringLiteral("launcherHotKeyCharacter"));

    const LaunchAtLoginPreferenceStore &login = LaunchAtLoginSettingsStore::standard().preferenceStore;
    EXPECT_EQ(login.defaults, standard);
    EXPECT_EQ(login.preferenceKey, QStringLiteral("launcherRunAtLogin"));

    EXPECT_EQ(WindowSnapSettingsStore::standard().defaults, standard);
    EXPECT_EQ(MenuBarIconVisibilityStore::standard().defaults, standard);
}

} // namespace
} // namespace orvex
