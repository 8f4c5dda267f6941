#pragma once

#include "platform/PlistValue.h"
#include "platform/UserDefaults.h"

#include <QHashFunctions>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace orvex {

// Typed stores of the preferences the search core reads, and the number readers that every preference
// store shares. A store is a plain value holding the defaults database, its key names and, for numbers,
// a default and limits. Loads never fail: a missing, mistyped or out-of-range value gives the default or
// is clamped. `standard()` is the process-wide store over UserDefaults::standard(); tests build their own
// over their own database. The stores only the panel, the settings window or the shell read live there.

// A stored whole number clamped to [minimum, maximum] (raised to the minimum, then lowered to the
// maximum). Integers of any size and whole reals of any size clamp; anything else (a fraction, NaN,
// an infinity, another type) gives nothing, so the caller falls back to its default.
std::optional<qint64> clampedWholeNumber(double value, qint64 minimum, qint64 maximum);
std::optional<qint64> clampedStoredInteger(const PlistValue &value, qint64 minimum, qint64 maximum);
// The whole number stored under `key` clamped as above; else `defaultValue`, clamped too.
qint64 storedClampedInteger(const UserDefaults &defaults, const QString &key, qint64 minimum, qint64 maximum,
                            qint64 defaultValue);

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

} // namespace orvex
