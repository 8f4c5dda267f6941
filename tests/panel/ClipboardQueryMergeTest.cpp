#include "panel/ClipboardQueryMerge.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(ClipboardQueryMerge, JoinsWithOneSpaceUnlessWhiteSpaceIsThereAlready) {
    struct Case {
        const char16_t *query, *clip, *expected;
    } cases[] = {
        {u"foo", u"bar", u"foo bar"},    {u"foo ", u"bar", u"foo bar"}, {u"foo", u" bar", u"foo bar"},
        {u"foo", u"\nbar", u"foo\nbar"}, {u"", u"bar", u"bar"},         {u"foo", u"", u"foo"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mergedQueryWithClipboardText(QString::fromUtf16(c.query), QString::fromUtf16(c.clip)),
                  QString::fromUtf16(c.expected));
}

} // namespace
} // namespace orvex
