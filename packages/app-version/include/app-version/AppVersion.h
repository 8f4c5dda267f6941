#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace orvex {

// The application's version, build number and build time, and the one-line label the panel's footer
// shows. The version and the commit are baked in when the project is configured; the build time is the
// running executable's modification time, read each time it is asked for.
struct AppVersionInfo {
    QString shortVersion;
    QString buildVersion;
    std::optional<QDateTime> buildDate;

    bool operator==(const AppVersionInfo &) const = default;

    // The values of this build: the project version, the commit ("unknown" outside a git checkout) and
    // the running executable's modification time, read now.
    static AppVersionInfo current();

    // Builds the record from raw values: an empty version or build number becomes "0"; a date before
    // 1970 or after the year 9999 counts as none.
    static AppVersionInfo fromRawValues(const QString &shortVersion, const QString &buildVersion,
                                        const std::optional<QDateTime> &buildDate);

    // The modification time of the file at `executablePath` (links followed), in UTC; none when it
    // cannot be read.
    static std::optional<QDateTime> executableBuildDate(const QString &executablePath);

    // The label in the system's time zone.
    QString displayLabel() const;
};

namespace AppVersionDisplay {

// "v" version " (" build ") • build " date, the date as "yyyy-MM-dd HH:mm:ss" in `timeZone`, or
// "unknown" without one.
QString label(const AppVersionInfo &info, const QTimeZone &timeZone);

// The label of this build in the system's time zone.
QString current();

} // namespace AppVersionDisplay

} // namespace orvex
