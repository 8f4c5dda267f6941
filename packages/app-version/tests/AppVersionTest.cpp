#include "app-version/AppVersion.h"

#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// 2024-03-05 12:00:00 UTC.
constexpr qint64 noonUtc = 1709640000;

QDateTime at(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

TEST(AppVersionInfo, RawValuesFillTheRecord) {
    struct Case {
        const char *name;
        QString version, build;
        std::optional<QDateTime> date;
        AppVersionInfo expected;
    } cases[] = {
        {"all present", "1.2", "abc", at(noonUtc), {"1.2", "abc", at(noonUtc)}},
        {"no build number", "1.2", "", at(noonUtc), {"1.2", "0", at(noonUtc)}},
        {"in another zone, kept in UTC",
         "1.2",
         "abc",
         at(noonUtc).toTimeZone(QTimeZone(3600)),
         {"1.2", "abc", at(noonUtc)}},
        {"no version, no date", "  ", "abc", std::nullopt, {"0", "abc", std::nullopt}},
        {"invalid date", "1.2", "abc", QDateTime(), {"1.2", "abc", std::nullopt}},
        {"time before 1970", "1.2", "abc", at(-5), {"1.2", "abc", std::nullopt}},
        {"time past year 9999", "1.2", "abc", at(999999999999), {"1.2", "abc", std::nullopt}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AppVersionInfo::fromRawValues(c.version, c.build, c.date), c.expected) << c.name;
}

TEST(AppVersionDisplay, LabelShowsTheBuildTimeInTheGivenZone) {
    const auto info = AppVersionInfo::fromRawValues("1.2", "", at(noonUtc));
    EXPECT_EQ(AppVersionDisplay::label(info, QTimeZone::utc()),
              QString::fromUtf8("v1.2 (0) \u2022 build 2024-03-05 12:00:00"));
    EXPECT_EQ(AppVersionDisplay::label(info, QTimeZone(2 * 3600)),
              QString::fromUtf8("v1.2 (0) \u2022 build 2024-03-05 14:00:00"));
    // A zone behind UTC can move the date back a day.
    const auto lateEvening = AppVersionInfo::fromRawValues("1.2", "x", at(noonUtc - 11 * 3600));
    EXPECT_EQ(AppVersionDisplay::label(lateEvening, QTimeZone(-3 * 3600)),
              QString::fromUtf8("v1.2 (x) \u2022 build 2024-03-04 22:00:00"));
}

TEST(AppVersionDisplay, LabelWithoutADateEndsInUnknown) {
    const AppVersionInfo info{"0.1.0", "deadbeef", std::nullopt};
    EXPECT_EQ(AppVersionDisplay::label(info, QTimeZone::utc()),
              QString::fromUtf8("v0.1.0 (deadbeef) \u2022 build unknown"));
}

// The build time is the program file's own modification time (the moment it was linked), not the
// time the project was configured, which may be days earlier.
TEST(AppVersionInfo, ThisBuildCarriesTheProjectVersionCommitAndItsFilesTime) {
    const AppVersionInfo info = AppVersionInfo::current();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(info.shortVersion).hasMatch())
        << info.shortVersion.toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^([0-9a-f]{7,}|unknown)$")).match(info.buildVersion).hasMatch())
        << info.buildVersion.toStdString();
    ASSERT_TRUE(info.buildDate.has_value());
    EXPECT_EQ(*info.buildDate, QFileInfo(QCoreApplication::applicationFilePath()).lastModified().toUTC());
    EXPECT_TRUE(AppVersionDisplay::current().startsWith(QStringLiteral("v") + info.shortVersion + " ("));
}

TEST(AppVersionInfo, TheBuildDateIsTheFilesModificationTimeOrUnknown) {
    const QString file = test::homePath() + QStringLiteral("/orvex-app-version-probe");
    {
        QFile probe(file);
        ASSERT_TRUE(probe.open(QIODevice::WriteOnly));
        ASSERT_TRUE(probe.setFileTime(at(noonUtc), QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(AppVersionInfo::executableBuildDate(file), at(noonUtc));
    QFile::remove(file);
    EXPECT_EQ(AppVersionInfo::executableBuildDate(file), std::nullopt);
    EXPECT_EQ(AppVersionInfo::executableBuildDate(QString()), std::nullopt);
    const auto missing = AppVersionInfo::fromRawValues("1.2", "x", AppVersionInfo::executableBuildDate(file));
    EXPECT_TRUE(
        AppVersionDisplay::label(missing, QTimeZone::utc()).endsWith(QStringLiteral("build unknown")));
}

} // namespace
} // namespace orvex
