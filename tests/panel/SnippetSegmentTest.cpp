#include "panel/SnippetSegment.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(SnippetSegment, RunsSplitAtTheMarkTags) {
    using S = SnippetSegment;
    struct Case {
        QString snippet;
        QList<S> expected;
    } cases[] = {
        {QStringLiteral("a <mark>b</mark> c"),
         {S{QStringLiteral("a "), false}, S{QStringLiteral("b"), true}, S{QStringLiteral(" c"), false}}},
        {QStringLiteral("<mark>b</mark>"), {S{QStringLiteral("b"), true}}},
        {QStringLiteral("a<mark>b"), {S{QStringLiteral("a"), false}, S{QStringLiteral("b"), true}}},
        {QStringLiteral("one\ntwo"), {S{QStringLiteral("one two"), false}}},
        {QStringLiteral("<mark>b</mark>c</mark>d"),
         {S{QStringLiteral("b"), true}, S{QStringLiteral("c</mark>d"), false}}},
        {QStringLiteral("x</mark>y"), {S{QStringLiteral("x</mark>y"), false}}},
        {QString(), {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseSnippetSegments(c.snippet), c.expected) << c.snippet.toStdString();
}

} // namespace
} // namespace orvex
