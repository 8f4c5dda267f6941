#include "search/LauncherSettingsStores.h"
#include "search/LauncherNotifications.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace orvex {
namespace {

std::string text(const QStringList &list) {
    return list.join(QLatin1Char('|')).toStdString();
}

constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 int64Min = std::numeric_limits<qint64>::min();

TEST(ClampedWholeNumber, NeverOverflowsAndRejectsWhatIsNotWhole) {
    struct Case {
        double value;
        qint64 minimum, maximum;
        std::optional<qint64> expected;
    } cases[] = {
        {30.0, 10, 500, 30},
        {-0.0, 10, 500, 10},
        {1e300, 10, 500, 500},
        {-1e300, 10, 500, 10},
        {9223372036854775808.0, int64Min, int64Max, int64Max}, // 2^63 is one past the largest integer
        {-9223372036854775808.0, int64Min, int64Max, int64Min},
        {1e19, int64Min, int64Max, int64Max},
        {-1e19, int64Min, int64Max, int64Min},
        {30.5, 10, 500, std::nullopt},
        {std::nan(""), 10, 500, std::nullopt},
        {std::numeric_limits<double>::infinity(), 10, 500, std::nullopt},
        {-std::numeric_limits<double>::infinity(), 10, 500, std::nullopt},
        {std::numeric_limits<double>::denorm_min(), 10, 500, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(clampedWholeNumber(c.value, c.minimum, c.maximum), c.expected) << c.value;
}

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

TEST(TranslationCommandSettingsStore, RawTriggerIsTheStoredTextElseTheDefault) {
    UserDefaults defaults;
    const TranslationCommandSettingsStore store(defaults);
    EXPECT_EQ(store.rawTrigger(), QStringLiteral("cc"));
    defaults.set(store.translationTriggerKey, 7);
    EXPECT_EQ(store.rawTrigger(), QStringLiteral("cc"));
    defaults.set(store.translationTriggerKey, QStringLiteral(" Tr! "));
    EXPECT_EQ(store.rawTrigger(), QStringLiteral(" Tr! ")); // the parser normalises it
}

TEST(TranslationLanguageSettingsStore, LoadNormalisesAndCompletesTheStoredCodes) {
    struct Case {
        const char *name;
        std::optional<PlistValue> stored;
        QStringList expected;
    } cases[] = {
        {"absent", std::nullopt, {"en", "de"}},
        {"blanks, case and repeats", PlistValue(QStringLiteral(" FR , fr, es ")), {"fr", "es"}},
        {"one code", PlistValue(QStringLiteral("de")), {"de", "en"}},
        {"one code that is the first default", PlistValue(QStringLiteral("en")), {"en", "de"}},
        {"empty", PlistValue(QString()), {"en", "de"}},
        {"only commas", PlistValue(QStringLiteral(",,,")), {"en", "de"}},
        {"nothing usable", PlistValue(QStringLiteral("12, __ ,!")), {"en", "de"}},
        {"digits and underscore dropped", PlistValue(QStringLiteral("pt_BR")), {"ptbr", "en"}},
        {"same code twice", PlistValue(QStringLiteral("en, EN ")), {"en", "de"}},
        {"line breaks and tabs", PlistValue(QStringLiteral("\tit\n,\r\nfr")), {"it", "fr"}},
        {"any script, combining marks kept",
         PlistValue(QStringLiteral("zh-Hans,\u0939\u093f\u0928\u094d\u0926\u0940")),
         {"zh-hans", "\u0939\u093f\u0928\u094d\u0926\u0940"}},
        {"eleven codes",
         PlistValue(QStringLiteral("aa,bb,cc,dd,ee,ff,gg,hh,ii,jj,kk")),
         {"aa", "bb", "cc", "dd", "ee", "ff", "gg", "hh"}},
        {"repeats do not use up the limit",
         PlistValue(QStringLiteral("aa,aa,aa,aa,aa,aa,aa,aa,aa,bb")),
         {"aa", "bb"}},
        {"another type", PlistValue(QByteArray("fr,es")), {"en", "de"}},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        const TranslationLanguageSettingsStore store(defaults);
        if (c.stored)
            defaults.set(store.languageCodesKey, *c.stored);
        EXPECT_EQ(text(store.load()), text(c.expected)) << c.name;
    }
}

TEST(TranslationLanguageSettingsStore, CompletesFromTheStoresOwnDefaultsFirst) {
    UserDefaults defaults;
    TranslationLanguageSettingsStore store(defaults);
    store.defaultLanguageCodes = {QStringLiteral(" FR"), QStringLiteral("it")};
    EXPECT_EQ(text(store.load()), "fr|it");
    defaults.set(store.languageCodesKey, QStringLiteral("it"));
    EXPECT_EQ(text(store.load()), "it|fr");

    // Defaults that cannot fill the list: "en", then "de".
    store.defaultLanguageCodes = {QStringLiteral("es"), QStringLiteral("1")};
    defaults.set(store.languageCodesKey, QStringLiteral("es"));
    EXPECT_EQ(text(store.load()), "es|en");
    store.defaultLanguageCodes = {};
    defaults.set(store.languageCodesKey, QStringLiteral("en"));
    EXPECT_EQ(text(store.load()), "en|de");
}

TEST(TranslationLanguageSettingsStore, ALimitBelowTwoNeverBreaksLoading) {
    UserDefaults defaults;
    TranslationLanguageSettingsStore store(defaults);
    defaults.set(store.languageCodesKey, QStringLiteral("fr,es,it"));
    store.maxLanguageCodes = 1;
    EXPECT_EQ(text(store.load()), "fr");
    store.maxLanguageCodes = -5;
    EXPECT_EQ(text(store.load()), "");
    store.save(QStringLiteral("fr"));
    EXPECT_EQ(defaults.stringValue(store.languageCodesKey), QString());
}

TEST(TranslationLanguageSettingsStore, SaveWritesTheNormalisedCompletedList) {
    struct Case {
        QString rawValue;
        QString written;
    } cases[] = {
        {QStringLiteral("it"), QStringLiteral("it,en")},
        {QStringLiteral(""), QStringLiteral("en,de")},
        {QStringLiteral(" , 42 "), QStringLiteral("en,de")},
        {QStringLiteral(" A1b , c,C"), QStringLiteral("ab,c")},
        {QStringLiteral("aa,bb,cc,dd,ee,ff,gg,hh,ii"), QStringLiteral("aa,bb,cc,dd,ee,ff,gg,hh")},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        const TranslationLanguageSettingsStore store(defaults);
        store.save(c.rawValue);
        EXPECT_EQ(defaults.stringValue(store.languageCodesKey), c.written) << c.rawValue.toStdString();
    }
}

TEST(TranslationEngineID, RawValuesAreExact) {
    EXPECT_EQ(rawValue(TranslationEngineID::apple), QStringLiteral("apple"));
    EXPECT_EQ(rawValue(TranslationEngineID::argos), QStringLiteral("argos"));
    EXPECT_EQ(translationEngineIDFromRawValue(QStringLiteral("argos")), TranslationEngineID::argos);
    EXPECT_EQ(translationEngineIDFromRawValue(QStringLiteral("Apple")), std::nullopt);
    EXPECT_EQ(translationEngineIDFromRawValue(QStringLiteral("bing")), std::nullopt);
}

// --- Themes.

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

constexpr auto apple = TranslationEngineID::apple;
constexpr auto argos = TranslationEngineID::argos;

TEST(TranslationEngineSettingsStore, LoadAlwaysGivesEveryEngineOnceAndSomeEngineEnabled) {
    struct Case {
        const char *name;
        std::optional<QString> order;
        std::optional<QString> enabled;
        TranslationEngineIDs expectedOrder;
        TranslationEngineIDSet expectedEnabled;
    } cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, {apple, argos}, {apple, argos}},
        {"one engine", QStringLiteral("argos"), std::nullopt, {argos, apple}, {apple, argos}},
        {"case, blanks, repeats, unknown",
         QStringLiteral("Apple, apple ,bing"),
         std::nullopt,
         {apple, argos},
         {apple, argos}},
        {"nothing known", QStringLiteral("bing,,"), std::nullopt, {apple, argos}, {apple, argos}},
        {"unknown enabled engine", std::nullopt, QStringLiteral("bing"), {apple, argos}, {apple, argos}},
        {"empty enabled text", std::nullopt, QString(), {apple, argos}, {apple, argos}},
        {"one enabled", std::nullopt, QStringLiteral(" ARGOS\n"), {apple, argos}, {argos}},
        {"repeated enabled",
         QStringLiteral("argos,apple"),
         QStringLiteral("apple,apple"),
         {argos, apple},
         {apple}},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        const TranslationEngineSettingsStore store(defaults);
        if (c.order)
            defaults.set(store.orderKey, *c.order);
        if (c.enabled)
            defaults.set(store.enabledKey, *c.enabled);
        const TranslationEnginePreferences loaded = store.load();
        EXPECT_EQ(loaded.order, c.expectedOrder) << c.name;
        EXPECT_EQ(loaded.enabled, c.expectedEnabled) << c.name;
    }
}

TEST(TranslationEngineSettingsStore, NormalisationFallsBackToDefaultsThenToArgos) {
    UserDefaults defaults;
    TranslationEngineSettingsStore store(defaults);
    const auto unknown = static_cast<TranslationEngineID>(7);
    EXPECT_EQ(store.normalizedEngineOrder({unknown, argos, argos}), (TranslationEngineIDs{argos, apple}));
    EXPECT_EQ(store.normalizedEnabledEngineIDs({unknown}), (TranslationEngineIDSet{apple, argos}));

    store.defaultOrder = {argos};
    store.defaultEnabled = {};
    EXPECT_EQ(store.load().order, (TranslationEngineIDs{argos, apple}));
    EXPECT_EQ(store.load().enabled, (TranslationEngineIDSet{argos}));
    defaults.set(store.enabledKey, QStringLiteral("none"));
    EXPECT_EQ(store.load().enabled, (TranslationEngineIDSet{argos}));
}

TEST(TranslationEngineSettingsStore, SaveWritesTheOrderAndTheEnabledEnginesInThatOrder) {
    struct Case {
        TranslationEngineIDs order;
        TranslationEngineIDSet enabled;
        QString writtenOrder;
        QString writtenEnabled;
    } cases[] = {
        {{argos, apple}, {apple}, QStringLiteral("argos,apple"), QStringLiteral("apple")},
        {{argos, apple}, {apple, argos}, QStringLiteral("argos,apple"), QStringLiteral("argos,apple")},
        {{}, {}, QStringLiteral("apple,argos"), QStringLiteral("apple,argos")},
        {{argos},
         {static_cast<TranslationEngineID>(9)},
         QStringLiteral("argos,apple"),
         QStringLiteral("argos,apple")},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        const TranslationEngineSettingsStore store(defaults);
        store.save(c.order, c.enabled);
        EXPECT_EQ(defaults.stringValue(store.orderKey), c.writtenOrder);
        EXPECT_EQ(defaults.stringValue(store.enabledKey), c.writtenEnabled);
    }
}

TEST(TranslationEnginePreferences, PrioritizedEnginesFollowTheOrder) {
    EXPECT_EQ((TranslationEnginePreferences{{argos, apple}, {apple}}.prioritizedEnabledEngineIDs()),
              (TranslationEngineIDs{apple}));
    EXPECT_EQ((TranslationEnginePreferences{{argos, apple}, {apple, argos}}.prioritizedEnabledEngineIDs()),
              (TranslationEngineIDs{argos, apple}));
}

TEST(StandardStores, UseTheStandardDatabaseAndTheLaunchersKeys) {
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
    EXPECT_EQ(TranslationCommandSettingsStore::standard().defaults, standard);
    EXPECT_EQ(TranslationLanguageSettingsStore::standard().defaults, standard);
    EXPECT_EQ(TranslationEngineSettingsStore::standard().defaults, standard);
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

TEST(LauncherNotifications, RawNamesAreExact) {
    const std::pair<QLatin1StringView, const char *> names[] = {
        {NotificationName::launcherThemeChanged, "LauncherThemeChanged"},
        {NotificationName::launcherIconSettingsChanged, "LauncherIconSettingsChanged"},
        {NotificationName::launcherWindowSnapChanged, "LauncherWindowSnapChanged"},
        {NotificationName::launcherMenuBarIconVisibilityChanged, "LauncherMenuBarIconVisibilityChanged"},
        {NotificationName::launcherVersionVisibilityChanged, "LauncherVersionVisibilityChanged"},
        {NotificationName::launcherScoreVisibilityChanged, "LauncherScoreVisibilityChanged"},
        {NotificationName::launcherSearchDataRefreshed, "LauncherSearchDataRefreshed"},
        {NotificationName::launcherSearchDebounceChanged, "LauncherSearchDebounceChanged"},
        {NotificationName::launcherRankingSettingsChanged, "LauncherRankingSettingsChanged"},
        {NotificationName::launcherHotKeyChanged, "LauncherHotKeyChanged"},
        {NotificationName::launcherHotKeyRegistrationStatusChanged,
         "LauncherHotKeyRegistrationStatusChanged"},
        {NotificationName::launcherSessionPersistenceChanged, "LauncherSessionPersistenceChanged"},
        {NotificationName::launcherWindowAppeared, "WindowAppeared"},
        {NotificationName::launcherWindowHidden, "WindowHidden"},
        {NotificationName::launcherResultsVisibilityChanged, "LauncherResultsVisibilityChanged"},
        {NotificationName::launcherShowSnippetsChanged, "ShowSnippetsChanged"},
    };
    for (const auto &[name, raw] : names)
        EXPECT_EQ(QString(name), QString::fromLatin1(raw));
}

TEST(LauncherNotifications, PayloadsTravelUnderTheirKeys) {
    NotificationCenter center;
    std::vector<std::pair<QString, std::optional<bool>>> seen;
    const auto registration = center.addObserver(
        NotificationName::launcherHotKeyRegistrationStatusChanged, [&](const Notification &n) {
            seen.emplace_back(n.name, notificationFlag(n, NotificationUserInfoKey::success));
        });
    const auto visibility =
        center.addObserver(NotificationName::launcherResultsVisibilityChanged, [&](const Notification &n) {
            seen.emplace_back(n.name, notificationFlag(n, NotificationUserInfoKey::hasResults));
        });
    postHotKeyRegistrationStatusChanged(false, center);
    postResultsVisibilityChanged(true, center);
    center.post(NotificationName::launcherResultsVisibilityChanged); // no payload
    center.removeObserver(registration);
    center.removeObserver(visibility);

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, QStringLiteral("LauncherHotKeyRegistrationStatusChanged"));
    EXPECT_EQ(seen[0].second, false);
    EXPECT_EQ(seen[1].first, QStringLiteral("LauncherResultsVisibilityChanged"));
    EXPECT_EQ(seen[1].second, true);
    EXPECT_EQ(seen[2].second, std::nullopt);
}

} // namespace
} // namespace orvex
