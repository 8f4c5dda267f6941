#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>

#include <optional>

namespace orvex::JsonFields {

// Typed reads of stored JSON: a value of another type reads as nothing. Integers are read exactly,
// never through a double, because ids use the whole 64-bit range.
inline std::optional<qint64> integerValue(const QJsonValue &value) {
    if (!value.isDouble())
        return std::nullopt;
    const qint64 a = value.toInteger(0);
    if (a != value.toInteger(1))
        return std::nullopt;
    return a;
}

inline std::optional<QString> stringValue(const QJsonValue &value) {
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// An optional key may be missing or null; any other type fails the record (answers false).
template <typename T, typename Read>
bool readOptional(const QJsonObject &object, QLatin1String key, std::optional<T> &out, Read read) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    out = read(value);
    return out.has_value();
}

// Writes the key only when the value is present.
template <typename T>
void insertOptional(QJsonObject &object, QLatin1String key, const std::optional<T> &value) {
    if (value)
        object.insert(key, *value);
}

} // namespace orvex::JsonFields
