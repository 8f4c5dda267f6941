#include "app-version/AppVersion.h"

#include "AppVersionBuildValues.h"

#include <QLocale>

namespace orvex {

namespace {

QString valueOrZero(const QString &text) {
    return text.isEmpty() ? QStringLiteral("0") : text;
}

QString formattedBuildDate(const std::optional<QDateTime> &date, const QTimeZone &timeZone) {
    if (!date || !date->isValid())
        return QStringLiteral("unknown");
    // A fixed pattern in the C locale: the label must not change with the user's language.
    return QLocale::c().toString(date->toTimeZone(timeZone), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

AppVersionInfo AppVersionInfo::current() {
    return fromRawValues(QString::fromUtf8(appVersionBuildValues::shortVersion),
                         QString::fromUtf8(appVersionBuildValues::buildVersion),
                         QString::fromUtf8(appVersionBuildValues::buildEpochSeconds));
}

AppVersionInfo AppVersionInfo::fromRawValues(const QString &shortVersion, const QString &buildVersion,
                                             const QString &buildEpochSeconds) {
    AppVersionInfo info{valueOrZero(shortVersion.trimmed()), valueOrZero(buildVersion.trimmed()), {}};
    bool ok = false;
    const qint64 seconds = buildEpochSeconds.trimmed().toLongLong(&ok);
    // Beyond year 9999 the fixed date pattern no longer holds.
    constexpr qint64 latestSeconds = 253402300799;
    if (ok && seconds >= 0 && seconds <= latestSeconds)
        info.buildDate = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    return info;
}

QString AppVersionInfo::displayLabel() const {
    return AppVersionDisplay::label(*this, QTimeZone::systemTimeZone());
}

namespace AppVersionDisplay {

QString label(const AppVersionInfo &info, const QTimeZone &timeZone) {
    return QStringLiteral("v") + info.shortVersion + QStringLiteral(" (") + info.buildVersion +
           QStringLiteral(") \u2022 build ") + formattedBuildDate(info.buildDate, timeZone);
}

QString current() {
    return AppVersionInfo::current().displayLabel();
}

} // namespace AppVersionDisplay

} // namespace orvex
