#include "sources/TranslationSettingsAccess.h"

#include "platform/UserDefaults.h"
#include "sources/TranslationCommand.h"

#include <QSet>

namespace orvex {

QString rawValue(TranslationEngineID engine) {
    return engine == TranslationEngineID::apple ? QStringLiteral("apple") : QStringLiteral("argos");
}

std::optional<TranslationEngineID> translationEngineIDFromRawValue(const QString &text) {
    if (text == QLatin1String("apple"))
        return TranslationEngineID::apple;
    if (text == QLatin1String("argos"))
        return TranslationEngineID::argos;
    return std::nullopt;
}

namespace TranslationSettingsAccess {

namespace {

std::optional<TranslationEngineIDs> parseEngineIDs(const std::optional<QString> &raw) {
    if (!raw)
        return std::nullopt;
    TranslationEngineIDs engines;
    for (const QString &piece : raw->split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const auto engine = translationEngineIDFromRawValue(piece.trimmed().toLower()))
            engines.append(*engine);
    if (engines.isEmpty())
        return std::nullopt;
    return engines;
}

} // namespace

QString defaultTrigger() {
    return QStringLiteral("cc");
}

QString rawTrigger(const UserDefaults &defaults) {
    return defaults.stringValue(QStringLiteral("launcherTranslationTrigger")).value_or(defaultTrigger());
}

QStringList languageCodes(const UserDefaults &defaults) {
    QStringList codes;
    if (const auto raw = defaults.stringValue(QStringLiteral("launcherTranslationLanguageCodes"))) {
        for (const QString &piece : raw->split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString code = TranslationCommandParser::normalizedLanguageCode(piece);
            if (!code.isEmpty() && !codes.contains(code) && codes.size() < 8)
                codes.append(code);
        }
    }
    for (const QString &fallback : {QStringLiteral("en"), QStringLiteral("de")})
        if (codes.size() < 2 && !codes.contains(fallback))
            codes.append(fallback);
    return codes;
}

TranslationEngineIDs prioritizedEnabledEngineIDs(const UserDefaults &defaults) {
    const TranslationEngineIDs all = {TranslationEngineID::apple, TranslationEngineID::argos};
    TranslationEngineIDs order;
    for (TranslationEngineID engine :
         parseEngineIDs(defaults.stringValue(QStringLiteral("launcherTranslationEngineOrder"))).value_or(all))
        if (!order.contains(engine))
            order.append(engine);
    for (TranslationEngineID engine : all)
        if (!order.contains(engine))
            order.append(engine);
    const auto enabledList =
        parseEngineIDs(defaults.stringValue(QStringLiteral("launcherTranslationEngineEnabled")))
            .value_or(all);
    const QSet<TranslationEngineID> enabled(enabledList.begin(), enabledList.end());
    TranslationEngineIDs result;
    for (TranslationEngineID engine : order)
        if (enabled.contains(engine))
            result.append(engine);
    return result;
}

} // namespace TranslationSettingsAccess
} // namespace orvex
