#include "panel/ContentViewStores.h"
#include "panel/PanelNotifications.h"
#include "search/LauncherNotifications.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvex {
namespace {

constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 int64Min = std::numeric_limits<qint64>::min();

TEST(IntegerStores, ClampOrFallBackToTheDefault) {
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *name;
        std::optional<PlistValue> stored;
        qint64 debounce; // limits 10...500, default 50
        qint64 session;  // limits 0...120, default 10
    } cases[] = {
        {"absent", std::nullopt, 50, 10},
        {"in range", PlistValue(30), 30, 30},
        {"upper limit", PlistValue(500), 500, 120},
        {"above", PlistValue(900), 500, 120},
        {"below", PlistValue(5), 10, 5},
        {"negative", PlistValue(-3), 10, 0},
        {"largest integer", PlistValue(int64Max), 500, 120},
        {"smallest integer", PlistValue(int64Min), 10, 0},
        {"text", PlistValue(QStringLiteral("30")), 50, 10},
        {"whole real", PlistValue(30.0), 30, 30},
        {"real with a fraction", PlistValue(30.5), 50, 10},
        {"huge real", PlistValue(1e300), 500, 120},
        {"huge negative real", PlistValue(-1e300), 10, 0},
        {"NaN", PlistValue(nan), 50, 10},
        {"infinity", PlistValue(inf), 50, 10},
        {"negative infinity", PlistValue(-inf), 50, 10},
        {"Boolean", PlistValue(true), 50, 10},
        {"data", PlistValue(QByteArray("\x01\xf4", 2)), 50, 10},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        const SearchDebounceSettingsStore debounce(defaults);
        const SessionPersistenceSettingsStore session(defaults);
        if (c.stored) {
            defaults.set(debounce.debounceMillisecondsKey, *c.stored);
            defaults.set(session.persistenceSecondsKey, *c.stored);
        }
        EXPECT_EQ(debounce.load(), c.debounce) << c.name;
        EXPECT_EQ(session.load(), c.session) << c.name;
    }
}

TEST(IntegerStores, ADefaultOutsideTheLimitsIsClampedToo) {
    UserDefaults defaults;
    SearchDebounceSettingsStore store(defaults);
    store.defaultMilliseconds = 5;
    EXPECT_EQ(store.load(), 10);
    store.defaultMilliseconds = int64Max;
    EXPECT_EQ(store.load(), 500);
}

TEST(LauncherThemeID, RawValuesAreTheCaseNamesInDeclaredOrder) {
    const char *const names[] = {"graphite",
                                 "vitesseDarkSoft",
                                 "vitesseDarkSoftUnified",
                                 "vitesseDarkSoftRoseHover",
                                 "midnightBlue",
                                 "forest",
                                 "violetNoir",
                                 "sunset",
                                 "roseDust",
                                 "frost",
                                 "ember",
                                 "daylight"};
    ASSERT_EQ(std::size(names), allLauncherThemeIDs.size());
    for (size_t i = 0; i < allLauncherThemeIDs.size(); ++i) {
        EXPECT_EQ(static_cast<size_t>(allLauncherThemeIDs[i]), i);
        EXPECT_EQ(rawValue(allLauncherThemeIDs[i]), QString::fromLatin1(names[i]));
        EXPECT_EQ(launcherThemeIDFromRawValue(QString::fromLatin1(names[i])), allLauncherThemeIDs[i]);
    }
}

TEST(LauncherThemeStore, LoadsOnlyAnExactThemeTextElseGraphite) {
    struct Case {
        const char *name;
        std::optional<PlistValue> stored;
        LauncherThemeID expected;
    } cases[] = {
        {"absent", std::nullopt, LauncherThemeID::graphite},
        {"forest", PlistValue(QStringLiteral("forest")), LauncherThemeID::forest},
        {"daylight", PlistValue(QStringLiteral("daylight")), LauncherThemeID::daylight},
        {"display name", PlistValue(QStringLiteral("Graphite")), LauncherThemeID::graphite},
        {"capitalised", PlistValue(QStringLiteral("Forest")), LauncherThemeID::graphite},
        {"padded", PlistValue(QStringLiteral(" forest")), LauncherThemeID::graphite},
        {"unknown", PlistValue(QStringLiteral("solarized")), LauncherThemeID::graphite},
        {"empty", PlistValue(QString()), LauncherThemeID::graphite},
        {"index", PlistValue(5), LauncherThemeID::graphite},
        {"array", PlistValue(PlistValue::Array{PlistValue(QStringLiteral("forest"))}),
         LauncherThemeID::graphite},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        const LauncherThemeStore store(defaults);
        if (c.stored)
            defaults.set(store.themeKey, *c.stored);
        EXPECT_EQ(store.load(), c.expected) << c.name;
    }
}

TEST(LauncherThemeStore, SaveStoresTheRawTextThenTellsThePanel) {
    UserDefaults defaults;
    NotificationCenter center;
    const LauncherThemeStore store(defaults);
    std::optional<QString> storedWhenPosted;
    int posts = 0;
    const auto token = center.addObserver(NotificationName::launcherThemeChanged, [&](const Notification &n) {
        ++posts;
        storedWhenPosted = defaults.stringValue(store.themeKey);
        EXPECT_TRUE(n.userInfo.isEmpty());
    });
    for (const LauncherThemeID theme : allLauncherThemeIDs) {
        store.save(theme, center);
        EXPECT_EQ(storedWhenPosted, rawValue(theme));
        EXPECT_EQ(store.load(), theme);
    }
    EXPECT_EQ(posts, int(allLauncherThemeIDs.size()));
    center.removeObserver(token);
}

TEST(LauncherIconSettingsStore, SaveStoresTheBooleanThenTellsThePanel) {
    UserDefaults defaults;
    NotificationCenter center;
    const LauncherIconSettingsStore store(defaults);
    QList<std::optional<bool>> storedWhenPosted;
    const auto token =
        center.addObserver(NotificationName::launcherIconSettingsChanged, [&](const Notification &) {
            storedWhenPosted.append(defaults.boolValue(store.useNativeAppIconsKey));
        });
    store.save(true, center);
    store.save(false, center);
    EXPECT_EQ(storedWhenPosted, (QList<std::optional<bool>>{true, false}));
    EXPECT_FALSE(store.load(true));
    center.removeObserver(token);
}

TEST(ContentViewStores, TheStandardOnesUseTheStandardDatabaseAndTheLaunchersKeys) {
    UserDefaults *standard = &UserDefaults::standard();
    const ContentViewStores stores;
    EXPECT_EQ(stores.theme.defaults, standard);
    EXPECT_EQ(stores.theme.themeKey, QStringLiteral("launcherThemeID"));
    EXPECT_EQ(stores.iconSettings.defaults, standard);
    EXPECT_EQ(stores.iconSettings.useNativeAppIconsKey, QStringLiteral("launcherUseNativeAppIcons"));
    EXPECT_EQ(stores.searchDebounce.defaults, standard);
    EXPECT_EQ(stores.sessionPersistence.defaults, standard);
    EXPECT_EQ(stores.versionVisibility.defaults, standard);
    EXPECT_EQ(stores.scoreVisibility.defaults, standard);
}

TEST(ContentViewStores, CanBeBuiltOverAnotherDatabase) {
    UserDefaults defaults;
    defaults.set(QStringLiteral("launcherSearchDebounceMilliseconds"), 120);
    defaults.set(QStringLiteral("launcherShowSearchScores"), false);
    const ContentViewStores stores(defaults);
    EXPECT_EQ(stores.searchDebounce.load(), 120);
    EXPECT_FALSE(stores.scoreVisibility.load(true));
    EXPECT_EQ(stores.sessionPersistence.load(), 10);
    EXPECT_EQ(stores.theme.defaults, &defaults);
}

} // namespace
} // namespace orvex
