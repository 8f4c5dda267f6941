#include "search/LauncherSettingsStores.h"
#include "search/LauncherNotifications.h"

#include <gtest/gtest.h>

#include <cmath>
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
    EXPECT_EQ(TranslationCommandSettingsStore::standard().defaults, standard);
    EXPECT_EQ(TranslationLanguageSettingsStore::standard().defaults, standard);
    EXPECT_EQ(TranslationEngineSettingsStore::standard().defaults, standard);
}

TEST(LauncherNotifications, RawNamesAreExact) {
    const std::pair<QLatin1StringView, const char *> names[] = {
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
