#pragma once

#include "Clock.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <variant>

namespace orvex {

// One property-list value: what the defaults database stores and what property-list files hold.
// Typed reads answer nothing when the value holds another type, so callers can tell
// "present with another type" from a real value.
class PlistValue {
public:
    using Array = QList<PlistValue>;
    using Dictionary = QMap<QString, PlistValue>;
    // A value read from a file that this build does not understand (an integer beyond 64 bits, a
    // UID, a set, nesting past the depth limit), kept so that it is written back unchanged: a
    // complete binary property list whose top object is the value. No typed read answers for it.
    struct Opaque {
        QByteArray binaryPropertyList;
        bool operator==(const Opaque &) const = default;
    };

    enum class Type { Boolean, Integer, Real, String, Data, Date, Array, Dictionary, Opaque };

    PlistValue(bool value) : value_(value) {}
    PlistValue(qint64 value) : value_(value) {}
    PlistValue(int value) : value_(static_cast<qint64>(value)) {}
    PlistValue(double value) : value_(value) {}
    PlistValue(QString value) : value_(std::move(value)) {}
    PlistValue(const char *) = delete; // say QStringLiteral or QString explicitly
    PlistValue(QByteArray value) : value_(std::move(value)) {}
    PlistValue(orvex::Date value) : value_(value) {}
    PlistValue(Array value) : value_(std::move(value)) {}
    PlistValue(Dictionary value) : value_(std::move(value)) {}
    PlistValue(Opaque value) : value_(std::move(value)) {}

    Type type() const { return static_cast<Type>(value_.index()); }

    std::optional<bool> toBool() const { return get<bool>(); }
    std::optional<qint64> toInteger() const { return get<qint64>(); }
    std::optional<double> toReal() const { return get<double>(); }
    std::optional<QString> toString() const { return get<QString>(); }
    std::optional<QByteArray> toData() const { return get<QByteArray>(); }
    std::optional<orvex::Date> toDate() const { return get<orvex::Date>(); }
    std::optional<Array> toArray() const { return get<Array>(); }
    std::optional<Dictionary> toDictionary() const { return get<Dictionary>(); }

    // Pointers into the value for reading nested structures without copies; null on another type.
    const Array *arrayPointer() const { return std::get_if<Array>(&value_); }
    const Dictionary *dictionaryPointer() const { return std::get_if<Dictionary>(&value_); }
    const QString *stringPointer() const { return std::get_if<QString>(&value_); }
    const Opaque *opaquePointer() const { return std::get_if<Opaque>(&value_); }

    bool operator==(const PlistValue &other) const;

private:
    template <typename T> std::optional<T> get() const {
        if (const T *p = std::get_if<T>(&value_))
            return *p;
        return std::nullopt;
    }

    std::variant<bool, qint64, double, QString, QByteArray, orvex::Date, Array, Dictionary, Opaque> value_;
};

} // namespace orvex
