#include "SearchRankingSettings.h"

#include "LauncherSettingsStores.h"

#include "platform/StringUtils.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace orvex {

namespace {

// Shortcut-file endings that are stripped from names whatever the rules say.
const std::array<QLatin1StringView, 8> fixedStrippingSuffixes{
    QLatin1StringView(".gsheet.url"), QLatin1StringView(".gdoc.url"), QLatin1StringView(".gslides.url"),
    QLatin1StringView(".url"),        QLatin1StringView(".webloc"),   QLatin1StringView(".gsheet"),
    QLatin1StringView(".gdoc"),       QLatin1StringView(".gslides"),
};

// User-perceived characters; most suffixes are plain ASCII, where that is the UTF-16 length.
qsizetype characterCount(const QString &text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x300 || c == QLatin1Char('\r'))
            return StringUtils::graphemeCount(text);
    return text.size();
}

// Orders UTF-16 text by code point: surrogates (code points above U+FFFF) sort after U+E000..U+FFFF.
bool codePointLess(const QString &a, const QString &b) {
    auto rank = [](char16_t unit) -> quint32 {
        if (unit >= 0xE000)
            return unit - 0x800u;
        if (unit >= 0xD800)
            return unit + 0x2000u;
        return unit;
    };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a.at(i).unicode();
        const char16_t y = b.at(i).unicode();
        if (x != y)
            return rank(x) < rank(y);
    }
    return a.size() < b.size();
}

// A JSON string as the platform's standard writer spells it, "/" included.
void appendJsonString(QByteArray &out, const QString &text) {
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// A stored boost: any whole number, saturated to 64 bits (the store's limits apply later). Nothing for
// another type or a fraction, which makes the stored list undecodable.
std::optional<qint64> decodeBoost(const QJsonValue &value) {
    if (!value.isDouble())
        return std::nullopt;
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong)
        return variant.toLongLong();
    return clampedWholeNumber(value.toDouble(), std::numeric_limits<qint64>::min(),
                              std::numeric_limits<qint64>::max());
}

std::optional<QUuid> decodeUuid(const QJsonValue &value) {
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    // Only the plain hyphenated form, as the rules are written.
    if (text.size() != 36)
        return std::nullopt;
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != QLatin1StringView("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return uuid;
}

std::optional<ExtensionBoostRules> decodeRules(const QByteArray &data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    ExtensionBoostRules rules;
    rules.reserve(array.size());
    for (const QJsonValue element : array) {
        if (!element.isObject())
            return std::nullopt;
        const QJsonObject object = element.toObject();
        const auto id = decodeUuid(object.value(QLatin1StringView("id")));
        const QJsonValue suffix = object.value(QLatin1StringView("suffix"));
        const auto boost = decodeBoost(object.value(QLatin1StringView("boost")));
        if (!id || !suffix.isString() || !boost)
            return std::nullopt;
        rules.append({.id = *id, .suffix = suffix.toString(), .boost = *boost});
    }
    return rules;
}

} // namespace

// --- SearchRankingPreferences.

SearchRankingPreferences::SearchRankingPreferences(ExtensionBoostRules extensionBoostRules)
    : extensionBoostRules_(std::move(extensionBoostRules)) {
    std::vector<std::pair<qsizetype, const ExtensionBoostRule *>> byLength;
    byLength.reserve(extensionBoostRules_.size());
    for (const ExtensionBoostRule &rule : extensionBoostRules_)
        byLength.emplace_back(characterCount(rule.suffix), &rule);
    std::stable_sort(byLength.begin(), byLength.end(), [](const auto &a, const auto &b) {
        if (a.first != b.first)
            return a.first > b.first;
        return StringUtils::localizedCaseInsensitiveCompare(a.second->suffix, b.second->suffix) < 0;
    });
    longestMatchFirstBoostRules_.reserve(extensionBoostRules_.size());
    for (const auto &entry : byLength)
        longestMatchFirstBoostRules_.append(*entry.second);

    QSet<QString> suffixes;
    for (const ExtensionBoostRule &rule : extensionBoostRules_)
        suffixes.insert(rule.suffix);
    for (const QLatin1StringView suffix : fixedStrippingSuffixes)
        suffixes.insert(suffix);
    std::vector<std::pair<qsizetype, QString>> counted;
    counted.reserve(suffixes.size());
    for (const QString &suffix : std::as_const(suffixes))
        counted.emplace_back(characterCount(suffix), suffix);
    std::sort(counted.begin(), counted.end(), [](const auto &a, const auto &b) {
        if (a.first != b.first)
            return a.first > b.first;
        return codePointLess(a.second, b.second);
    });
    sortedSuffixesForBasenameStripping_.reserve(qsizetype(counted.size()));
    for (auto &entry : counted)
        sortedSuffixesForBasenameStripping_.append(std::move(entry.second));
}

QString SearchRankingPreferences::cacheKey() const {
    // Built by hand: the key is fixed byte for byte (sorted keys, "/" escaped), which Qt's writer
    // does not produce.
    QByteArray json = "[";
    for (qsizetype i = 0; i < longestMatchFirstBoostRules_.size(); ++i) {
        const ExtensionBoostRule &rule = longestMatchFirstBoostRules_.at(i);
        if (i > 0)
            json += ',';
        json += "{\"boost\":";
        json += QByteArray::number(rule.boost);
        json += ",\"suffix\":";
        appendJsonString(json, rule.suffix);
        json += '}';
    }
    json += ']';
    return QString::fromLatin1(json.toBase64());
}

qint64 SearchRankingPreferences::extensionBoost(const SearchResult &result) const {
    if (result.kind() == SearchResultKind::action)
        return 0;
    return extensionBoostForLowercasedFilename(result.filename().toLower());
}

qint64
SearchRankingPreferences::extensionBoostForLowercasedFilename(const QString &lowercasedFilename) const {
    for (const ExtensionBoostRule &rule : longestMatchFirstBoostRules_)
        if (lowercasedFilename.endsWith(rule.suffix))
            return rule.boost;
    return 0;
}

// --- SearchRankingSettingsStore.

SearchRankingSettingsStore::SearchRankingSettingsStore(UserDefaults &defaults) : defaults(&defaults) {
    const std::pair<const char *, qint64> rules[] = {
        {".gsheet", 140}, {".gdoc", 120}, {".url", 320}, {".webloc", 320},
        {".app", 120},    {".pdf", 40},   {".txt", 10},
    };
    for (const auto &[suffix, boost] : rules)
        defaultExtensionBoostRules.append(
            {.id = QUuid::createUuid(), .suffix = QString::fromLatin1(suffix), .boost = boost});
}

const SearchRankingSettingsStore &SearchRankingSettingsStore::standard() {
    static const SearchRankingSettingsStore store(UserDefaults::standard());
    return store;
}

std::optional<QString> SearchRankingSettingsStore::normalizedSuffix(const QString &suffix) {
    QString text = StringUtils::trimmedWhitespaceAndNewlines(suffix).toLower();
    text.remove(QLatin1Char(' '));
    qsizetype stars = 0;
    while (stars < text.size() && text.at(stars) == QLatin1Char('*'))
        ++stars;
    text.remove(0, stars);
    if (text.isEmpty())
        return std::nullopt;
    if (!text.startsWith(QLatin1Char('.')))
        text.prepend(QLatin1Char('.'));
    if (text == QLatin1StringView("."))
        return std::nullopt;
    return text;
}

ExtensionBoostRules
SearchRankingSettingsStore::normalizedExtensionBoostRules(const ExtensionBoostRules &rules) const {
    ExtensionBoostRules result;
    result.reserve(rules.size());
    QHash<QString, qsizetype> positions;
    for (const ExtensionBoostRule &rule : rules) {
        auto suffix = normalizedSuffix(rule.suffix);
        if (!suffix)
            continue;
        const ExtensionBoostRule normalized{.id = rule.id,
                                            .suffix = *suffix,
                                            .boost =
                                                std::min(std::max(rule.boost, minimumBoost), maximumBoost)};
        const auto existing = positions.constFind(*suffix);
        if (existing != positions.constEnd()) {
            result[*existing] = normalized;
        } else {
            positions.insert(*suffix, result.size());
            result.append(normalized);
        }
    }
    return result;
}

std::optional<QString> SearchRankingSettingsStore::validationMessage(const ExtensionBoostRules &rules) {
    QStringList suffixes;
    suffixes.reserve(rules.size());
    for (const ExtensionBoostRule &rule : rules) {
        auto suffix = normalizedSuffix(rule.suffix);
        if (!suffix)
            return QStringLiteral("Complete or delete empty suffix rules before saving.");
        suffixes.append(std::move(*suffix));
    }
    QSet<QString> seen;
    for (const QString &suffix : std::as_const(suffixes)) {
        if (seen.contains(suffix))
            return QStringLiteral("Each suffix can only appear once.");
        seen.insert(suffix);
    }
    return std::nullopt;
}

SearchRankingPreferences SearchRankingSettingsStore::load() const {
    if (const auto data = defaults->dataValue(extensionBoostRulesKey))
        if (const auto rules = decodeRules(*data))
            return SearchRankingPreferences(normalizedExtensionBoostRules(*rules));
    return SearchRankingPreferences(normalizedExtensionBoostRules(defaultExtensionBoostRules));
}

void SearchRankingSettingsStore::save(const ExtensionBoostRules &extensionBoostRules) const {
    QJsonArray array;
    for (const ExtensionBoostRule &rule : normalizedExtensionBoostRules(extensionBoostRules))
        array.append(QJsonObject{
            {QStringLiteral("id"), rule.id.toString(QUuid::WithoutBraces)},
            {QStringLiteral("suffix"), rule.suffix},
            {QStringLiteral("boost"), rule.boost},
        });
    defaults->set(extensionBoostRulesKey, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace orvex
