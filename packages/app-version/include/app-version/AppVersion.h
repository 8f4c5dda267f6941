#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace orvex {

// The application's version, build number and build time, and the one-line label the panel's footer
// shows. The build's own values are baked in when the project is configured.
struct AppVersionInfo {
    QString shortVersion;
    QString buildVersion;
    std::optional<QDateTime> buildDate;

    bool operator==(const AppVersionInfo &) const = default;

    // The values of this build: the project version, the commit ("unknown" outside a git checkout) and
    // the configure time.
    static AppVersionInfo current();

    // Builds the record from raw texts: an empty version or build number becomes "0"; the build time is
    // seconds since 1970 in UTC, and anything that is not such a number gives no date.
    static AppVersionInfo fromRawValues(const QString &shortVersion, const QString &buildVersion,
                                        const QString &buildEpochSeconds);

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
