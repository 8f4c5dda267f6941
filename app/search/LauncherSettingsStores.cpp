#include "LauncherSettingsStores.h"

#include "platform/StringUtils.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

std::optional<qint64> clampedWholeNumber(double value, qint64 minimum, qint64 maximum) {
    if (!std::isfinite(value) || std::trunc(value) != value)
        return std::nullopt;
    // Saturate before converting: a double outside the 64-bit range must never reach the cast.
    constexpr double twoToThe63 = 9223372036854775808.0;
    qint64 whole;
    if (value >= twoToThe63)
        whole = std::numeric_limits<qint64>::max();
    else if (value < -twoToThe63)
        whole = std::numeric_limits<qint64>::min();
    else
        whole = static_cast<qint64>(value);
    return std::min(std::max(whole, minimum), maximum);
}

std::optional<qint64> clampedStoredInteger(const PlistValue &value, qint64 minimum, qint64 maximum) {
    if (const auto integer = value.toInteger())
        return std::min(std::max(*integer, minimum), maximum);
    if (const auto real = value.toReal())
        return clampedWholeNumber(*real, minimum, maximum);
    return std::nullopt;
}

qint64 storedClampedInteger(const UserDefaults &defaults, const QString &key, qint64 minimum, qint64 maximum,
                            qint64 defaultValue) {
    if (const auto stored = defaults.value(key))
        if (const auto clamped = clampedStoredInteger(*stored, minimum, maximum))
            return *clamped;
    return std::min(std::max(defaultValue, minimum), maximum);
}

// --- Translation trigger.

TranslationCommandSettingsStore::TranslationCommandSettingsStore(UserDefaults &defaults)
    : defaults(&defaults) {}
const TranslationCommandSettingsStore &TranslationCommandSettingsStore::standard() {
    static const TranslationCommandSettingsStore store(UserDefaults::standard());
    return store;
}
QString TranslationCommandSettingsStore::rawTrigger() const {
    return defaults->stringValue(translationTriggerKey).value_or(defaultTrigger);
}

// --- Translation languages.

TranslationLanguageSettingsStore::TranslationLanguageSettingsStore(UserDefaults &defaults)
    : defaults(&defaults) {}
const TranslationLanguageSettingsStore &TranslationLanguageSettingsStore::standard() {
    static const TranslationLanguageSettingsStore store(UserDefaults::standard());
    return store;
}

QString TranslationLanguageSettingsStore::normalizeLanguageCode(const QString &code) {
    const QString lowered = StringUtils::trimmedWhitespaceAndNewlines(code).toLower();
    QString result;
    result.reserve(lowered.size());
    // Judged per user-perceived character, so a letter keeps its combining marks.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, lowered);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        const QStringView grapheme = QStringView(lowered).sliced(start, end - start);
        start = end;
        const char32_t first = grapheme.toUcs4().value(0);
        if (QChar::isLetter(first) || grapheme == u"-")
            result += grapheme;
    }
    return result;
}

QStringList TranslationLanguageSettingsStore::normalizedLanguageCodes(const QStringList &codes) const {
    QStringList result;
    for (const QString &code : codes) {
        if (result.size() >= maxLanguageCodes)
            break;
        const QString normalized = normalizeLanguageCode(code);
        if (!normalized.isEmpty() && !result.contains(normalized))
            result.append(normalized);
    }
    return result;
}

QStringList
TranslationLanguageSettingsStore::normalizedLanguageCodesFromRawValue(const QString &rawValue) const {
    return normalizedLanguageCodes(rawValue.split(QLatin1Char(','), Qt::SkipEmptyParts));
}

QStringList TranslationLanguageSettingsStore::withMinimumLanguageCount(QStringList codes) const {
    if (codes.size() >= 2)
        return codes;
    for (const QString &code : normalizedLanguageCodes(defaultLanguageCodes)) {
        if (codes.size() >= 2)
            break;
        if (!codes.contains(code))
            codes.append(code);
    }
    for (const QString &fallback : {QStringLiteral("en"), QStringLiteral("de")})
        if (codes.size() < 2 && !codes.contains(fallback))
            codes.append(fallback);
    // A store built with a limit below two still never answers more than its limit.
    const qint64 limit = std::max<qint64>(maxLanguageCodes, 0);
    if (codes.size() > limit)
        codes.resize(limit);
    return codes;
}

QStringList TranslationLanguageSettingsStore::load() const {
    if (const auto stored = defaults->stringValue(languageCodesKey)) {
        const QStringList codes = normalizedLanguageCodesFromRawValue(*stored);
        if (!codes.isEmpty())
            return withMinimumLanguageCount(codes);
    }
    return withMinimumLanguageCount(normalizedLanguageCodes(defaultLanguageCodes));
}

void TranslationLanguageSettingsStore::save(const QString &rawValue) const {
    QStringList codes = normalizedLanguageCodesFromRawValue(rawValue);
    if (codes.isEmpty())
        codes = normalizedLanguageCodes(defaultLanguageCodes);
    defaults->set(languageCodesKey, withMinimumLanguageCount(codes).join(QLatin1Char(',')));
}

// --- Translation engines.

QString rawValue(TranslationEngineID engine) {
    switch (engine) {
    case TranslationEngineID::apple:
        return QStringLiteral("apple");
    case TranslationEngineID::argos:
        return QStringLiteral("argos");
    }
    return QString();
}

std::optional<TranslationEngineID> translationEngineIDFromRawValue(const QString &text) {
    for (const TranslationEngineID engine : allTranslationEngineIDs)
        if (text == rawValue(engine))
            return engine;
    return std::nullopt;
}

namespace {

bool isKnownEngine(TranslationEngineID engine) {
    return std::find(allTranslationEngineIDs.begin(), allTranslationEngineIDs.end(), engine) !=
           allTranslationEngineIDs.end();
}

} // namespace

TranslationEngineIDs TranslationEnginePreferences::prioritizedEnabledEngineIDs() const {
    TranslationEngineIDs result;
    for (const TranslationEngineID engine : order)
        if (enabled.contains(engine))
            result.append(engine);
    return result;
}

TranslationEngineSettingsStore::TranslationEngineSettingsStore(UserDefaults &defaults)
    : defaults(&defaults) {}
const TranslationEngineSettingsStore &TranslationEngineSettingsStore::standard() {
    static const TranslationEngineSettingsStore store(UserDefaults::standard());
    return store;
}

std::optional<TranslationEngineIDs>
TranslationEngineSettingsStore::parseEngineIDs(const std::optional<QString> &rawValue) {
    if (!rawValue)
        return std::nullopt;
    TranslationEngineIDs engines;
    for (const QString &piece : rawValue->split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const auto engine =
                translationEngineIDFromRawValue(StringUtils::trimmedWhitespaceAndNewlines(piece).toLower()))
            engines.append(*engine);
    if (engines.isEmpty())
        return std::nullopt;
    return engines;
}

QString TranslationEngineSettingsStore::encodeEngineIDs(const TranslationEngineIDs &engines) {
    QStringList texts;
    for (const TranslationEngineID engine : engines)
        texts.append(rawValue(engine));
    return texts.join(QLatin1Char(','));
}

TranslationEngineIDs
TranslationEngineSettingsStore::normalizedEngineOrder(const TranslationEngineIDs &engines) const {
    TranslationEngineIDs result;
    auto add = [&result](TranslationEngineID engine) {
        if (isKnownEngine(engine) && !result.contains(engine))
            result.append(engine);
    };
    for (const TranslationEngineID engine : engines)
        add(engine);
    for (const TranslationEngineID engine : defaultOrder)
        add(engine);
    for (const TranslationEngineID engine : allTranslationEngineIDs)
        add(engine);
    return result;
}

TranslationEngineIDSet
TranslationEngineSettingsStore::normalizedEnabledEngineIDs(const TranslationEngineIDSet &engines) const {
    auto known = [](const TranslationEngineIDSet &set) {
        TranslationEngineIDSet result;
        for (const TranslationEngineID engine : set)
            if (isKnownEngine(engine))
                result.insert(engine);
        return result;
    };
    TranslationEngineIDSet result = known(engines);
    if (result.isEmpty())
        result = known(defaultEnabled);
    if (result.isEmpty())
        result = {TranslationEngineID::argos};
    return result;
}

TranslationEnginePreferences TranslationEngineSettingsStore::load() const {
    const auto storedOrder = parseEngineIDs(defaults->stringValue(orderKey));
    const auto storedEnabled = parseEngineIDs(defaults->stringValue(enabledKey));
    TranslationEnginePreferences preferences;
    preferences.order = normalizedEngineOrder(storedOrder.value_or(defaultOrder));
    preferences.enabled =
        storedEnabled
            ? normalizedEnabledEngineIDs(TranslationEngineIDSet(storedEnabled->begin(), storedEnabled->end()))
            : normalizedEnabledEngineIDs(defaultEnabled);
    return preferences;
}

void TranslationEngineSettingsStore::save(const TranslationEngineIDs &order,
                                          const TranslationEngineIDSet &enabled) const {
    const TranslationEngineIDs normalizedOrder = normalizedEngineOrder(order);
    const TranslationEngineIDSet normalizedEnabled = normalizedEnabledEngineIDs(enabled);
    TranslationEngineIDs enabledInOrder;
    for (const TranslationEngineID engine : normalizedOrder)
        if (normalizedEnabled.contains(engine))
            enabledInOrder.append(engine);
    defaults->set(orderKey, encodeEngineIDs(normalizedOrder));
    defaults->set(enabledKey, encodeEngineIDs(enabledInOrder));
}

} // namespace orvex
