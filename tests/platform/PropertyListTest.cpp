#include "platform/PropertyList.h"

#include "PlistTestSupport.h"
#include "support/TestEnvironment.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace orvex {
namespace {

using test::BinaryPlistBuilder;
using test::entry;
using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;

QString s(const char *text) {
    return QString::fromUtf8(text);
}

QByteArray xmlDocument(const QByteArray &body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

QByteArray nested(const char *open, const char *middle, const char *close, int depth) {
    QByteArray out;
    for (int i = 0; i < depth; ++i)
        out += open;
    out += middle;
    for (int i = 0; i < depth; ++i)
        out += close;
    return out;
}

// ---- XML -------------------------------------------------------------------------------------------

TEST(PropertyListXml, ReadsWeblocDictionary) {
    const QByteArray webloc =
        xmlDocument("<dict>\n\t<key>URL</key>\n\t<string>https://example.com/a?b=1&amp;c=2</string>\n"
                    "</dict>");
    const auto value = PropertyList::read(webloc);
    ASSERT_TRUE(value);
    ASSERT_TRUE(value->dictionaryPointer());
    EXPECT_EQ(entry(*value->dictionaryPointer(), "URL"), PlistValue(s("https://example.com/a?b=1&c=2")));
}

TEST(PropertyListXml, ReadsEveryElementWithItsWhitespaceRules) {
    const QByteArray body = R"(<dict>
    <!-- comments and white space between elements are ignored -->
    <key>string</key><string>  two  spaces
kept &lt;&amp;&gt; &#65;&#x263A; <![CDATA[<raw & text>]]></string>
    <key>empty</key><string/>
    <key>int</key><integer> -42 </integer>
    <key>hex</key><integer>0x1F</integer>
    <key>max</key><integer>9223372036854775807</integer>
    <key>min</key><integer>-9223372036854775808</integer>
    <key>real</key><real> 1.5e3 </real>
    <key>nan</key><real>nan</real>
    <key>inf</key><real>+infinity</real>
    <key>yes</key><true/>
    <key>no</key><false></false>
    <key>date</key><date> 2001-01-02T00:00:01.25Z </date>
    <key>data</key><data>
        aGVs
        bG8=
    </data>
    <key>list</key><array><integer>1</integer><array/><dict/></array>
    <key>caf&#xE9;</key><string>keys take references too</string>
</dict>)";
    const auto value = PropertyList::readXml(xmlDocument(body));
    ASSERT_TRUE(value);
    const Dict dict = *value->toDictionary();
    EXPECT_EQ(entry(dict, "string"), PlistValue(s("  two  spaces\nkept <&> A\u263a <raw & text>")));
    EXPECT_EQ(entry(dict, "empty"), PlistValue(QString()));
    EXPECT_EQ(entry(dict, "int"), PlistValue(qint64(-42)));
    EXPECT_EQ(entry(dict, "hex"), PlistValue(qint64(31)));
    EXPECT_EQ(entry(dict, "max"), PlistValue(std::numeric_limits<qint64>::max()));
    EXPECT_EQ(entry(dict, "min"), PlistValue(std::numeric_limits<qint64>::min()));
    EXPECT_EQ(entry(dict, "real"), PlistValue(1500.0));
    EXPECT_TRUE(std::isnan(*entry(dict, "nan")->toReal()));
    EXPECT_EQ(entry(dict, "inf"), PlistValue(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(entry(dict, "yes"), PlistValue(true));
    EXPECT_EQ(entry(dict, "no"), PlistValue(false));
    EXPECT_EQ(entry(dict, "date"), PlistValue(Date(86401.25)));
    EXPECT_EQ(entry(dict, "data"), PlistValue(QByteArray("hello")));
    EXPECT_EQ(entry(dict, "list"), PlistValue(Array{PlistValue(1), PlistValue(Array{}), PlistValue(Dict{})}));
    EXPECT_TRUE(dict.contains(s("caf\u00e9")));
}

TEST(PropertyListXml, AcceptsARootWithoutPlistElement) {
    EXPECT_EQ(PropertyList::readXml("<array><string>x</string></array>"),
              PlistValue(Array{PlistValue(s("x"))}));
}

TEST(PropertyListXml, RefusesMalformedInput) {
    const QByteArray cases[] = {
        "", "not xml at all",
        xmlDocument(""),                                            // an empty plist holds no value
        "<plist version=\"1.0\"/>",                                 //
        xmlDocument("<dict><key>a</key><string>x</string>"),        // truncated
        xmlDocument("<dict><key>a</key><string>x</dict></string>"), // mismatched tags
        xmlDocument("<dict><key>a</key></dict>"),                   // key without value
        xmlDocument("<dict><string>x</string></dict>"),             // value without key
        xmlDocument("<dict><key>a</key><key>b</key></dict>"),       // key as a value
        xmlDocument("<set/>"),                                      // unknown element
        xmlDocument("<string>a<b/>c</string>"),                     // element inside text
        xmlDocument("<array>stray text</array>"),                   //
        xmlDocument("<string>a</string><string>b</string>"),        // two values in the plist
        xmlDocument("<string>a</string>") + "<string>b</string>",   // content after the root
        xmlDocument("<true>yes</true>"),                            //
        xmlDocument("<integer>170141183460469231731687303715884105728</integer>"), // 2^127
        xmlDocument("<integer>-170141183460469231731687303715884105729</integer>"),
        xmlDocument("<integer>12a</integer>"),             //
        xmlDocument("<integer></integer>"),                //
        xmlDocument("<integer>1.5</integer>"),             //
        xmlDocument("<integer>--1</integer>"),             //
        xmlDocument("<real>1.5x</real>"),                  //
        xmlDocument("<real></real>"),                      //
        xmlDocument("<date>2001-02-30T00:00:00Z</date>"),  // no such day
        xmlDocument("<date>2001-01-01T00:00:00</date>"),   // no zone
        xmlDocument("<date>2001-01-01T24:00:00Z</date>"),  //
        xmlDocument("<date>2001-01-01T00:00:00.Z</date>"), // empty fraction
        xmlDocument("<date>0000-01-01T00:00:00Z</date>"),  //
        xmlDocument("<data>not*base64</data>"),            //
        xmlDocument("<string>&undeclared;</string>"),      // unknown entity
        // Entity declarations could expand a few bytes into gigabytes; they are refused outright.
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
        "<plist><string>&b;</string></plist>",
        "<plist><string>a\x01</string></plist>", // XML 1.0 forbids the character
    };
    for (const QByteArray &bytes : cases)
        EXPECT_FALSE(PropertyList::readXml(bytes)) << bytes.toStdString();
}

// The 16-byte integer object binary property lists hold a 128-bit value in.
QByteArray wideIntegerObject(quint64 high, quint64 low) {
    return QByteArray(1, '\x14') + BinaryPlistBuilder::bigEndian(high, 8) +
           BinaryPlistBuilder::bigEndian(low, 8);
}

// The object count a binary property list's trailer states.
quint64 objectCount(const QByteArray &binary) {
    quint64 count = 0;
    for (const char byte : binary.mid(binary.size() - 24, 8))
        count = count << 8 | static_cast<uchar>(byte);
    return count;
}

// A standalone binary property list of one object with no references.
QByteArray singleObjectList(const QByteArray &object) {
    BinaryPlistBuilder b;
    b.add(object);
    return b.build();
}

TEST(PropertyListXml, KeepsIntegersBeyond64BitsOpaque) {
    const struct {
        const char *text;
        QByteArray object;
    } cases[] = {
        {"9223372036854775808", wideIntegerObject(0, 0x8000000000000000ULL)},
        {"18446744073709551615", wideIntegerObject(0, ~0ULL)},
        {"-9223372036854775809", wideIntegerObject(~0ULL, 0x7fffffffffffffffULL)},
        {"170141183460469231731687303715884105727", wideIntegerObject(0x7fffffffffffffffULL, ~0ULL)},
        {"-170141183460469231731687303715884105728", wideIntegerObject(0x8000000000000000ULL, 0)},
        {"0x10000000000000000", wideIntegerObject(1, 0)},
    };
    for (const auto &c : cases) {
        const auto value =
            PropertyList::readXml(xmlDocument(QByteArray("<integer>") + c.text + "</integer>"));
        ASSERT_TRUE(value) << c.text;
        EXPECT_FALSE(value->toInteger()) << c.text;
        EXPECT_EQ(test::opaqueBytes(value), singleObjectList(c.object)) << c.text;
        // Written back as the same integer object.
        EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(*value)), value) << c.text;
    }
}

TEST(PropertyListXml, KeepsNestingPastTheCapOpaque) {
    struct Case {
        const char *open, *middle, *close;
    } cases[] = {{"<array>", "", "</array>"}, {"<dict><key>k</key>", "<string>leaf</string>", "</dict>"}};
    for (const auto &c : cases) {
        const auto atCap =
            PropertyList::readXml(xmlDocument(nested(c.open, c.middle, c.close, PropertyList::maxDepth)));
        ASSERT_TRUE(atCap) << c.open;
        EXPECT_TRUE(PropertyList::fitsMaxDepth(*atCap));
        EXPECT_TRUE(test::opaqueBytes(*atCap).isEmpty());
        // One level more: the innermost container is kept whole; everything above it reads as usual.
        const auto deeper =
            PropertyList::readXml(xmlDocument(nested(c.open, c.middle, c.close, PropertyList::maxDepth + 1)));
        ASSERT_TRUE(deeper) << c.open;
        EXPECT_TRUE(PropertyList::fitsMaxDepth(*deeper));
        const QByteArray binary = PropertyList::writeBinary(*deeper);
        ASSERT_FALSE(binary.isEmpty());
        EXPECT_EQ(PropertyList::readBinary(binary), deeper) << c.open;
        // Written out, the file holds the whole nesting: its innermost value is still there.
        if (c.middle[0])
            EXPECT_TRUE(binary.contains("leaf"));
        else
            EXPECT_EQ(objectCount(binary), quint64(PropertyList::maxDepth + 1));
    }
    // Far deeper than the cap: kept without exhausting the stack, and written back whole.
    const auto deep = PropertyList::readXml(xmlDocument(nested("<array>", "<true/>", "</array>", 200000)));
    ASSERT_TRUE(deep);
    const QByteArray binary = PropertyList::writeBinary(*deep);
    EXPECT_EQ(PropertyList::readBinary(binary), deep);
    EXPECT_EQ(objectCount(binary), 200001u);
}

// ---- XML writer ------------------------------------------------------------------------------------

PlistValue everyType() {
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    return PlistValue(Dict{
        {s("bool"), PlistValue(true)},
        {s("false"), PlistValue(false)},
        {s("max"), PlistValue(std::numeric_limits<qint64>::max())},
        {s("min"), PlistValue(std::numeric_limits<qint64>::min())},
        {s("zero"), PlistValue(0)},
        {s("real"), PlistValue(0.1)},
        {s("third"), PlistValue(1.0 / 3.0)},
        {s("huge"), PlistValue(DBL_MAX)},
        {s("tiny"), PlistValue(DBL_TRUE_MIN)},
        {s("inf"), PlistValue(-std::numeric_limits<double>::infinity())},
        {s("markup"), PlistValue(s("a & b < c > d ]]> \"q\" 'a' \r\n\t end "))},
        {s("unicode"), PlistValue(s("caf\u00e9 \u65e5\u672c \U0001F389"))},
        {s("empty"), PlistValue(QString())},
        {s("data"), PlistValue(allBytes)},
        {s("emptyData"), PlistValue(QByteArray())},
        {s("date"), PlistValue(Date(754321098.123456))},
        {s("key <&> \U0001F511"), PlistValue(s("key text is escaped too"))},
        {s("nested"),
         PlistValue(Array{PlistValue(Array{PlistValue(1), PlistValue(Dict{})}), PlistValue(Array{}),
                          PlistValue(Dict{{s("inner"), PlistValue(Array{PlistValue(s("x"))})}})})},
    });
}

TEST(PropertyListWriter, RoundTripsEveryType) {
    const PlistValue value = everyType();
    const QByteArray xml = PropertyList::writeXml(value);
    ASSERT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<plist version=\"1.0\">"));
    EXPECT_EQ(PropertyList::readXml(xml), value) << xml.toStdString();
    // Scalars are roots as well.
    for (const PlistValue &root :
         {PlistValue(s("x")), PlistValue(7), PlistValue(Date(1.5)), PlistValue(Array{})})
        EXPECT_EQ(PropertyList::readXml(PropertyList::writeXml(root)), root);
}

TEST(PropertyListWriter, RealsKeepTheirExactValueAndSign) {
    const double reals[] = {
        0.1, -0.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, 123456789.98765432, -1e-300};
    for (double real : reals) {
        const auto back = PropertyList::readXml(PropertyList::writeXml(PlistValue(real)));
        ASSERT_TRUE(back && back->toReal()) << real;
        EXPECT_EQ(*back->toReal(), real);
        EXPECT_EQ(std::signbit(*back->toReal()), std::signbit(real)) << real;
    }
    const auto nan = PropertyList::readXml(PropertyList::writeXml(PlistValue(std::nan(""))));
    ASSERT_TRUE(nan && nan->toReal());
    EXPECT_TRUE(std::isnan(*nan->toReal()));
}

TEST(PropertyListWriter, DatesRoundTripExactlyWithTheShortestFraction) {
    struct Case {
        double seconds;
        const char *text; // nullptr: only the exact round trip is checked
    } cases[] = {
        {0, "2001-01-01T00:00:00Z"},
        {0.5, "2001-01-01T00:00:00.5Z"},
        {-0.5, "2000-12-31T23:59:59.5Z"},
        {-1, "2000-12-31T23:59:59Z"},
        {86400.0 * 365 + 3723.25, "2002-01-01T01:02:03.25Z"},
        {-978307200.0, "1970-01-01T00:00:00Z"},
        {-730485.0 * 86400 + 0.75, "0001-01-01T00:00:00.75Z"}, // the earliest day XML dates can name
        {252423993599.5, "9999-12-31T23:59:59.5Z"},
        {754321098.1234567, nullptr},
        {-1e-9, nullptr},
        {-1e-20, nullptr}, // needs twenty nines after the point
        {1e-300, nullptr},
        {std::nextafter(8e8, 0.0), nullptr},
    };
    for (const auto &c : cases) {
        const QByteArray xml = PropertyList::writeXml(PlistValue(Date(c.seconds)));
        const auto back = PropertyList::readXml(xml);
        ASSERT_TRUE(back && back->toDate()) << xml.toStdString();
        EXPECT_EQ(back->toDate()->secondsSince2001(), c.seconds) << xml.toStdString();
        if (c.text) {
            EXPECT_TRUE(xml.contains(QByteArray("<date>") + c.text + "</date>")) << xml.toStdString();
        }
    }
}

TEST(PropertyListWriter, ClampsDatesXmlCannotCarry) {
    struct Case {
        double seconds;
        const char *text;
    } cases[] = {
        {1e300, "9999-12-31T23:59:59Z"},
        {std::numeric_limits<double>::infinity(), "9999-12-31T23:59:59Z"},
        {-1e300, "0001-01-01T00:00:00Z"},
        {std::nan(""), "2001-01-01T00:00:00Z"},
    };
    for (const auto &c : cases) {
        const QByteArray xml = PropertyList::writeXml(PlistValue(Date(c.seconds)));
        EXPECT_TRUE(xml.contains(QByteArray("<date>") + c.text + "</date>")) << xml.toStdString();
        EXPECT_TRUE(PropertyList::readXml(xml)) << xml.toStdString();
    }
}

TEST(PropertyListWriter, ReplacesCharactersXmlCannotCarry) {
    const QString text = s("a") + QChar(0x01) + s("b") + QChar(0xfffe) + QChar(0xd800) + s("c\u00e9");
    const QByteArray xml = PropertyList::writeXml(PlistValue(Dict{{text, PlistValue(text)}}));
    const auto back = PropertyList::readXml(xml);
    ASSERT_TRUE(back) << xml.toStdString();
    const QString expected = s("a\ufffdb\ufffd\ufffdc\u00e9");
    EXPECT_EQ(back, PlistValue(Dict{{expected, PlistValue(expected)}}));
}

TEST(PropertyListWriter, RefusesValuesTooDeepToReadBack) {
    PlistValue value(Array{});
    for (int depth = 1; depth < PropertyList::maxDepth; ++depth)
        value = PlistValue(Array{value});
    EXPECT_TRUE(PropertyList::fitsMaxDepth(value));
    EXPECT_EQ(PropertyList::readXml(PropertyList::writeXml(value)), value);
    const PlistValue deeper(Dict{{s("k"), value}});
    EXPECT_FALSE(PropertyList::fitsMaxDepth(deeper));
    EXPECT_TRUE(PropertyList::writeXml(deeper).isEmpty());
}

TEST(PropertyListBinaryWriter, EveryValueReadsBackExactly) {
    // Everything XML cannot carry: control characters, non-characters and lone surrogates in keys and
    // texts, dates with any fraction.
    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls += QChar(c);
    controls +=
        QChar(0x7f) + s("\u0085") + QChar(0xfffe) + QChar(0xffff) + QChar(0xd800) + s("x") + QChar(0xdfff);
    Dict dict = *everyType().toDictionary();
    dict.insert(controls, PlistValue(controls));
    dict.insert(s("path\twith\x01controls"), PlistValue(qint64(3)));
    dict.insert(s("ascii"), PlistValue(s("plain text")));
    dict.insert(s("negative"), PlistValue(qint64(-1)));
    dict.insert(s("widths"),
                PlistValue(Array{PlistValue(255), PlistValue(256), PlistValue(65535), PlistValue(65536),
                                 PlistValue(qint64(4294967295)), PlistValue(qint64(4294967296))}));
    dict.insert(s("reals"), PlistValue(Array{PlistValue(-0.0), PlistValue(5e-324), PlistValue(0.1)}));
    Array dates;
    for (const double seconds : {0.0, 754321098.1234567, -1e-20, 1e-300, -63113904000.0, 1e300})
        dates.append(PlistValue(Date(seconds)));
    dict.insert(s("dates"), PlistValue(dates));
    const PlistValue value(dict);

    const QByteArray binary = PropertyList::writeBinary(value);
    ASSERT_TRUE(binary.startsWith("bplist00"));
    EXPECT_EQ(PropertyList::readBinary(binary), value);
    EXPECT_EQ(PropertyList::read(binary), value);
    // Scalars are roots as well.
    for (const PlistValue &root :
         {PlistValue(s("x")), PlistValue(7), PlistValue(Date(1.5)), PlistValue(Array{})})
        EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(root)), root);
}

TEST(PropertyListBinaryWriter, WidensReferencesAndOffsetsAsNeeded) {
    for (const int count : {200, 300, 70000}) {
        Array array;
        for (int i = 0; i < count; ++i)
            array.append(PlistValue(s("item %1").arg(i)));
        const PlistValue value(array);
        EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(value)), value) << count;
    }
    const PlistValue large(QByteArray(5 * 1024 * 1024, 'x'));
    EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(PlistValue(Array{large, PlistValue(1)}))),
              PlistValue(Array{large, PlistValue(1)}));
}

TEST(PropertyListBinaryWriter, RefusesValuesTooDeepToReadBack) {
    PlistValue value(Array{});
    for (int depth = 1; depth < PropertyList::maxDepth; ++depth)
        value = PlistValue(Array{value});
    EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(value)), value);
    EXPECT_TRUE(PropertyList::writeBinary(PlistValue(Dict{{s("k"), value}})).isEmpty());
}

TEST(PropertyListPortable, ReplacesOnlyWhatStandardReadersRefuse) {
    const QString pair = s("\U0001F389");
    const QString lone = s("a") + QChar(0xd800) + s("b") + QChar(0xdc00);
    const PlistValue value(Dict{{lone, PlistValue(Array{PlistValue(lone), PlistValue(Date(std::nan(""))),
                                                        PlistValue(Date(1e300)), PlistValue(Date(-1e300))})},
                                {pair, PlistValue(pair + s("\x01"))}});
    const PlistValue expected(
        Dict{{s("a\ufffdb\ufffd"),
              PlistValue(Array{PlistValue(s("a\ufffdb\ufffd")), PlistValue(Date(0)),
                               PlistValue(Date(252423993599.0)), PlistValue(Date(-63113904000.0))})},
             {pair, PlistValue(pair + s("\x01"))}});
    EXPECT_EQ(PropertyList::portable(value), expected);
    EXPECT_EQ(PropertyList::portable(expected), expected);
}

// ---- Binary ----------------------------------------------------------------------------------------

// {"URL": "https://example.com/page"} as a .webloc file holds it:
//   08: D1 01 02            dictionary of 1: key object 1, value object 2
//   0B: 53 55 52 4C         ASCII string of 3: "URL"
//   0F: 5F 10 18 ...        ASCII string, length in the following 1-byte integer (24), then the text
//   offset table: 08 0B 0F; trailer: offset and reference size 1, 3 objects, top object 0
QByteArray binaryWebloc() {
    BinaryPlistBuilder b;
    b.add(b.dictionary({1}, {2}));
    b.add(BinaryPlistBuilder::ascii("URL"));
    b.add(QByteArray("\x5f\x10\x18", 3) + "https://example.com/page");
    return b.build();
}

TEST(PropertyListBinary, ReadsWeblocDictionary) {
    const QByteArray bytes = binaryWebloc();
    ASSERT_EQ(bytes.mid(8, 3), QByteArray("\xd1\x01\x02", 3));
    const auto value = PropertyList::read(bytes);
    ASSERT_TRUE(value);
    EXPECT_EQ(value, PlistValue(Dict{{s("URL"), PlistValue(s("https://example.com/page"))}}));
}

TEST(PropertyListBinary, ReadsEveryObjectType) {
    BinaryPlistBuilder b;
    b.offsetSize = 2;
    const QString unicode = s("caf\u00e9 \U0001F389");
    const QByteArray longData(300, 'z'); // length held in an integer object after the marker
    struct Entry {
        const char *key;
        QByteArray object;
        PlistValue expected;
    } entries[] = {
        {"int1", BinaryPlistBuilder::integer(0xff, 1), PlistValue(255)},
        {"int2", BinaryPlistBuilder::integer(0xfffe, 2), PlistValue(65534)},
        {"int4", BinaryPlistBuilder::integer(0xfffffffe, 4), PlistValue(qint64(4294967294))},
        {"int8", BinaryPlistBuilder::integer(static_cast<quint64>(-5), 8), PlistValue(-5)},
        {"int8max", BinaryPlistBuilder::integer(0x7fffffffffffffff, 8),
         PlistValue(std::numeric_limits<qint64>::max())},
        // 16 bytes whose high half only extends the sign of the low half.
        {"int16neg",
         QByteArray(1, '\x14') + QByteArray(8, '\xff') + BinaryPlistBuilder::bigEndian(~quint64(6), 8),
         PlistValue(-7)},
        {"int16pos", QByteArray(1, '\x14') + QByteArray(8, '\0') + BinaryPlistBuilder::bigEndian(9, 8),
         PlistValue(9)},
        {"float", QByteArray("\x22\x3f\xc0\x00\x00", 5), PlistValue(1.5)},
        {"double", BinaryPlistBuilder::real(-0.1), PlistValue(-0.1)},
        {"date", BinaryPlistBuilder::date(754321098.5), PlistValue(Date(754321098.5))},
        {"data", BinaryPlistBuilder::data(QByteArray("\x00\x01\xff", 3)),
         PlistValue(QByteArray("\x00\x01\xff", 3))},
        {"longData", BinaryPlistBuilder::data(longData), PlistValue(longData)},
        {"ascii", BinaryPlistBuilder::ascii("plain"), PlistValue(s("plain"))},
        {"utf16", BinaryPlistBuilder::utf16(unicode), PlistValue(unicode)},
        {"true", QByteArray(1, '\x09'), PlistValue(true)},
        {"false", QByteArray(1, '\x08'), PlistValue(false)},
    };
    QList<quint64> keys, values;
    Dict expected;
    b.add({}); // the root dictionary, filled in below
    for (const auto &e : entries) {
        keys.append(static_cast<quint64>(b.add(BinaryPlistBuilder::ascii(e.key))));
        values.append(static_cast<quint64>(b.add(e.object)));
        expected.insert(s(e.key), e.expected);
    }
    // A nested array that uses one string twice (shared references are fine, only cycles are not).
    const quint64 shared = static_cast<quint64>(b.add(BinaryPlistBuilder::ascii("twice")));
    const quint64 inner = static_cast<quint64>(b.add(b.array({})));
    keys.append(static_cast<quint64>(b.add(BinaryPlistBuilder::ascii("array"))));
    values.append(static_cast<quint64>(b.add(b.array({shared, inner, shared}))));
    expected.insert(s("array"),
                    PlistValue(Array{PlistValue(s("twice")), PlistValue(Array{}), PlistValue(s("twice"))}));
    b.objects[0] = b.dictionary(keys, values);

    const auto value = PropertyList::readBinary(b.build());
    ASSERT_TRUE(value);
    EXPECT_EQ(value, PlistValue(expected));
}

TEST(PropertyListBinary, ReadsWideOffsetsAndReferences) {
    for (const auto &[offsetSize, refSize] : {std::pair{2, 2}, std::pair{4, 3}, std::pair{8, 8}}) {
        BinaryPlistBuilder b;
        b.offsetSize = offsetSize;
        b.refSize = refSize;
        QList<quint64> refs;
        Array expected;
        b.add({});
        for (int i = 0; i < 300; ++i) {
            refs.append(static_cast<quint64>(b.add(BinaryPlistBuilder::integer(static_cast<quint64>(i), 2))));
            expected.append(PlistValue(i));
        }
        b.objects[0] = b.array(refs);
        EXPECT_EQ(PropertyList::readBinary(b.build()), PlistValue(expected)) << offsetSize << "/" << refSize;
    }
}

// Nested arrays: object i holds object i+1; the last one is empty.
BinaryPlistBuilder nestedArrays(int depth) {
    BinaryPlistBuilder b;
    b.offsetSize = 4;
    b.refSize = 4;
    for (int i = 0; i < depth - 1; ++i)
        b.add(b.array({static_cast<quint64>(i + 1)}));
    b.add(b.array({}));
    return b;
}

TEST(PropertyListBinary, RefusesBrokenFiles) {
    const QByteArray good = binaryWebloc();
    auto withByte = [&](qsizetype index, char byte) {
        QByteArray bytes = good;
        bytes[index < 0 ? bytes.size() + index : index] = byte;
        return bytes;
    };
    BinaryPlistBuilder selfCycle;
    selfCycle.add(selfCycle.array({0}));
    BinaryPlistBuilder longCycle;
    longCycle.add(longCycle.array({1}));
    longCycle.add(longCycle.dictionary({2}, {0}));
    longCycle.add(BinaryPlistBuilder::ascii("k"));
    BinaryPlistBuilder badRef;
    badRef.add(badRef.array({5}));
    BinaryPlistBuilder hugeLength; // data claiming 2^64-1 bytes
    hugeLength.add(QByteArray("\x4f\x13", 2) + QByteArray(8, '\xff'));
    BinaryPlistBuilder hugeDictionary; // a dictionary whose key and value references would overflow
    hugeDictionary.add(QByteArray("\xdf\x13", 2) + BinaryPlistBuilder::bigEndian(0x8000000000000001ULL, 8));
    BinaryPlistBuilder countOverflow = BinaryPlistBuilder();
    countOverflow.add(BinaryPlistBuilder::ascii("x"));
    countOverflow.objectCountOverride = 0x2000000000000001ULL; // times 8 wraps to 8
    countOverflow.offsetSize = 8;
    BinaryPlistBuilder tableOutside;
    tableOutside.add(BinaryPlistBuilder::ascii("x"));
    tableOutside.tableOffsetOverride = 0xfffffffffffffff0ULL;
    BinaryPlistBuilder truncatedObject; // string runs into the offset table
    truncatedObject.add(QByteArray("\x5e", 1) + "abc");

    struct Case {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"empty", {}},
        {"header only", "bplist00"},
        {"other version", QByteArray(good).replace(0, 8, "bplist01")},
        {"offset size 0", withByte(-26, 0)},
        {"offset size 9", withByte(-26, 9)},
        {"reference size 0", withByte(-25, 0)},
        {"no objects", withByte(-17, 0)},
        {"top object out of range", withByte(-9, 3)},
        {"table offset inside header", withByte(-1, 4)},
        {"object offset into trailer", withByte(good.size() - 32 - 1, static_cast<char>(good.size() - 5))},
        {"object offset into header", withByte(good.size() - 32 - 3, 2)},
        {"reference out of range", badRef.build()},
        {"self cycle", selfCycle.build()},
        {"two-object cycle", longCycle.build()},
        {"huge length", hugeLength.build()},
        {"huge dictionary", hugeDictionary.build()},
        {"object count overflows", countOverflow.build()},
        {"table beyond the file", tableOutside.build()},
        {"object runs past its area", truncatedObject.build()},
        {"date with wrong size", withByte(8, 0x32)},
        {"real with wrong size", withByte(8, 0x21)},
        {"integer of 32 bytes", withByte(8, 0x15)},
        {"fill byte", withByte(8, 0x0f)},
        {"unknown type", withByte(8, 0x70)},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(PropertyList::read(c.bytes)) << c.name;
}

TEST(PropertyListBinary, RefusesEveryTruncation) {
    const QByteArray good = binaryWebloc();
    ASSERT_TRUE(PropertyList::readBinary(good));
    for (qsizetype length = 0; length < good.size(); ++length)
        EXPECT_FALSE(PropertyList::read(good.left(length))) << length;
}

// Well-formed values of types the launcher has no use for, in the settings of one key: the others
// read as usual, and the value is written back as it was.
TEST(PropertyListBinary, KeepsValuesItHasNoTypeForOpaque) {
    const struct {
        const char *name;
        QList<QByteArray> objects; // the kept value first; references count from 0 there
    } cases[] = {
        {"integer beyond 64 bits", {wideIntegerObject(0, ~0ULL)}},
        {"uid", {QByteArray("\x80\x07", 2)}},
        {"wide uid", {QByteArray("\x8f", 1) + QByteArray(16, '\x5a')}},
        {"null", {QByteArray(1, '\0')}},
        {"set",
         {QByteArray("\xc2\x01\x02", 3), BinaryPlistBuilder::ascii("a"), BinaryPlistBuilder::ascii("b")}},
        {"ordered set", {QByteArray("\xb1\x01", 2), BinaryPlistBuilder::integer(3, 1)}},
        {"dictionary with a number key",
         {QByteArray("\xd1\x01\x02", 3), BinaryPlistBuilder::integer(1, 1), BinaryPlistBuilder::ascii("x")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // {"theme": "dark", "odd": <the value>}; the value's references are shifted past the three.
        BinaryPlistBuilder b;
        b.add(b.dictionary({1, 2}, {3, 4}));
        b.add(BinaryPlistBuilder::ascii("theme"));
        b.add(BinaryPlistBuilder::ascii("odd"));
        b.add(BinaryPlistBuilder::ascii("dark"));
        for (QByteArray object : c.objects) {
            const auto marker = static_cast<uchar>(object.at(0)) >> 4;
            if (marker == 0xA || marker == 0xB || marker == 0xC || marker == 0xD)
                for (qsizetype i = 1; i < object.size(); ++i)
                    object[i] = static_cast<char>(object.at(i) + 4);
            b.add(object);
        }
        const auto value = PropertyList::readBinary(b.build());
        ASSERT_TRUE(value);
        ASSERT_TRUE(value->dictionaryPointer());
        EXPECT_EQ(entry(*value->dictionaryPointer(), "theme"), PlistValue(s("dark")));
        const auto odd = entry(*value->dictionaryPointer(), "odd");
        ASSERT_TRUE(odd && odd->opaquePointer());
        EXPECT_FALSE(odd->toInteger() || odd->toDictionary() || odd->toArray() || odd->toString());
        // The kept value is the same objects, alone.
        BinaryPlistBuilder alone;
        for (const QByteArray &object : c.objects)
            alone.add(object);
        EXPECT_EQ(PropertyList::readBinary(alone.build()), odd);
        const QByteArray written = PropertyList::writeBinary(*value);
        EXPECT_EQ(PropertyList::readBinary(written), value);
        EXPECT_TRUE(PropertyList::writeXml(*value).isEmpty()); // XML cannot carry it
    }
    // Inside an array only the element is kept opaque; the array reads as usual.
    BinaryPlistBuilder b;
    b.add(b.array({1, 2}));
    b.add(QByteArray("\x80\x01", 2));
    b.add(QByteArray(1, '\x09'));
    const auto array = PropertyList::readBinary(b.build());
    ASSERT_TRUE(array && array->arrayPointer() && array->arrayPointer()->size() == 2);
    EXPECT_TRUE(array->arrayPointer()->at(0).opaquePointer());
    EXPECT_EQ(array->arrayPointer()->at(1), PlistValue(true));
}

TEST(PropertyListBinary, KeepsNestingPastTheCapOpaque) {
    const auto atCap = PropertyList::readBinary(nestedArrays(PropertyList::maxDepth).build());
    ASSERT_TRUE(atCap);
    EXPECT_TRUE(test::opaqueBytes(*atCap).isEmpty());
    for (const int depth : {PropertyList::maxDepth + 1, 100000}) {
        const auto deeper = PropertyList::readBinary(nestedArrays(depth).build());
        ASSERT_TRUE(deeper) << depth;
        EXPECT_TRUE(PropertyList::fitsMaxDepth(*deeper));
        const QByteArray written = PropertyList::writeBinary(*deeper);
        EXPECT_EQ(PropertyList::readBinary(written), deeper) << depth;
        EXPECT_EQ(objectCount(written), quint64(depth));
    }
    // A shared object first met near the root and again too deep: kept opaque at the deeper place.
    BinaryPlistBuilder shared = nestedArrays(PropertyList::maxDepth + 1);
    const quint64 leaf = static_cast<quint64>(PropertyList::maxDepth);
    shared.objects[0] = shared.array({leaf - 1, 1});
    const auto value = PropertyList::readBinary(shared.build());
    ASSERT_TRUE(value);
    EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(*value)), value);
}

TEST(PropertyListBinary, CapsObjectsThatSharedReferencesUnfoldTo) {
    // Each array holds the next one twice: 60 small objects unfold into 2^60 values.
    BinaryPlistBuilder b;
    for (int i = 0; i < 59; ++i)
        b.add(b.array({static_cast<quint64>(i + 1), static_cast<quint64>(i + 1)}));
    b.add(BinaryPlistBuilder::ascii("leaf"));
    EXPECT_FALSE(PropertyList::readBinary(b.build()));

    // Within the cap the same shape reads: 2^10 leaves.
    BinaryPlistBuilder small;
    for (int i = 0; i < 10; ++i)
        small.add(small.array({static_cast<quint64>(i + 1), static_cast<quint64>(i + 1)}));
    small.add(BinaryPlistBuilder::ascii("leaf"));
    EXPECT_TRUE(PropertyList::readBinary(small.build()));
}

TEST(PropertyListBinary, SurvivesRandomCorruption) {
    BinaryPlistBuilder b;
    b.add(b.dictionary({1, 2, 3}, {4, 5, 6}));
    b.add(BinaryPlistBuilder::ascii("a"));
    b.add(BinaryPlistBuilder::ascii("b"));
    b.add(BinaryPlistBuilder::ascii("c"));
    b.add(b.array({7, 8, 7}));
    b.add(BinaryPlistBuilder::utf16(s("\u65e5\u672c")));
    b.add(BinaryPlistBuilder::date(1.5));
    b.add(BinaryPlistBuilder::integer(1234567, 4));
    b.add(BinaryPlistBuilder::data(QByteArray(20, 'd')));
    const QByteArray good = b.build();
    ASSERT_TRUE(PropertyList::readBinary(good));
    QRandomGenerator random(20240611);
    for (int round = 0; round < 5000; ++round) {
        QByteArray bytes = good;
        const int flips = 1 + random.bounded(4);
        for (int i = 0; i < flips; ++i)
            bytes[8 + random.bounded(static_cast<int>(bytes.size() - 8))] =
                static_cast<char>(random.bounded(256));
        (void)PropertyList::readBinary(bytes); // any answer will do; crashing or hanging will not
    }
}

// ---- Files -----------------------------------------------------------------------------------------

TEST(PropertyListFile, ReadsFromDiskThroughTheSizeCap) {
    const QString xmlPath = test::homePath() + s("/Desktop/Example.webloc");
    const QString binaryPath = test::homePath() + s("/Desktop/Binary.webloc");
    test::writeFile(xmlPath, xmlDocument("<dict><key>URL</key><string>https://example.org</string></dict>"));
    test::writeFile(binaryPath, binaryWebloc());
    const auto xml = PropertyList::readFile(xmlPath);
    ASSERT_TRUE(xml);
    EXPECT_EQ(entry(*xml->dictionaryPointer(), "URL"), PlistValue(s("https://example.org")));
    EXPECT_TRUE(PropertyList::readFile(binaryPath));
    EXPECT_FALSE(PropertyList::readFile(xmlPath, 10));
    EXPECT_FALSE(PropertyList::readFile(test::homePath() + s("/missing.webloc")));
    EXPECT_FALSE(PropertyList::readFile(test::homePath()));
}

} // namespace
} // namespace orvex
