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

} // namespace
} // namespace orvex
