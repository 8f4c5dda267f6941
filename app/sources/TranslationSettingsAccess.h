#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

class UserDefaults;

// Interim: the translation engine identifiers and readers of the translation settings, until the
// launcher's settings stores provide them.
enum class TranslationEngineID { apple, argos };
using TranslationEngineIDs = QList<TranslationEngineID>;

QString rawValue(TranslationEngineID engine);
std::optional<TranslationEngineID> translationEngineIDFromRawValue(const QString &text);
inline size_t qHash(TranslationEngineID engine, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(engine), seed);
}

namespace TranslationSettingsAccess {

// The stored trigger word as stored ("cc" when none), not normalised.
QString rawTrigger(const UserDefaults &defaults);
QString defaultTrigger();
// The configured language codes: normalised, at least two, at most eight.
QStringList languageCodes(const UserDefaults &defaults);
// The enabled engines in the configured order.
TranslationEngineIDs prioritizedEnabledEngineIDs(const UserDefaults &defaults);

} // namespace TranslationSettingsAccess
} // namespace orvex
