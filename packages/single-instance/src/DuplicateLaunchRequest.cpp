#include "single-instance/DuplicateLaunchRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

namespace orvex {

bool DuplicateLaunchRequest::operator==(const DuplicateLaunchRequest &other) const {
    return arguments == other.arguments && fileURLs == other.fileURLs && createdAt == other.createdAt;
}

QByteArray DuplicateLaunchRequest::toJson() const {
    QJsonArray urls;
    for (const QUrl &url : fileURLs)
        urls.append(url.toString(QUrl::FullyEncoded));
    const QDateTime utc = createdAt.toUTC();
    QJsonObject object{
        {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
        {QStringLiteral("fileURLs"), urls},
        {QStringLiteral("createdAt"), utc.addMSecs(-utc.time().msec()).toString(Qt::ISODate)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<DuplicateLaunchRequest> DuplicateLaunchRequest::fromJson(const QByteArray &json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue arguments = object.value(QStringLiteral("arguments"));
    const QJsonValue urls = object.value(QStringLiteral("fileURLs"));
    const QJsonValue createdAt = object.value(QStringLiteral("createdAt"));
    if (!arguments.isArray() || !urls.isArray() || !createdAt.isString())
        return std::nullopt;

    DuplicateLaunchRequest request;
    for (const QJsonValue &argument : arguments.toArray()) {
        if (!argument.isString())
            return std::nullopt;
        request.arguments.append(argument.toString());
    }
    for (const QJsonValue &value : urls.toArray()) {
        if (!value.isString())
            return std::nullopt;
        const QUrl url(value.toString(), QUrl::StrictMode);
        if (!url.isValid() || url.isEmpty())
            return std::nullopt;
        request.fileURLs.append(url);
    }
    const QString dateText = createdAt.toString();
    QDateTime date = QDateTime::fromString(dateText, Qt::ISODate);
    // Without a zone the moment is unknown.
    if (!date.isValid() || date.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    request.createdAt = date.toUTC();
    return request;
}

} // namespace orvex
