#pragma once

#include "platform/NotificationCenter.h"
#include "platform/PlistValue.h"
#include "platform/UserDefaults.h"

#include "hotkey-core/HotKeySettingsStore.h"
#include "launch-at-login/LaunchAtLoginPreferenceStore.h"

#include <QHashFunctions>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace orvex {

// Typed stores of the launcher's preferences in the defaults database. Each is a plain value holding
// the database, its key names and, for numbers, a default and limits. Loads never fail: a missing,
// mistyped or out-of-range value gives the default or is clamped. `standard()` is the process-wide
// store over UserDefaults::standard(); tests build their own over their own database.

// A stored whole number clamped to [minimum, maximum] (raised to the minimum, then lowered to the
// maximum). Integers of any size and whole reals of any size clamp; anything else (a fraction, NaN,
// an infinity, another type) gives nothing, so the caller falls back to its default.
std::optional<qint64> clampedWholeNumber(double value, qint64 minimum, qint64 maximum);
std::optional<qint64> clampedStoredInteger(const PlistValue &value, qint64 minimum, qint64 maximum);
// The measure stored under `key` (a window's size or place): an integer, or a finite real; anything else
// (NaN, an infinity, another type, nothing) gives nothing, so that the caller falls back to its default.
std::optional<double> storedFiniteNumber(const UserDefaults &defaults, const QString &key);

// --- Boolean stores: every caller passes true as the default.

struct WindowSnapSettingsStore {
    explicit WindowSnapSettingsStore(UserDefaults &defaults);
    static const WindowSnapSettingsStore &standard();
    bool load(bool defaultEnabled) const;

    UserDefaults *defaults;
    QString snapToGridKey = QStringLiteral("launcherSnapToGrid");
};

struct MenuBarIconVisibilityStore {
    explicit MenuBarIconVisibilityStore(UserDefaults &defaults);
    static const MenuBarIconVisibilityStore &standard();
    bool load(bool defaultVisible) const;

    UserDefaults *defaults;
    QString showMenuBarIconKey = QStringLiteral("launcherShowMenuBarIcon");
};

struct VersionVisibilityStore {
    explicit VersionVisibilityStore(UserDefaults &defaults);
    static const VersionVisibilityStore &standard();
    bool load(bool defaultVisible) const;

    UserDefaults *defaults;
    QString showVersionNumberKey = QStringLiteral("launcherShowVersionNumber");
};

struct SearchScoreVisibilityStore {
    explicit SearchScoreVisibilityStore(UserDefaults &defaults);
    static const SearchScoreVisibilityStore &standard();
    bool load(bool defaultVisible) const;

    UserDefaults *defaults;
    QString showScoresKey = QStringLiteral("launcherShowSearchScores");
};

// The start-at-login wish; absent means not yet decided. Reads and writes go through `preferenceStore`.
struct LaunchAtLoginSettingsStore {
    explicit LaunchAtLoginSettingsStore(LaunchAtLoginPreferenceStore preferenceStore);
    static const LaunchAtLoginSettingsStore &standard();

    LaunchAtLoginPreferenceStore preferenceStore;
};

// --- Integer stores.

// How long the panel keeps the last query and its results after it was hidden, in seconds.
struct SessionPersistenceSettingsStore {
    explicit SessionPersistenceSettingsStore(UserDefaults &defaults);
    static const SessionPersistenceSettingsStore &standard();
    qint64 load() const;

    UserDefaults *defaults;
    QString persistenceSecondsKey = QStringLiteral("launcherSessionPersistenceSeconds");
    qint64 minimumSeconds = 0;
    qint64 maximumSeconds = 120;
    qint64 defaultSeconds = 10;
};

// The pause after a keystroke before the panel searches, in milliseconds.
struct SearchDebounceSettingsStore {
    explicit SearchDebounceSettingsStore(UserDefaults &defaults);
    static const SearchDebounceSettingsStore &standard();
    qint64 load() const;

    UserDefaults *defaults;
    QString debounceMillisecondsKey = QStringLiteral("launcherSearchDebounceMilliseconds");
    qint64 minimumMilliseconds = 10;
    qint64 maximumMilliseconds = 500;
    qint64 defaultMilliseconds = 50;
};

// --- Translation settings.

// The word that starts a translation command. Readers pass rawTrigger() through the command parser's
// trigger normalisation with `defaultTrigger` as the fallback; writers store the normalised word.
struct TranslationCommandSettingsStore {
    explicit TranslationCommandSettingsStore(UserDefaults &defaults);
    static const TranslationCommandSettingsStore &standard();
    // The text stored under the key, or `defaultTrigger` when there is none (not normalised).
    QString rawTrigger() const;

    UserDefaults *defaults;
    QString translationTriggerKey = QStringLiteral("launcherTranslationTrigger");
    QString defaultTrigger = QStringLiteral("cc");
};

// The language codes a translation command may use, stored as one comma-joined text.
struct TranslationLanguageSettingsStore {
    explicit TranslationLanguageSettingsStore(UserDefaults &defaults);
    static const TranslationLanguageSettingsStore &standard();

    // At least two and at most `maxLanguageCodes` normalised codes.
    QStringList load() const;
    // Normalises as load() does, completes to two codes and stores them joined by ",".
    void save(const QString &rawValue) const;

    // Each code normalised, empty ones and repeats dropped, at most `maxLanguageCodes`; may be empty.
    QStringList normalizedLanguageCodes(const QStringList &codes) const;
    // The same for a comma-joined text.
    QStringList normalizedLanguageCodesFromRawValue(const QString &rawValue) const;

    UserDefaults *defaults;
    QString languageCodesKey = QStringLiteral("launcherTranslationLanguageCodes");
    QStringList defaultLanguageCodes = {QStringLiteral("en"), QStringLiteral("de")};
    qint64 maxLanguageCodes = 8;

private:
    // Trimmed and lowercased, keeping only letters of any script and "-".
    static QString normalizeLanguageCode(const QString &code);
    QStringList withMinimumLanguageCount(QStringList codes) const;
};

// The translation engines, in their declared order.
enum class TranslationEngineID { apple, argos };

inline constexpr std::array<TranslationEngineID, 2> allTranslationEngineIDs{TranslationEngineID::apple,
                                                                            TranslationEngineID::argos};

// "apple" or "argos"; also the engine's identity.
QString rawValue(TranslationEngineID engine);
// Exact text; anything else is no engine.
std::optional<TranslationEngineID> translationEngineIDFromRawValue(const QString &text);

inline size_t qHash(TranslationEngineID engine, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(engine), seed);
}

using TranslationEngineIDs = QList<TranslationEngineID>;
using TranslationEngineIDSet = QSet<TranslationEngineID>;

// The loaded engine settings.
struct TranslationEnginePreferences {
    // Every engine exactly once.
    TranslationEngineIDs order;
    // Never empty; known engines only.
    TranslationEngineIDSet enabled;

    // The engines a lookup tries, first to last: `order` limited to `enabled`.
    TranslationEngineIDs prioritizedEnabledEngineIDs() const;

    bool operator==(const TranslationEnginePreferences &other) const = default;
};

// Order and enabled set of the translation engines, each stored as engine raw values joined by ",".
struct TranslationEngineSettingsStore {
    explicit TranslationEngineSettingsStore(UserDefaults &defaults);
    static const TranslationEngineSettingsStore &standard();

    TranslationEnginePreferences load() const;
    // Stores the normalised order, then the enabled engines in that order.
    void save(const TranslationEngineIDs &order, const TranslationEngineIDSet &enabled) const;

    // Later repeats dropped, then the missing engines of `defaultOrder`, then of every engine.
    TranslationEngineIDs normalizedEngineOrder(const TranslationEngineIDs &engines) const;
    // Known engines only; when none remain `defaultEnabled`, and when that is empty too {argos}.
    TranslationEngineIDSet normalizedEnabledEngineIDs(const TranslationEngineIDSet &engines) const;

    UserDefaults *defaults;
    QString orderKey = QStringLiteral("launcherTranslationEngineOrder");
    QString enabledKey = QStringLiteral("launcherTranslationEngineEnabled");
    TranslationEngineIDs defaultOrder = {TranslationEngineID::apple, TranslationEngineID::argos};
    TranslationEngineIDSet defaultEnabled = {TranslationEngineID::apple, TranslationEngineID::argos};

private:
    // Nothing for no text or a text without a known engine; repeats are kept.
    static std::optional<TranslationEngineIDs> parseEngineIDs(const std::optional<QString> &rawValue);
    static QString encodeEngineIDs(const TranslationEngineIDs &engines);
};

// --- Panel and shell stores whose loading belongs to their owners.

// The panel's colour themes, in their declared order (also the order of the theme catalog). The colours
// are the panel's (panel/LauncherTheme.h); the identity lives here because the stored choice is a
// preference like any other.
enum class LauncherThemeID {
    graphite,
    vitesseDarkSoft,
    vitesseDarkSoftUnified,
    vitesseDarkSoftRoseHover,
    midnightBlue,
    forest,
    violetNoir,
    sunset,
    roseDust,
    frost,
    ember,
    daylight,
};

inline constexpr std::array<LauncherThemeID, 12> allLauncherThemeIDs{
    LauncherThemeID::graphite,
    LauncherThemeID::vitesseDarkSoft,
    LauncherThemeID::vitesseDarkSoftUnified,
    LauncherThemeID::vitesseDarkSoftRoseHover,
    LauncherThemeID::midnightBlue,
    LauncherThemeID::forest,
    LauncherThemeID::violetNoir,
    LauncherThemeID::sunset,
    LauncherThemeID::roseDust,
    LauncherThemeID::frost,
    LauncherThemeID::ember,
    LauncherThemeID::daylight,
};

// The case name, e.g. "vitesseDarkSoft"; also the theme's identity and its stored form.
QString rawValue(LauncherThemeID theme);
// Exactly one of the twelve case names (letter case counts); anything else is no theme.
std::optional<LauncherThemeID> launcherThemeIDFromRawValue(const QString &text);

inline size_t qHash(LauncherThemeID theme, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(theme), seed);
}

// The panel's colour theme.
struct LauncherThemeStore {
    explicit LauncherThemeStore(UserDefaults &defaults);
    static const LauncherThemeStore &standard();

    // The stored theme; graphite when none is stored or the text names no theme.
    LauncherThemeID load() const;
    // Stores the theme's raw text, then posts "LauncherThemeChanged".
    void save(LauncherThemeID theme, NotificationCenter &center = NotificationCenter::defaultCenter()) const;

    UserDefaults *defaults;
    QString themeKey = QStringLiteral("launcherThemeID");
};

// Whether rows show the applications' own icons.
struct LauncherIconSettingsStore {
    explicit LauncherIconSettingsStore(UserDefaults &defaults);
    static const LauncherIconSettingsStore &standard();

    // The stored Boolean, else the caller's default.
    bool load(bool defaultUseNativeAppIcons) const;
    // Stores the Boolean, then posts "LauncherIconSettingsChanged".
    void save(bool useNativeAppIcons, NotificationCenter &center = NotificationCenter::defaultCenter()) const;

    UserDefaults *defaults;
    QString useNativeAppIconsKey = QStringLiteral("launcherUseNativeAppIcons");
};

// The application's hot-key store: the standard database and the launcher's four hot-key keys.
const HotKeySettingsStore &standardHotKeySettingsStore();

// The launcher panel's group of stores.
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
