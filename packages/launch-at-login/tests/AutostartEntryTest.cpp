#include "launch-at-login/AutostartEntry.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(AutostartEntry, ExecArgumentsAreQuotedOnlyWhenTheyMustBe) {
    struct Case {
        const char *argument;
        const char *expected;
    } cases[] = {
        {"/usr/bin/orvex-launcher", "/usr/bin/orvex-launcher"},
        {"/opt/100%/run", "/opt/100%%/run"},
        {"/a b/run", "\"/a b/run\""},
        {"/it's/run", "\"/it's/run\""},
        {"/say \"hi\"/run", "\"/say \\\"hi\\\"/run\""},
        {"/back\\slash/run", "\"/back\\\\slash/run\""},
        {"/$HOME/`x`/run", "\"/\\$HOME/\\`x\\`/run\""},
        {"/50% off/run", "\"/50%% off/run\""},
        {"/~tilde;&|<>*?#()/run", "\"/~tilde;&|<>*?#()/run\""},
        {"", "\"\""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(AutostartEntry::execArgument(QString::fromUtf8(c.argument)), QString::fromUtf8(c.expected))
            << c.argument;
}

TEST(AutostartEntry, StringValuesEscapeBackslashesAndControlCharacters) {
    EXPECT_EQ(AutostartEntry::escapeValue(QStringLiteral("\"/a\\\\b\"")), QStringLiteral("\"/a\\\\\\\\b\""));
    EXPECT_EQ(AutostartEntry::escapeValue(QStringLiteral("a\nb\tc\rd")), QStringLiteral("a\\nb\\tc\\rd"));
    EXPECT_EQ(AutostartEntry::escapeValue(QStringLiteral(" lead and trail ")),
              QStringLiteral("\\slead and trail "));
}

TEST(AutostartEntry, ReadsOnlyTheMainGroup) {
    const auto group = AutostartEntry::readMainGroup("# comment\n"
                                                     "[Other]\nExec=wrong\n"
                                                     "[Desktop Entry]\n"
                                                     "Exec = \"/a b/run\" \n"
                                                     "Name[de]=Starter\n"
                                                     "broken line\n"
                                                     "[Desktop Action x]\nHidden=true\n");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->value(QStringLiteral("Exec")), QStringLiteral("\"/a b/run\""));
    EXPECT_EQ(group->value(QStringLiteral("Name[de]")), QStringLiteral("Starter"));
    EXPECT_FALSE(group->contains(QStringLiteral("Hidden")));
    EXPECT_FALSE(AutostartEntry::readMainGroup("[Other]\nExec=x\n"));
    EXPECT_FALSE(AutostartEntry::readMainGroup(""));
}

} // namespace
} // namespace orvex
