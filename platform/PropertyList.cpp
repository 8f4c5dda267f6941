#include "PropertyList.h"

#include "SafeFile.h"

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

std::optional<qint64> parseInteger(const QString &text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    std::string_view s(bytes.constData(), static_cast<size_t>(bytes.size()));
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty() || s[0] == '-' || s[0] == '+')
        return std::nullopt;
    quint64 magnitude = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (error != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    constexpr quint64 maxPositive = static_cast<quint64>(std::numeric_limits<qint64>::max());
    if (!negative)
        return magnitude <= maxPositive ? std::optional<qint64>(static_cast<qint64>(magnitude))
                                        : std::nullopt;
    if (magnitude > maxPositive + 1)
        return std::nullopt;
    return magnitude == maxPositive + 1 ? std::numeric_limits<qint64>::min()
                                        : -static_cast<qint64>(magnitude);
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
        if (name == QLatin1String("dict"))
            return readDictionary(depth);
        if (name == QLatin1String("array"))
            return readArray(depth);
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
            const auto value = text ? parseInteger(*text) : std::nullopt;
            return value ? std::optional<PlistValue>(*value) : std::nullopt;
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

    std::optional<PlistValue> readDictionary(int depth) {
        if (depth > maxDepth)
            return std::nullopt;
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
        if (depth > maxDepth)
            return std::nullopt;
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
// Layout: "bplist00", the objects, an offset table (one big-endian offset per object), and a 32-byte
// trailer: 6 unused bytes, offset size (1-8), object reference size (1-8), object count, top object
// and offset-table position (8 bytes each, big-endian). Each object starts with a marker byte whose
// high nibble is the type and low nibble a size (15: the size follows as an integer object).

class BinaryReader {
public:
    explicit BinaryReader(const QByteArray &bytes)
        : data_(reinterpret_cast<const uchar *>(bytes.constData())),
          size_(static_cast<quint64>(bytes.size())) {}

    std::optional<PlistValue> run() {
        constexpr quint64 headerSize = 8;
        constexpr quint64 trailerSize = 32;
        if (size_ < headerSize + 1 + trailerSize || std::memcmp(data_, "bplist00", headerSize) != 0)
            return std::nullopt;
        const quint64 trailer = size_ - trailerSize;
        offsetSize_ = data_[trailer + 6];
        refSize_ = data_[trailer + 7];
        objectCount_ = readUnsigned(trailer + 8, 8);
        const quint64 topObject = readUnsigned(trailer + 16, 8);
        tableStart_ = readUnsigned(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return std::nullopt;
        // Objects lie between the header and the offset table, which ends at the trailer.
        if (tableStart_ <= headerSize || tableStart_ >= trailer || objectCount_ == 0 ||
            objectCount_ > (trailer - tableStart_) / offsetSize_ || topObject >= objectCount_)
            return std::nullopt;
        auto top = readObject(topObject, 1);
        if (!top)
            return std::nullopt;
        return std::move(top->value);
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

    // True when [position, position + count * unit) lies inside the object area.
    bool fits(quint64 position, quint64 count, quint64 unit) const {
        return position <= tableStart_ && count <= (tableStart_ - position) / unit;
    }

    // Reads the size nibble of the marker at `position`, or the integer object after it; moves
    // `position` past the size.
    std::optional<quint64> readCount(quint64 &position) const {
        const int nibble = data_[position] & 0x0f;
        ++position;
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
        if (const auto cached = parsed_.find(ref); cached != parsed_.end()) {
            // Met first nearer the root, a shared object must still fit below this deeper use.
            if (depth + cached->second.height - 1 > maxDepth || !count(cached->second.expandedCount))
                return std::nullopt;
            return cached->second;
        }
        if (!onPath_.insert(ref).second)
            return std::nullopt; // the object contains itself
        auto result = readUncached(ref, depth);
        onPath_.erase(ref);
        if (result)
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

    std::optional<Parsed> readUncached(quint64 ref, int depth) {
        const quint64 position =
            readUnsigned(tableStart_ + ref * static_cast<quint64>(offsetSize_), offsetSize_);
        if (position < 8 || position >= tableStart_)
            return std::nullopt;
        const uchar marker = data_[position];
        const int nibble = marker & 0x0f;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                return scalar(PlistValue(marker == 0x09));
            return std::nullopt; // null and fill bytes have no value here
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
            // 16 bytes: only values that fit 64 signed bits, i.e. the high half just extends the sign.
            const quint64 high = readUnsigned(position + 1, 8);
            const quint64 low = readUnsigned(position + 9, 8);
            const bool lowNegative = (low >> 63) != 0;
            if (high != (lowNegative ? ~quint64(0) : 0))
                return std::nullopt;
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
            quint64 start = position;
            const auto length = readCount(start);
            if (!length || !fits(start, *length, 1))
                return std::nullopt;
            return scalar(PlistValue(
                QByteArray(reinterpret_cast<const char *>(data_ + start), static_cast<qsizetype>(*length))));
        }
        case 0x5: {
            quint64 start = position;
            const auto length = readCount(start);
            if (!length || !fits(start, *length, 1))
                return std::nullopt;
            return scalar(PlistValue(QString::fromLatin1(reinterpret_cast<const char *>(data_ + start),
                                                         static_cast<qsizetype>(*length))));
        }
        case 0x6: {
            quint64 start = position;
            const auto length = readCount(start);
            if (!length || !fits(start, *length, 2))
                return std::nullopt;
            QString text(static_cast<qsizetype>(*length), Qt::Uninitialized);
            for (quint64 i = 0; i < *length; ++i)
                text[static_cast<qsizetype>(i)] = QChar(qFromBigEndian<quint16>(data_ + start + 2 * i));
            return scalar(PlistValue(std::move(text)));
        }
        case 0xA:
            return readArray(position, depth);
        case 0xD:
            return readDictionary(position, depth);
        default: // UIDs and sets have no place in the values we hold
            return std::nullopt;
        }
    }

    std::optional<Parsed> readArray(quint64 position, int depth) {
        if (depth > maxDepth)
            return std::nullopt;
        quint64 start = position;
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

    std::optional<Parsed> readDictionary(quint64 position, int depth) {
        if (depth > maxDepth)
            return std::nullopt;
        quint64 start = position;
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
            if (!key || !key->value.stringPointer())
                return std::nullopt;
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
    quint64 tableStart_ = 0;
    qint64 expanded_ = 0;
    std::unordered_set<quint64> onPath_;
    std::unordered_map<quint64, Parsed> parsed_;
};

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

void appendValue(QByteArray &out, const PlistValue &value, int indent) {
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
            appendValue(out, element, indent + 1);
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
            appendValue(out, it.value(), indent + 1);
        }
        out += tabs + "</dict>";
        break;
    }
    }
    out += '\n';
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
    appendValue(out, value, 0);
    out += "</plist>\n";
    return out;
}

bool fitsMaxDepth(const PlistValue &value) {
    return fitsDepth(value, 1);
}

} // namespace orvex::PropertyList
