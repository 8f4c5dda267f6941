// Diagnostics keep their stream and their words, and an area's category can silence its notes.
#include "platform/ConsoleLog.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

Q_LOGGING_CATEGORY(sampleLog, "orvex.sample", QtInfoMsg)

class ConsoleLog : public ::testing::Test {
protected:
    ~ConsoleLog() override { QLoggingCategory::setFilterRules(QString()); }
};

TEST_F(ConsoleLog, NotesGoToStandardOutputUntilTheirAreaIsSilenced) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    printLine(sampleLog(), QStringLiteral("Failed to write defaults file: /tmp/ä b"));
    QLoggingCategory::setFilterRules(QStringLiteral("orvex.sample.info=false"));
    printLine(sampleLog(), QStringLiteral("silenced"));
    printErrorLine(QStringLiteral("Orvex Launcher could not open x: said whatever the rules are"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Orvex Launcher could not open x: said whatever the rules are\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to write defaults file: /tmp/\xc3\xa4 b\n");
}

} // namespace
} // namespace orvex
