#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include "PlistTestSupport.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::entry;
using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;

constexpr auto noBackgroundWrite = std::chrono::hours(1);

QString s(const char *text) {
    return QString::fromUtf8(text);
}

QString defaultsPathFor(const char *test) {
    return test::homePath() + s("/.config/faults-") + s(test) + s("/defaults.plist");
}

// `levels` arrays, each holding the next; the innermost is empty.
PlistValue nestedArrays(int levels) {
    PlistValue value(Array{});
    for (int level = 1; level < levels; ++level)
        value = PlistValue(Array{value});
    return value;
}

// A value that fits on its own sits one level deeper in the file, under the root dictionary; taking it
// would leave the whole file unwritable, so none of the other settings would be saved again.
TEST(UserDefaultsFaults, ValueAtTheDepthLimitDoesNotBlockOtherSettings) {
    ASSERT_TRUE(PropertyList::fitsMaxDepth(nestedArrays(PropertyList::maxDepth)));
    const QString path = defaultsPathFor("depth");
    UserDefaults defaults(path, noBackgroundWrite);
    testing::internal::CaptureStdout();
    defaults.set(s("deep"), nestedArrays(PropertyList::maxDepth));
    defaults.set(s("other"), PlistValue(true));
    const bool flushed = defaults.flush();
    const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
    EXPECT_TRUE(flushed) << output.toStdString();
    EXPECT_FALSE(defaults.hasPendingChanges());
    const auto file = PropertyList::readFile(path, UserDefaults::maxFileBytes);
    ASSERT_TRUE(file && file->dictionaryPointer());
    EXPECT_EQ(entry(*file->dictionaryPointer(), "other"), PlistValue(true));
    // One level less fits in the file and reads back.
    defaults.set(s("deep"), nestedArrays(PropertyList::maxDepth - 1));
    ASSERT_TRUE(defaults.flush());
    UserDefaults reopened(path, noBackgroundWrite);
    EXPECT_EQ(reopened.value(s("deep")), nestedArrays(PropertyList::maxDepth - 1));
}

QByteArray xmlDefaults(const QByteArray &odd) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>launcherThemeID</key><string>midnight</string>"
           "<key>launcherPathOpenCounts</key><dict><key>/applications/mail.app</key><integer>4</integer></"
           "dict>"
           "<key>odd</key>" +
           odd + "</dict></plist>";
}

QByteArray nestedXmlArrays(int levels) {
    return QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels);
}

// {"launcherThemeID": "midnight", "launcherPathOpenCounts": {"/applications/mail.app": 4}, "odd": ...}
// where the odd value is one object that refers to no other.
QByteArray binaryDefaults(const QByteArray &odd) {
    test::BinaryPlistBuilder b;
    b.add(b.dictionary({1, 2, 3}, {4, 5, 6}));
    b.add(test::BinaryPlistBuilder::ascii("launcherThemeID"));
    b.add(test::BinaryPlistBuilder::ascii("launcherPathOpenCounts"));
    b.add(test::BinaryPlistBuilder::ascii("odd"));
    b.add(test::BinaryPlistBuilder::ascii("midnight"));
    b.add(b.dictionary({7}, {8}));
    b.add(odd);
    b.add(test::BinaryPlistBuilder::ascii("/applications/mail.app"));
    b.add(test::BinaryPlistBuilder::integer(4, 1));
    return b.build();
}

// One value of a kind this build has no type for must not cost the theme, the hot key, the counts
// and the recent list: it is read as what it is, and written back unchanged with the rest.
TEST(UserDefaultsFaults, OneValueBeyondOurTypesKeepsTheRestOfTheFile) {
    const struct {
        const char *name;
        QByteArray file;
    } cases[] = {
        {"xml integer of 2^63", xmlDefaults("<integer>9223372036854775808</integer>")},
        {"xml negative integer beyond 64 bits", xmlDefaults("<integer>-18446744073709551616</integer>")},
        {"xml nesting at the depth limit", xmlDefaults(nestedXmlArrays(PropertyList::maxDepth))},
        {"binary uid", binaryDefaults(QByteArray("\x80\x05", 2))},
        {"binary integer of 2^64 - 1",
         binaryDefaults(QByteArray(1, '\x14') + QByteArray(8, '\0') + QByteArray(8, '\xff'))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path =
            defaultsPathFor("beyond") + QLatin1Char('-') + QString::number(qHash(QByteArray(c.name)));
        test::writeFile(path, c.file);
        const auto original = PropertyList::readFile(path, UserDefaults::maxFileBytes);
        ASSERT_TRUE(original && original->dictionaryPointer());
        const auto odd = entry(*original->dictionaryPointer(), "odd");
        ASSERT_TRUE(odd);

        testing::internal::CaptureStdout();
        {
            UserDefaults defaults(path, noBackgroundWrite);
            EXPECT_EQ(defaults.stringValue(s("launcherThemeID")), s("midnight"));
            EXPECT_EQ(defaults.dictionaryValue(s("launcherPathOpenCounts")),
                      (Dict{{s("/applications/mail.app"), PlistValue(4)}}));
            EXPECT_FALSE(defaults.integerValue(s("odd")));
            defaults.set(s("launcherThemeID"), PlistValue(s("paper")));
            ASSERT_TRUE(defaults.flush());
        }
        const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
        EXPECT_EQ(output, QString()) << "nothing set aside";
        const auto rewritten = PropertyList::readFile(path, UserDefaults::maxFileBytes);
        ASSERT_TRUE(rewritten && rewritten->dictionaryPointer());
        EXPECT_EQ(entry(*rewritten->dictionaryPointer(), "launcherThemeID"), PlistValue(s("paper")));
        EXPECT_EQ(entry(*rewritten->dictionaryPointer(), "odd"), odd);
        EXPECT_EQ(entry(*rewritten->dictionaryPointer(), "launcherPathOpenCounts"),
                  PlistValue(Dict{{s("/applications/mail.app"), PlistValue(4)}}));
    }
}

} // namespace
} // namespace orvex
