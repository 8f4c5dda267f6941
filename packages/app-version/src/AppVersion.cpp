#include "app-version/AppVersion.h"

#include "AppVersionBuildValues.h"

#include <QFile>
#include <QLocale>

#include <sys/stat.h>

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
    // The program's own file, wherever it was started from.
    return fromRawValues(QString::fromUtf8(appVersionBuildValues::shortVersion),
                         QString::fromUtf8(appVersionBuildValues::buildVersion),
                         executableBuildDate(QStringLiteral("/proc/self/exe")));
}

AppVersionInfo AppVersionInfo::fromRawValues(const QString &shortVersion, const QString &buildVersion,
                                             const std::optional<QDateTime> &buildDate) {
    AppVersionInfo info{valueOrZero(shortVersion.trimmed()), valueOrZero(buildVersion.trimmed()), {}};
    // Beyond year 9999 the fixed date pattern no longer holds.
    constexpr qint64 latestSeconds = 253402300799;
    if (buildDate && buildDate->isValid() && buildDate->toSecsSinceEpoch() >= 0 &&
        buildDate->toSecsSinceEpoch() <= latestSeconds)
        info.buildDate = buildDate->toUTC();
    return info;
}

std::optional<QDateTime> AppVersionInfo::executableBuildDate(const QString &executablePath) {
    struct stat info {};
    if (executablePath.isEmpty() || ::stat(QFile::encodeName(executablePath).constData(), &info) != 0)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000, QTimeZone::utc());
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
