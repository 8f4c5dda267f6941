#include "PropertyList.h"

#include "SafeFile.h"

#include <QHash>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvex::PropertyList {

namespace {

// ---- Dates as text: "YYYY-MM-DDTHH:MM:SS[.fraction]Z", UTC -------------------------------------------

constexpr qint64 secondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr qint64 daysFromCivil(qint64 year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
    qint64 year;
    int month;
    int day;
};

constexpr CivilDate civilFromDays(qint64 days) {
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr qint64 referenceDay = daysFromCivil(2001, 1, 1);
constexpr qint64 earliestSecond = (daysFromCivil(1, 1, 1) - referenceDay) * secondsPerDay;
constexpr qint64 latestSecond =
    (daysFromCivil(9999, 12, 31) - referenceDay) * secondsPerDay + secondsPerDay - 1;
// More fraction digits than any double needs to be written exactly.
constexpr qsizetype maxFractionDigits = 1100;

int daysInMonth(qint64 year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool allDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int digitsValue(std::string_view text) {
    int value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// 10^n - digits, as n digits; `digits` must not be all zeros.
std::string complementDigits(std::string_view digits) {
    std::string result(digits.size(), '0');
    bool carry = true; // adding one to the nines' complement
    for (qsizetype i = static_cast<qsizetype>(digits.size()) - 1; i >= 0; --i) {
        int d = 9 - (digits[i] - '0') + (carry ? 1 : 0);
        carry = d == 10;
        result[i] = static_cast<char>('0' + (carry ? 0 : d));
    }
    return result;
}

// The double nearest to the exact decimal `wholeSeconds + 0.fraction`.
std::optional<double> secondsFromParts(qint64 wholeSeconds, std::string_view fraction) {
    std::string decimal;
    const bool fractionIsZero = fraction.find_first_not_of('0') == std::string_view::npos;
    if (wholeSeconds >= 0 || fractionIsZero) {
        decimal = std::to_string(wholeSeconds);
        if (!fraction.empty()) {
            decimal += '.';
            decimal += fraction;
        }
    } else {
        // -5 + 0.25 is -(4 + 0.75): write the negative number the way a decimal parser reads it.
        decimal = "-" + std::to_string(-wholeSeconds - 1) + "." + complementDigits(fraction);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
    if (error != std::errc() || end != decimal.data() + decimal.size())
        return std::nullopt;
    return value;
}

std::optional<Date> parseDate(const QString &text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    const std::string_view s(bytes.constData(), static_cast<size_t>(bytes.size()));
    // 2001-01-01T00:00:00Z with an optional fraction before the Z.
    if (s.size() < 20 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':' ||
        s.back() != 'Z')
        return std::nullopt;
    const std::string_view fields[] = {s.substr(0, 4),  s.substr(5, 2),  s.substr(8, 2),
                                       s.substr(11, 2), s.substr(14, 2), s.substr(17, 2)};
    for (const auto field : fields)
        if (!allDigits(field))
            return std::nullopt;
    std::string_view fraction;
    if (s.size() > 20) {
        fraction = s.substr(20, s.size() - 21);
        if (s[19] != '.' || fraction.empty() || fraction.size() > maxFractionDigits || !allDigits(fraction))
            return std::nullopt;
    }
    const qint64 year = digitsValue(fields[0]);
    const int month = digitsValue(fields[1]);
    const int day = digitsValue(fields[2]);
    const int hour = digitsValue(fields[3]);
    const int minute = digitsValue(fields[4]);
    const int second = digitsValue(fields[5]);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    const qint64 whole =
        (daysFromCivil(year, month, day) - referenceDay) * secondsPerDay + hour * 3600 + minute * 60 + second;
    const auto seconds = secondsFromParts(whole, fraction);
    if (!seconds)
        return std::nullopt;
    return Date(*seconds);
}

QString formatDateParts(qint64 wholeSeconds, std::string_view fraction) {
    const qint64 dayOffset = wholeSeconds >= 0 ? wholeSeconds / secondsPerDay
                                               : -((-wholeSeconds + secondsPerDay - 1) / secondsPerDay);
    const qint64 secondOfDay = wholeSeconds - dayOffset * secondsPerDay;
    const CivilDate date = civilFromDays(dayOffset + referenceDay);
    QString text = QStringLiteral("%1-%2-%3T%4:%5:%6")
                       .arg(date.year, 4, 10, QLatin1Char('0'))
                       .arg(date.month, 2, 10, QLatin1Char('0'))
                       .arg(date.day, 2, 10, QLatin1Char('0'))
                       .arg(secondOfDay / 3600, 2, 10, QLatin1Char('0'))
                       .arg(secondOfDay / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(secondOfDay % 60, 2, 10, QLatin1Char('0'));
    if (!fraction.empty())
        text +=
            QLatin1Char('.') + QString::fromLatin1(fraction.data(), static_cast<qsizetype>(fraction.size()));
    return text + QLatin1Char('Z');
}

// The shortest text that parseDate reads back as exactly `date`, for dates in years 1 to 9999.
QString formatDate(Date date) {
    double seconds = date.secondsSince2001();
    if (std::isnan(seconds))
        seconds = 0;
    if (seconds < static_cast<double>(earliestSecond))
        seconds = static_cast<double>(earliestSecond);
    else if (seconds >= static_cast<double>(latestSecond + 1))
        seconds = static_cast<double>(latestSecond);
    for (int precision = 0; precision <= 400; ++precision) {
        // Decimal digits of the value rounded to `precision` places, split into floor and fraction.
        const QByteArray decimal = QByteArray::number(seconds, 'f', precision);
        const bool negative = decimal.startsWith('-');
        const qsizetype dot = decimal.indexOf('.');
        const QByteArray integerPart =
            decimal.mid(negative ? 1 : 0, (dot < 0 ? decimal.size() : dot) - (negative ? 1 : 0));
        std::string fraction = dot < 0 ? std::string() : decimal.mid(dot + 1).toStdString();
        bool ok = false;
        qint64 whole = integerPart.toLongLong(&ok);
        if (!ok)
            continue;
        const bool fractionIsZero = fraction.find_first_not_of('0') == std::string::npos;
        if (negative) {
            whole = -whole;
            if (!fractionIsZero) {
                whole -= 1;
                fraction = complementDigits(fraction);
            }
        }
        if (whole < earliestSecond || whole > latestSecond)
            continue;
        const QString text = formatDateParts(whole, fraction);
        const auto parsed = parseDate(text);
        if (parsed && parsed->secondsSince2001() == seconds)
            return text;
    }
    return formatDateParts(static_cast<qint64>(std::floor(seconds)), {});
}

// ---- Numbers as text -------------------------------------------------------------------------------

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// An integer as XML writes it: decimal or "0x" hexadecimal, with a sign, within 128 signed bits (the
// widest integer a binary property list holds).
std::optional<Int128> parseWideInteger(const QString &text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    std::string_view s(bytes.constData(), static_cast<size_t>(bytes.size()));
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return std::nullopt;
    constexpr UInt128 limit = UInt128(1) << 127; // the magnitude of the most negative value
    UInt128 magnitude = 0;
    for (const char c : s) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        if (magnitude > (limit - digit) / base)
            return std::nullopt;
        magnitude = magnitude * base + digit;
    }
    if (negative)
        return magnitude == limit ? -Int128(limit - 1) - 1 : -Int128(magnitude);
    if (magnitude == limit)
        return std::nullopt;
    return Int128(magnitude);
}

std::optional<double> parseReal(const QString &text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    std::string_view s(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    if (s.empty() || s[0] == '+')
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

QByteArray formatReal(double value) {
    if (std::isnan(value))
        return QByteArrayLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QByteArrayLiteral("+infinity") : QByteArrayLiteral("-infinity");
    if (value == 0)
        return std::signbit(value) ? QByteArrayLiteral("-0.0") : QByteArrayLiteral("0.0");
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// ---- Binary writer ---------------------------------------------------------------------------------
//
// Layout: "bplist00", the objects, an offset table (one big-endian offset per object), and a 32-byte
// trailer: 6 unused bytes, offset size (1-8), object reference size (1-8), object count, top object
// and offset-table position (8 bytes each, big-endian). Each object starts with a marker byte whose
// high nibble is the type and low nibble a size (15: the size follows as an integer object).
//
// Objects are collected first, each container after its children; the widths of references and
// offsets are known only once every object is.

void appendBigEndian(QByteArray &out, quint64 value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xff));
}

// Bytes needed for an unsigned value: 1, 2, 4 or 8.
int widthFor(quint64 value) {
    if (value <= 0xff)
        return 1;
    if (value <= 0xffff)
        return 2;
    if (value <= 0xffffffffu)
        return 4;
    return 8;
}

QByteArray markerWithCount(int type, quint64 count) {
    QByteArray out;
    if (count < 15) {
        out.append(static_cast<char>(type << 4 | static_cast<int>(count)));
        return out;
    }
    out.append(static_cast<char>(type << 4 | 0x0f));
    const int width = widthFor(count);
    out.append(static_cast<char>(0x10 | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3)));
    appendBigEndian(out, count, width);
    return out;
}

QByteArray integerObject(qint64 value) {
    // Standard readers take one-, two- and four-byte integers as unsigned, eight-byte ones as signed.
    const int width = value < 0 ? 8 : widthFor(static_cast<quint64>(value));
    QByteArray out(1, static_cast<char>(0x10 | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3)));
    appendBigEndian(out, static_cast<quint64>(value), width);
    return out;
}

QByteArray doubleObject(char marker, double value) {
    QByteArray out(9, marker);
    qToBigEndian(value, out.data() + 1);
    return out;
}

class BinaryWriter {
public:
    // One object: its marker, size and scalar payload, then for containers the references to its
    // children (a dictionary's keys, then its values).
    quint64 addRaw(QByteArray head, std::vector<quint64> refs = {}, QByteArray body = {}) {
        objects_.push_back({std::move(head), std::move(body), std::move(refs)});
        return objects_.size() - 1;
    }

    quint64 addString(const QString &text) {
        if (const auto it = strings_.constFind(text); it != strings_.cend())
            return *it;
        const bool ascii =
            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
        QByteArray head;
        if (ascii) {
            head = markerWithCount(0x5, static_cast<quint64>(text.size()));
            head += text.toLatin1();
        } else {
            // UTF-16 code units as they are: every text, control characters included, reads back.
            head = markerWithCount(0x6, static_cast<quint64>(text.size()));
            head.reserve(head.size() + text.size() * 2);
            for (const QChar c : text)
                appendBigEndian(head, c.unicode(), 2);
        }
        const quint64 index = addRaw(std::move(head));
        strings_.insert(text, index);
        return index;
    }

    // Adds the value and everything in it; nothing when an opaque value inside is damaged.
    std::optional<quint64> add(const PlistValue &value) {
        switch (value.type()) {
        case PlistValue::Type::Boolean:
            return addRaw(QByteArray(1, *value.toBool() ? '\x09' : '\x08'));
        case PlistValue::Type::Integer:
            return addRaw(integerObject(*value.toInteger()));
        case PlistValue::Type::Real:
            return addRaw(doubleObject('\x23', *value.toReal()));
        case PlistValue::Type::Date:
            return addRaw(doubleObject('\x33', value.toDate()->secondsSince2001()));
        case PlistValue::Type::Data: {
            // The bytes are shared, not copied, until the file is assembled.
            QByteArray data = *value.toData();
            QByteArray head = markerWithCount(0x4, static_cast<quint64>(data.size()));
            return addRaw(std::move(head), {}, std::move(data));
        }
        case PlistValue::Type::String:
            return addString(*value.stringPointer());
        case PlistValue::Type::Array: {
            const auto &array = *value.arrayPointer();
            std::vector<quint64> refs;
            refs.reserve(static_cast<size_t>(array.size()));
            for (const PlistValue &element : array) {
                const auto ref = add(element);
                if (!ref)
                    return std::nullopt;
                refs.push_back(*ref);
            }
            QByteArray head = markerWithCount(0xA, refs.size());
            return addRaw(std::move(head), std::move(refs));
        }
        case PlistValue::Type::Dictionary: {
            const auto &dictionary = *value.dictionaryPointer();
            std::vector<quint64> refs(static_cast<size_t>(dictionary.size()) * 2);
            size_t i = 0;
            for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it, ++i) {
                refs[i] = addString(it.key());
                const auto ref = add(it.value());
                if (!ref)
                    return std::nullopt;
                refs[static_cast<size_t>(dictionary.size()) + i] = *ref;
            }
            return addRaw(markerWithCount(0xD, static_cast<quint64>(dictionary.size())), std::move(refs));
        }
        case PlistValue::Type::Opaque:
            return splice(value.opaquePointer()->binaryPropertyList);
        }
        return std::nullopt;
    }

    // Copies every object of a complete binary property list; answers the index of its top object.
    std::optional<quint64> splice(const QByteArray &binary);

    QByteArray finish(quint64 top) const {
        const quint64 count = objects_.size();
        const int refSize = widthFor(count == 0 ? 0 : count - 1);
        // Sized first and assembled in one buffer: a defaults file can hold tens of megabytes.
        std::vector<quint64> offsets;
        offsets.reserve(objects_.size());
        quint64 tableStart = 8;
        for (const Object &object : objects_) {
            offsets.push_back(tableStart);
            tableStart += static_cast<quint64>(object.head.size() + object.body.size()) +
                          object.refs.size() * static_cast<quint64>(refSize);
        }
        const int offsetSize = widthFor(offsets.empty() ? 0 : offsets.back());
        QByteArray out;
        out.reserve(static_cast<qsizetype>(tableStart + count * static_cast<quint64>(offsetSize) + 32));
        out += "bplist00";
        for (const Object &object : objects_) {
            out += object.head;
            out += object.body;
            for (const quint64 ref : object.refs)
                appendBigEndian(out, ref, refSize);
        }
        for (const quint64 offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        out += QByteArray(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize);
        appendBigEndian(out, count, 8);
        appendBigEndian(out, top, 8);
        appendBigEndian(out, tableStart, 8);
        return out;
    }

    quint64 objectCount() const { return objects_.size(); }

private:
    struct Object {
        QByteArray head;
        QByteArray body; // a data value's bytes, after its head
        std::vector<quint64> refs;
    };
    std::vector<Object> objects_;
    QHash<QString, quint64> strings_;
};

// A value this build does not understand, as a binary property list of that value alone.
PlistValue opaqueValue(const BinaryWriter &writer, quint64 top) {
    return PlistValue(PlistValue::Opaque{writer.finish(top)});
}

// An integer beyond 64 bits, kept as the 16-byte integer object binary property lists hold it in.
PlistValue wideIntegerValue(Int128 value) {
    BinaryWriter writer;
    QByteArray head(1, '\x14');
    appendBigEndian(head, static_cast<quint64>(static_cast<UInt128>(value) >> 64), 8);
    appendBigEndian(head, static_cast<quint64>(static_cast<UInt128>(value)), 8);
    return opaqueValue(writer, writer.addRaw(std::move(head)));
}

// ---- XML reader ------------------------------------------------------------------------------------

class XmlReader {
public:
    explicit XmlReader(const QByteArray &bytes) : xml_(bytes) {}

    std::optional<PlistValue> run() {
        if (!nextElement() || !xml_.isStartElement())
            return std::nullopt;
        std::optional<PlistValue> root;
        if (xml_.name() == QLatin1String("plist")) {
            if (!nextElement() || !xml_.isStartElement())
                return std::nullopt; // an empty <plist/> holds no value
            root = readValue(1);
            if (!root || !nextElement() || !xml_.isEndElement())
                return std::nullopt;
        } else {
            root = readValue(1);
            if (!root)
                return std::nullopt;
        }
        // Only white space, comments and processing instructions may follow.
        for (;;) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::EndDocument:
                return xml_.hasError() ? std::nullopt : root;
            case QXmlStreamReader::Characters:
                if (!xml_.isWhitespace())
                    return std::nullopt;
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            default:
                return std::nullopt;
            }
        }
    }

private:
    // Moves to the next start or end tag, skipping white space, comments and processing instructions.
    bool nextElement() {
        for (;;) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement:
                return true;
            case QXmlStreamReader::Characters:
                if (!xml_.isWhitespace())
                    return false;
                break;
            case QXmlStreamReader::DTD:
                // Entity declarations could expand a small file into a huge one; property lists need none.
                if (!xml_.entityDeclarations().isEmpty())
                    return false;
                break;
            case QXmlStreamReader::StartDocument:
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            default: // undeclared entities, the end of the document, errors
                return false;
            }
        }
    }

    // Text of the current element up to its end tag; refuses child elements and unknown entities.
    std::optional<QString> readText() {
        QString text;
        for (;;) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::Characters:
                text += xml_.text();
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::EndElement:
                return text;
            default:
                return std::nullopt;
            }
        }
    }

    // Reads the element whose start tag is current, through its end tag.
    std::optional<PlistValue> readValue(int depth) {
        const QStringView name = xml_.name();
        const bool dictionary = name == QLatin1String("dict");
        if (dictionary || name == QLatin1String("array")) {
            // Deeper than values may nest here: kept whole, read without recursion.
            if (depth > maxDepth)
                return readOpaque();
            return dictionary ? readDictionary(depth) : readArray(depth);
        }
        return readScalar(name);
    }

    // Every element but dict and array, through its end tag.
    std::optional<PlistValue> readScalar(QStringView name) {
        if (name == QLatin1String("string")) {
            auto text = readText();
            return text ? std::optional<PlistValue>(std::move(*text)) : std::nullopt;
        }
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            const bool value = name == QLatin1String("true");
            const auto text = readText();
            if (!text || !text->trimmed().isEmpty())
                return std::nullopt;
            return PlistValue(value);
        }
        if (name == QLatin1String("integer")) {
            const auto text = readText();
            const auto value = text ? parseWideInteger(*text) : std::nullopt;
            if (!value)
                return std::nullopt;
            if (*value > std::numeric_limits<qint64>::max() || *value < std::numeric_limits<qint64>::min())
                return wideIntegerValue(*value);
            return PlistValue(static_cast<qint64>(*value));
        }
        if (name == QLatin1String("real")) {
            const auto text = readText();
            const auto value = text ? parseReal(*text) : std::nullopt;
            return value ? std::optional<PlistValue>(*value) : std::nullopt;
        }
        if (name == QLatin1String("date")) {
            const auto text = readText();
            const auto value = text ? parseDate(*text) : std::nullopt;
            return value ? std::optional<PlistValue>(*value) : std::nullopt;
        }
        if (name == QLatin1String("data")) {
            const auto text = readText();
            if (!text)
                return std::nullopt;
            QByteArray base64 = text->toLatin1();
            base64.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
            auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return std::nullopt;
            return PlistValue(std::move(*decoded));
        }
        return std::nullopt;
    }

    // The dict or array whose start tag is current, through its end tag, as an opaque value: built
    // with a stack of its open containers instead of recursion, so any depth is kept.
    std::optional<PlistValue> readOpaque() {
        struct Open {
            bool dictionary;
            std::vector<quint64> keys;
            std::vector<quint64> values;
            bool hasKey = false;
        };
        BinaryWriter writer;
        std::vector<Open> open;
        open.push_back({xml_.name() == QLatin1String("dict"), {}, {}});
        for (;;) {
            if (!nextElement() || writer.objectCount() > static_cast<quint64>(maxObjects))
                return std::nullopt;
            Open &top = open.back();
            if (xml_.isEndElement()) {
                if (top.hasKey)
                    return std::nullopt; // a key without its value
                std::vector<quint64> refs = std::move(top.keys);
                refs.insert(refs.end(), top.values.begin(), top.values.end());
                const quint64 count = top.values.size();
                const quint64 index =
                    writer.addRaw(markerWithCount(top.dictionary ? 0xD : 0xA, count), std::move(refs));
                open.pop_back();
                if (open.empty())
                    return opaqueValue(writer, index);
                open.back().values.push_back(index);
                open.back().hasKey = false;
                continue;
            }
            const QStringView name = xml_.name();
            if (top.dictionary && !top.hasKey) {
                if (name != QLatin1String("key"))
                    return std::nullopt;
                const auto key = readText();
                if (!key)
                    return std::nullopt;
                top.keys.push_back(writer.addString(*key));
                top.hasKey = true;
                continue;
            }
            if (name == QLatin1String("dict") || name == QLatin1String("array")) {
                open.push_back({name == QLatin1String("dict"), {}, {}});
                continue;
            }
            const auto scalar = readScalar(name);
            const auto index = scalar ? writer.add(*scalar) : std::nullopt;
            if (!index)
                return std::nullopt;
            top.values.push_back(*index);
            top.hasKey = false;
        }
    }

    std::optional<PlistValue> readDictionary(int depth) {
        PlistValue::Dictionary dictionary;
        for (;;) {
            if (!nextElement())
                return std::nullopt;
            if (xml_.isEndElement())
                return PlistValue(std::move(dictionary));
            if (xml_.name() != QLatin1String("key"))
                return std::nullopt;
            auto key = readText();
            if (!key || !nextElement() || !xml_.isStartElement())
                return std::nullopt;
            auto value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            dictionary.insert(std::move(*key), std::move(*value));
        }
    }

    std::optional<PlistValue> readArray(int depth) {
        PlistValue::Array array;
        for (;;) {
            if (!nextElement())
                return std::nullopt;
            if (xml_.isEndElement())
                return PlistValue(std::move(array));
            auto value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            array.append(std::move(*value));
        }
    }

    QXmlStreamReader xml_;
};

// ---- Binary reader ---------------------------------------------------------------------------------
//
// The layout is the writer's (above). Every size, offset and reference is checked against the file.

class BinaryReader {
public:
    explicit BinaryReader(const QByteArray &bytes)
        : data_(reinterpret_cast<const uchar *>(bytes.constData())),
          size_(static_cast<quint64>(bytes.size())) {}

    // Reads the header and the trailer; false when they do not describe a possible file.
    bool open() {
        constexpr quint64 headerSize = 8;
        constexpr quint64 trailerSize = 32;
        if (size_ < headerSize + 1 + trailerSize || std::memcmp(data_, "bplist00", headerSize) != 0)
            return false;
        const quint64 trailer = size_ - trailerSize;
        offsetSize_ = data_[trailer + 6];
        refSize_ = data_[trailer + 7];
        objectCount_ = readUnsigned(trailer + 8, 8);
        topObject_ = readUnsigned(trailer + 16, 8);
        tableStart_ = readUnsigned(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return false;
        // Objects lie between the header and the offset table, which ends at the trailer.
        return tableStart_ > headerSize && tableStart_ < trailer && objectCount_ != 0 &&
               objectCount_ <= (trailer - tableStart_) / offsetSize_ && topObject_ < objectCount_;
    }

    std::optional<PlistValue> run() {
        if (!open())
            return std::nullopt;
        auto top = readObject(topObject_, 1);
        if (!top)
            return std::nullopt;
        return std::move(top->value);
    }

    quint64 objectCount() const { return objectCount_; }
    quint64 topObject() const { return topObject_; }

    // One object as it is stored: marker, size and scalar payload, and the references of a container
    // (a dictionary's keys, then its values). Nothing when it is damaged or of no known type.
    struct Raw {
        QByteArray head;
        std::vector<quint64> refs;
    };
    std::optional<Raw> readRaw(quint64 ref) const {
        const quint64 position = objectPosition(ref);
        if (position == 0)
            return std::nullopt;
        const uchar marker = data_[position];
        const int nibble = marker & 0x0f;
        quint64 end = position + 1; // past the payload
        quint64 refCount = 0;
        switch (marker >> 4) {
        case 0x0: // null, false, true; fill bytes are no object
            if (marker != 0x00 && marker != 0x08 && marker != 0x09)
                return std::nullopt;
            break;
        case 0x1:
            if (nibble > 4 || !fits(end, 1, quint64(1) << nibble))
                return std::nullopt;
            end += quint64(1) << nibble;
            break;
        case 0x2:
            if ((nibble != 2 && nibble != 3) || !fits(end, 1, quint64(1) << nibble))
                return std::nullopt;
            end += quint64(1) << nibble;
            break;
        case 0x3:
            if (marker != 0x33 || !fits(end, 1, 8))
                return std::nullopt;
            end += 8;
            break;
        case 0x4:
        case 0x5:
        case 0x6: {
            const auto length = readCount(end);
            const quint64 unit = (marker >> 4) == 0x6 ? 2 : 1;
            if (!length || !fits(end, *length, unit))
                return std::nullopt;
            end += *length * unit;
            break;
        }
        case 0x8: // UID: one to sixteen bytes
            if (!fits(end, 1, static_cast<quint64>(nibble) + 1))
                return std::nullopt;
            end += static_cast<quint64>(nibble) + 1;
            break;
        case 0xA: // array, ordered set, set
        case 0xB:
        case 0xC:
        case 0xD: {
            const auto length = readCount(end);
            if (!length || *length > std::numeric_limits<quint64>::max() / 2)
                return std::nullopt;
            refCount = (marker >> 4) == 0xD ? *length * 2 : *length;
            if (!fits(end, refCount, static_cast<quint64>(refSize_)))
                return std::nullopt;
            break;
        }
        default:
            return std::nullopt;
        }
        Raw raw;
        raw.head = QByteArray(reinterpret_cast<const char *>(data_ + position),
                              static_cast<qsizetype>(end - position));
        raw.refs.reserve(static_cast<size_t>(refCount));
        for (quint64 i = 0; i < refCount; ++i) {
            const auto child = readReference(end + i * static_cast<quint64>(refSize_));
            if (!child)
                return std::nullopt;
            raw.refs.push_back(*child);
        }
        return raw;
    }

private:
    struct Parsed {
        PlistValue value;
        qint64 expandedCount; // values in the tree this object unfolds to, itself included
        int height = 0;       // levels of arrays and dictionaries in that tree, itself included
    };

    quint64 readUnsigned(quint64 position, int width) const {
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | data_[position + static_cast<quint64>(i)];
        return value;
    }

    // Where the object starts; 0 when the offset table points outside the object area.
    quint64 objectPosition(quint64 ref) const {
        const quint64 position =
            readUnsigned(tableStart_ + ref * static_cast<quint64>(offsetSize_), offsetSize_);
        return position < 8 || position >= tableStart_ ? 0 : position;
    }

    // True when [position, position + count * unit) lies inside the object area.
    bool fits(quint64 position, quint64 count, quint64 unit) const {
        return position <= tableStart_ && count <= (tableStart_ - position) / unit;
    }

    // Reads the size nibble of the marker at `position - 1`, or the integer object after it; moves
    // `position` past the size.
    std::optional<quint64> readCount(quint64 &position) const {
        const int nibble = data_[position - 1] & 0x0f;
        if (nibble != 0x0f)
            return static_cast<quint64>(nibble);
        if (!fits(position, 1, 1))
            return std::nullopt;
        const uchar marker = data_[position];
        if ((marker & 0xf0) != 0x10 || (marker & 0x0f) > 3)
            return std::nullopt;
        const int width = 1 << (marker & 0x0f);
        ++position;
        if (!fits(position, 1, static_cast<quint64>(width)))
            return std::nullopt;
        const quint64 count = readUnsigned(position, width);
        position += static_cast<quint64>(width);
        return count;
    }

    std::optional<quint64> readReference(quint64 position) const {
        const quint64 ref = readUnsigned(position, refSize_);
        return ref < objectCount_ ? std::optional<quint64>(ref) : std::nullopt;
    }

    std::optional<Parsed> readObject(quint64 ref, int depth) {
        const auto cached = parsed_.find(ref);
        // Met first nearer the root, a shared object may not fit below this deeper use: it is read
        // again here, so that what is kept opaque depends only on where a value sits.
        if (cached != parsed_.end() && depth + cached->second.height - 1 <= maxDepth) {
            if (!count(cached->second.expandedCount))
                return std::nullopt;
            return cached->second;
        }
        if (!onPath_.insert(ref).second)
            return std::nullopt; // the object contains itself
        auto result = readUncached(ref, depth);
        onPath_.erase(ref);
        if (result && cached == parsed_.end())
            parsed_.emplace(ref, *result);
        return result;
    }

    bool count(qint64 values) {
        expanded_ += values;
        return expanded_ <= maxObjects;
    }

    std::optional<Parsed> scalar(PlistValue value) {
        if (!count(1))
            return std::nullopt;
        return Parsed{std::move(value), 1, 0};
    }

    // The object and everything it refers to, kept whole as an opaque value. Walked with a stack
    // rather than recursion, so any depth is fine; a cycle or a damaged object refuses it.
    std::optional<Parsed> readOpaque(quint64 ref) {
        struct Open {
            quint64 ref;
            Raw raw;
            size_t next = 0;
        };
        BinaryWriter writer;
        std::unordered_map<quint64, quint64> copied; // ref -> index in the writer
        std::unordered_set<quint64> onPath;
        std::vector<Open> open;
        auto push = [&](quint64 r) {
            auto raw = readRaw(r);
            if (!raw || !onPath.insert(r).second)
                return false;
            open.push_back({r, std::move(*raw)});
            return true;
        };
        if (!push(ref))
            return std::nullopt;
        while (!open.empty()) {
            Open &top = open.back();
            if (top.next < top.raw.refs.size()) {
                const quint64 child = top.raw.refs[top.next++];
                if (!copied.contains(child) && !push(child))
                    return std::nullopt;
                continue;
            }
            for (quint64 &child : top.raw.refs)
                child = copied.at(child);
            copied.emplace(top.ref, writer.addRaw(std::move(top.raw.head), std::move(top.raw.refs)));
            onPath.erase(top.ref);
            open.pop_back();
            if (!count(1))
                return std::nullopt;
        }
        return Parsed{opaqueValue(writer, copied.at(ref)), static_cast<qint64>(copied.size()), 0};
    }

    std::optional<Parsed> readUncached(quint64 ref, int depth) {
        const quint64 position = objectPosition(ref);
        if (position == 0)
            return std::nullopt;
        const uchar marker = data_[position];
        const int nibble = marker & 0x0f;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                return scalar(PlistValue(marker == 0x09));
            if (marker == 0x00)
                return readOpaque(ref); // null: no value of ours
            return std::nullopt;
        case 0x1: {
            if (nibble > 4)
                return std::nullopt;
            const quint64 width = quint64(1) << nibble;
            if (!fits(position + 1, 1, width))
                return std::nullopt;
            if (width <= 4)
                return scalar(
                    PlistValue(static_cast<qint64>(readUnsigned(position + 1, static_cast<int>(width)))));
            if (width == 8)
                return scalar(PlistValue(static_cast<qint64>(readUnsigned(position + 1, 8))));
            // 16 bytes: a 64-bit value when the high half only extends the sign, else kept opaque.
            const quint64 high = readUnsigned(position + 1, 8);
            const quint64 low = readUnsigned(position + 9, 8);
            const bool lowNegative = (low >> 63) != 0;
            if (high != (lowNegative ? ~quint64(0) : 0))
                return readOpaque(ref);
            return scalar(PlistValue(static_cast<qint64>(low)));
        }
        case 0x2: {
            if (nibble == 2 && fits(position + 1, 1, 4)) {
                const float value = qFromBigEndian<float>(data_ + position + 1);
                return scalar(PlistValue(static_cast<double>(value)));
            }
            if (nibble == 3 && fits(position + 1, 1, 8))
                return scalar(PlistValue(qFromBigEndian<double>(data_ + position + 1)));
            return std::nullopt;
        }
        case 0x3:
            if (marker != 0x33 || !fits(position + 1, 1, 8))
                return std::nullopt;
            return scalar(PlistValue(Date(qFromBigEndian<double>(data_ + position + 1))));
        case 0x4: {
            quint64 start = position + 1;
            const auto length = readCount(start);
            if (!length || !fits(start, *length, 1))
                return std::nullopt;
            return scalar(PlistValue(
                QByteArray(reinterpret_cast<const char *>(data_ + start), static_cast<qsizetype>(*length))));
        }
        case 0x5: {
            quint64 start = position + 1;
            const auto length = readCount(start);
            if (!length || !fits(start, *length, 1))
                return std::nullopt;
            return scalar(PlistValue(QString::fromLatin1(reinterpret_cast<const char *>(data_ + start),
                                                         static_cast<qsizetype>(*length))));
        }
        case 0x6: {
            quint64 start = position + 1;
            const auto length = readCount(start);
            if (!length || !fits(start, *length, 2))
                return std::nullopt;
            QString text(static_cast<qsizetype>(*length), Qt::Uninitialized);
            for (quint64 i = 0; i < *length; ++i)
                text[static_cast<qsizetype>(i)] = QChar(qFromBigEndian<quint16>(data_ + start + 2 * i));
            return scalar(PlistValue(std::move(text)));
        }
        case 0x8: // UIDs
        case 0xB: // ordered sets
        case 0xC: // sets
            return readOpaque(ref);
        case 0xA:
            return depth > maxDepth ? readOpaque(ref) : readArray(position, depth);
        case 0xD:
            return depth > maxDepth ? readOpaque(ref) : readDictionary(ref, position, depth);
        default:
            return std::nullopt;
        }
    }

    std::optional<Parsed> readArray(quint64 position, int depth) {
        quint64 start = position + 1;
        const auto length = readCount(start);
        if (!length || !fits(start, *length, static_cast<quint64>(refSize_)) || !count(1))
            return std::nullopt;
        PlistValue::Array array;
        array.reserve(static_cast<qsizetype>(*length));
        qint64 expanded = 1;
        int height = 1;
        for (quint64 i = 0; i < *length; ++i) {
            const auto ref = readReference(start + i * static_cast<quint64>(refSize_));
            auto element = ref ? readObject(*ref, depth + 1) : std::nullopt;
            if (!element)
                return std::nullopt;
            expanded += element->expandedCount;
            height = std::max(height, element->height + 1);
            array.append(std::move(element->value));
        }
        return Parsed{PlistValue(std::move(array)), expanded, height};
    }

    std::optional<Parsed> readDictionary(quint64 ref, quint64 position, int depth) {
        quint64 start = position + 1;
        const auto length = readCount(start);
        // Keys' references, then the values' references.
        if (!length || *length > std::numeric_limits<quint64>::max() / 2 ||
            !fits(start, *length * 2, static_cast<quint64>(refSize_)) || !count(1))
            return std::nullopt;
        PlistValue::Dictionary dictionary;
        qint64 expanded = 1;
        int height = 1;
        for (quint64 i = 0; i < *length; ++i) {
            const auto keyRef = readReference(start + i * static_cast<quint64>(refSize_));
            const auto valueRef = readReference(start + (*length + i) * static_cast<quint64>(refSize_));
            if (!keyRef || !valueRef)
                return std::nullopt;
            auto key = readObject(*keyRef, depth + 1);
            if (!key)
                return std::nullopt;
            if (!key->value.stringPointer())
                return readOpaque(ref); // keys of other types: not a dictionary of ours
            auto value = readObject(*valueRef, depth + 1);
            if (!value)
                return std::nullopt;
            expanded += key->expandedCount + value->expandedCount;
            height = std::max(height, value->height + 1);
            dictionary.insert(*key->value.stringPointer(), std::move(value->value));
        }
        return Parsed{PlistValue(std::move(dictionary)), expanded, height};
    }

    const uchar *data_;
    quint64 size_;
    int offsetSize_ = 0;
    int refSize_ = 0;
    quint64 objectCount_ = 0;
    quint64 topObject_ = 0;
    quint64 tableStart_ = 0;
    qint64 expanded_ = 0;
    std::unordered_set<quint64> onPath_;
    std::unordered_map<quint64, Parsed> parsed_;
};

std::optional<quint64> BinaryWriter::splice(const QByteArray &binary) {
    BinaryReader reader(binary);
    if (!reader.open())
        return std::nullopt;
    const quint64 base = objectCount();
    for (quint64 ref = 0; ref < reader.objectCount(); ++ref) {
        auto raw = reader.readRaw(ref);
        if (!raw)
            return std::nullopt;
        for (quint64 &child : raw->refs)
            child += base;
        addRaw(std::move(raw->head), std::move(raw->refs));
    }
    return base + reader.topObject();
}

// ---- XML writer ------------------------------------------------------------------------------------

void appendEscaped(QByteArray &out, const QString &text) {
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            escaped += c;
            escaped += text.at(++i);
        } else if (c.isSurrogate() || u == 0xfffe || u == 0xffff ||
                   (u < 0x20 && u != '\t' && u != '\n' && u != '\r')) {
            escaped += QChar(QChar::ReplacementCharacter); // XML 1.0 cannot carry it, not even as a reference
        } else if (u == '&') {
            escaped += QLatin1String("&amp;");
        } else if (u == '<') {
            escaped += QLatin1String("&lt;");
        } else if (u == '>') {
            escaped += QLatin1String("&gt;");
        } else if (u == '\r') {
            escaped += QLatin1String("&#13;"); // a literal one would be read back as a line feed
        } else {
            escaped += c;
        }
    }
    out += escaped.toUtf8();
}

// False when the value holds an opaque one, which XML cannot carry.
bool appendValue(QByteArray &out, const PlistValue &value, int indent) {
    const QByteArray tabs(indent, '\t');
    out += tabs;
    switch (value.type()) {
    case PlistValue::Type::Boolean:
        out += *value.toBool() ? "<true/>" : "<false/>";
        break;
    case PlistValue::Type::Integer:
        out += "<integer>" + QByteArray::number(*value.toInteger()) + "</integer>";
        break;
    case PlistValue::Type::Real:
        out += "<real>" + formatReal(*value.toReal()) + "</real>";
        break;
    case PlistValue::Type::String:
        out += "<string>";
        appendEscaped(out, *value.stringPointer());
        out += "</string>";
        break;
    case PlistValue::Type::Data: {
        const QByteArray base64 = value.toData()->toBase64();
        out += "<data>\n";
        for (qsizetype i = 0; i < base64.size(); i += 76)
            out += tabs + base64.mid(i, 76) + '\n';
        out += tabs + "</data>";
        break;
    }
    case PlistValue::Type::Date:
        out += "<date>" + formatDate(*value.toDate()).toLatin1() + "</date>";
        break;
    case PlistValue::Type::Array: {
        const auto &array = *value.arrayPointer();
        if (array.isEmpty()) {
            out += "<array/>";
            break;
        }
        out += "<array>\n";
        for (const auto &element : array)
            if (!appendValue(out, element, indent + 1))
                return false;
        out += tabs + "</array>";
        break;
    }
    case PlistValue::Type::Dictionary: {
        const auto &dictionary = *value.dictionaryPointer();
        if (dictionary.isEmpty()) {
            out += "<dict/>";
            break;
        }
        out += "<dict>\n";
        for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
            out += tabs + "\t<key>";
            appendEscaped(out, it.key());
            out += "</key>\n";
            if (!appendValue(out, it.value(), indent + 1))
                return false;
        }
        out += tabs + "</dict>";
        break;
    }
    case PlistValue::Type::Opaque:
        return false;
    }
    out += '\n';
    return true;
}

bool fitsDepth(const PlistValue &value, int depth) {
    if (const auto *array = value.arrayPointer()) {
        if (depth > maxDepth)
            return false;
        for (const auto &element : *array)
            if (!fitsDepth(element, depth + 1))
                return false;
    } else if (const auto *dictionary = value.dictionaryPointer()) {
        if (depth > maxDepth)
            return false;
        for (const auto &element : *dictionary)
            if (!fitsDepth(element, depth + 1))
                return false;
    }
    return true;
}

bool isPortableText(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

QString portableText(const QString &text) {
    if (isPortableText(text))
        return text;
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result.at(i);
        if (c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

bool isPortableDate(Date date) {
    const double seconds = date.secondsSince2001();
    return seconds >= static_cast<double>(earliestSecond) && seconds <= static_cast<double>(latestSecond);
}

bool isPortable(const PlistValue &value) {
    switch (value.type()) {
    case PlistValue::Type::String:
        return isPortableText(*value.stringPointer());
    case PlistValue::Type::Date:
        return isPortableDate(*value.toDate());
    case PlistValue::Type::Array:
        return std::all_of(value.arrayPointer()->cbegin(), value.arrayPointer()->cend(),
                           [](const PlistValue &element) { return isPortable(element); });
    case PlistValue::Type::Dictionary: {
        const auto &dictionary = *value.dictionaryPointer();
        for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
            if (!isPortableText(it.key()) || !isPortable(it.value()))
                return false;
        return true;
    }
    default:
        return true;
    }
}

} // namespace

std::optional<PlistValue> read(const QByteArray &bytes) {
    if (bytes.startsWith("bplist"))
        return readBinary(bytes);
    return readXml(bytes);
}

std::optional<PlistValue> readXml(const QByteArray &bytes) {
    return XmlReader(bytes).run();
}

std::optional<PlistValue> readBinary(const QByteArray &bytes) {
    return BinaryReader(bytes).run();
}

std::optional<PlistValue> readFile(const QString &path, qint64 maxBytes) {
    const auto bytes = SafeFile::readRegularFile(path, maxBytes);
    return bytes ? read(*bytes) : std::nullopt;
}

QByteArray writeXml(const PlistValue &value) {
    if (!fitsMaxDepth(value))
        return {};
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n";
    if (!appendValue(out, value, 0))
        return {};
    out += "</plist>\n";
    return out;
}

QByteArray writeBinary(const PlistValue &value) {
    if (!fitsMaxDepth(value))
        return {};
    BinaryWriter writer;
    const auto top = writer.add(value);
    return top ? writer.finish(*top) : QByteArray();
}

bool fitsMaxDepth(const PlistValue &value) {
    return fitsDepth(value, 1);
}

PlistValue portable(const PlistValue &value) {
    if (isPortable(value))
        return value;
    switch (value.type()) {
    case PlistValue::Type::String:
        return PlistValue(portableText(*value.stringPointer()));
    case PlistValue::Type::Date: {
        const double seconds = value.toDate()->secondsSince2001();
        if (std::isnan(seconds))
            return PlistValue(Date(0));
        return PlistValue(Date(
            std::clamp(seconds, static_cast<double>(earliestSecond), static_cast<double>(latestSecond))));
    }
    case PlistValue::Type::Array: {
        PlistValue::Array array;
        array.reserve(value.arrayPointer()->size());
        for (const PlistValue &element : *value.arrayPointer())
            array.append(portable(element));
        return PlistValue(std::move(array));
    }
    case PlistValue::Type::Dictionary: {
        PlistValue::Dictionary dictionary;
        const auto &source = *value.dictionaryPointer();
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            dictionary.insert(portableText(it.key()), portable(it.value()));
        return PlistValue(std::move(dictionary));
    }
    default:
        return value;
    }
}

} // namespace orvex::PropertyList
