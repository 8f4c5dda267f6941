#include "app-version/AppVersion.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// 2024-03-05 12:00:00 UTC.
constexpr qint64 noonUtc = 1709640000;

TEST(AppVersionInfo, RawValuesFillTheRecord) {
    struct Case {
        const char *name;
        QString version, build, epoch;
        AppVersionInfo expected;
    } cases[] = {
        {"all present",
         "1.2",
         "abc",
         QString::number(noonUtc),
         {"1.2", "abc", QDateTime::fromSecsSinceEpoch(noonUtc, QTimeZone::utc())}},
        {"no build number",
         "1.2",
         "",
         QString::number(noonUtc),
         {"1.2", "0", QDateTime::fromSecsSinceEpoch(noonUtc, QTimeZone::utc())}},
        {"no version", "  ", "abc", "", {"0", "abc", std::nullopt}},
        {"time not a number", "1.2", "abc", "yesterday", {"1.2", "abc", std::nullopt}},
        {"time before 1970", "1.2", "abc", "-5", {"1.2", "abc", std::nullopt}},
        {"time past year 9999", "1.2", "abc", "999999999999", {"1.2", "abc", std::nullopt}},
        {"time overflowing", "1.2", "abc", "99999999999999999999999", {"1.2", "abc", std::nullopt}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AppVersionInfo::fromRawValues(c.version, c.build, c.epoch), c.expected) << c.name;
}

TEST(AppVersionDisplay, LabelShowsTheBuildTimeInTheGivenZone) {
    const auto info = AppVersionInfo::fromRawValues("1.2", "", QString::number(noonUtc));
    EXPECT_EQ(AppVersionDisplay::label(info, QTimeZone::utc()),
              QString::fromUtf8("v1.2 (0) \u2022 build 2024-03-05 12:00:00"));
    EXPECT_EQ(AppVersionDisplay::label(info, QTimeZone(2 * 3600)),
              QString::fromUtf8("v1.2 (0) \u2022 build 2024-03-05 14:00:00"));
    // A zone behind UTC can move the date back a day.
    const auto lateEvening = AppVersionInfo::fromRawValues("1.2", "x", QString::number(noonUtc - 11 * 3600));
    EXPECT_EQ(AppVersionDisplay::label(lateEvening, QTimeZone(-3 * 3600)),
              QString::fromUtf8("v1.2 (x) \u2022 build 2024-03-04 22:00:00"));
}

TEST(AppVersionDisplay, LabelWithoutADateEndsInUnknown) {
    const AppVersionInfo info{"0.1.0", "deadbeef", std::nullopt};
    EXPECT_EQ(AppVersionDisplay::label(info, QTimeZone::utc()),
              QString::fromUtf8("v0.1.0 (deadbeef) \u2022 build unknown"));
}

TEST(AppVersionInfo, ThisBuildCarriesTheProjectVersionCommitAndTime) {
    const AppVersionInfo info = AppVersionInfo::current();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(info.shortVersion).hasMatch())
        << info.shortVersion.toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^([0-9a-f]{7,}|unknown)$")).match(info.buildVersion).hasMatch())
        << info.buildVersion.toStdString();
    ASSERT_TRUE(info.buildDate.has_value());
    EXPECT_LE(*info.buildDate, QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(AppVersionDisplay::current().startsWith(QStringLiteral("v") + info.shortVersion + " ("));
}

} // namespace
} // namespace orvex
