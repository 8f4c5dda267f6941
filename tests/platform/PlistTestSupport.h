#pragma once

#include "platform/PlistValue.h"
#include "platform/PropertyList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

#include <optional>
#include <ostream>

namespace orvex {

// Failure messages show values as the XML they would be written as, or, for values XML cannot
// carry, as the bytes of their binary form.
inline void PrintTo(const PlistValue &value, std::ostream *out) {
    const QByteArray xml = PropertyList::writeXml(value);
    *out << (xml.isEmpty() ? PropertyList::writeBinary(value).left(64).toHex(' ') + " ..." : xml)
                .toStdString();
}

namespace test {

// The binary property list of an opaque value: what it keeps, or nothing for other values.
inline QByteArray opaqueBytes(const std::optional<PlistValue> &value) {
    return value && value->opaquePointer() ? value->opaquePointer()->binaryPropertyList : QByteArray();
}

// The value under `key`, or nothing.
inline std::optional<PlistValue> entry(const PlistValue::Dictionary &dictionary, const char *key) {
    const auto it = dictionary.find(QString::fromUtf8(key));
    return it == dictionary.end() ? std::nullopt : std::optional<PlistValue>(*it);
}

// Assembles binary property lists byte by byte, so that tests can state exactly what the reader meets.
//
//   "bplist00"                          8-byte header
//   objects                             each a marker byte (high nibble type, low nibble size) and payload
//   offset table                        one big-endian offset per object, `offsetSize` bytes each
//   trailer (32 bytes)                  6 zero bytes, offsetSize, refSize, object count (8 bytes),
//                                       top object (8 bytes), offset-table position (8 bytes), big-endian
//
// Object references inside arrays and dictionaries are `refSize`-byte indexes into the offset table.
struct BinaryPlistBuilder {
    int offsetSize = 1;
    int refSize = 1;
    quint64 top = 0;
    QList<QByteArray> objects;
    // Trailer fields written instead of the true ones, to make broken files.
    std::optional<quint64> objectCountOverride;
    std::optional<quint64> tableOffsetOverride;

    static QByteArray bigEndian(quint64 value, int width) {
        QByteArray bytes(width, '\0');
        for (int i = width - 1; i >= 0; --i, value >>= 8)
            bytes[i] = static_cast<char>(value & 0xff);
        return bytes;
    }

    int add(const QByteArray &object) {
        objects.append(object);
        return static_cast<int>(objects.size() - 1);
    }
    QByteArray ref(quint64 index) const { return bigEndian(index, refSize); }

    // Marker with a size nibble, or 0xF and an integer object holding the size.
    static QByteArray header(int type, quint64 count) {
        if (count < 15)
            return QByteArray(1, static_cast<char>(type << 4 | static_cast<int>(count)));
        return QByteArray(1, static_cast<char>(type << 4 | 0x0f)) + QByteArray(1, '\x13') +
               bigEndian(count, 8);
    }
    static QByteArray integer(quint64 bits, int width) {
        const int nibble = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : width == 8 ? 3 : 4;
        return QByteArray(1, static_cast<char>(0x10 | nibble)) + bigEndian(bits, width);
    }
    static QByteArray real(double value) {
        QByteArray bytes(9, '\x23');
        qToBigEndian(value, bytes.data() + 1);
        return bytes;
    }
    static QByteArray date(double secondsSince2001) {
        QByteArray bytes = real(secondsSince2001);
        bytes[0] = '\x33';
        return bytes;
    }
    static QByteArray ascii(const QByteArray &text) {
        return header(0x5, static_cast<quint64>(text.size())) + text;
    }
    static QByteArray utf16(const QString &text) {
        QByteArray bytes = header(0x6, static_cast<quint64>(text.size()));
        for (QChar c : text)
            bytes += bigEndian(c.unicode(), 2);
        return bytes;
    }
    static QByteArray data(const QByteArray &bytes) {
        return header(0x4, static_cast<quint64>(bytes.size())) + bytes;
    }

    QByteArray array(const QList<quint64> &refs) const {
        QByteArray bytes = header(0xA, static_cast<quint64>(refs.size()));
        for (quint64 r : refs)
            bytes += ref(r);
        return bytes;
    }
    QByteArray dictionary(const QList<quint64> &keys, const QList<quint64> &values) const {
        QByteArray bytes = header(0xD, static_cast<quint64>(keys.size()));
        for (quint64 r : keys)
            bytes += ref(r);
        for (quint64 r : values)
            bytes += ref(r);
        return bytes;
    }

    QByteArray build() const {
        QByteArray out = "bplist00";
        QList<quint64> offsets;
        for (const QByteArray &object : objects) {
            offsets.append(static_cast<quint64>(out.size()));
            out += object;
        }
        const quint64 tableOffset = static_cast<quint64>(out.size());
        for (quint64 offset : offsets)
            out += bigEndian(offset, offsetSize);
        out += QByteArray(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize);
        out += bigEndian(objectCountOverride.value_or(static_cast<quint64>(objects.size())), 8);
        out += bigEndian(top, 8);
        out += bigEndian(tableOffsetOverride.value_or(tableOffset), 8);
        return out;
    }
};

} // namespace test
} // namespace orvex
