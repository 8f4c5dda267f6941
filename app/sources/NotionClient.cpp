#include "sources/NotionClient.h"

#include <QDate>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace orvex {

namespace {

// Notion answers at most 12 small page objects; anything near this size is not a search reply.
constexpr qint64 maximumReplyBytes = 4 * 1024 * 1024;
constexpr std::chrono::milliseconds cancellationPollInterval{25};

// Swift-style casts: a list counts as objects only when every element is one.
bool isArrayOfObjects(const QJsonValue &value) {
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    return std::all_of(array.begin(), array.end(),
                       [](const QJsonValue &element) { return element.isObject(); });
}

// The three forms of an HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT"
// and "Sun Nov  6 08:49:37 1994"; always in GMT.
std::optional<Date> parseHttpDate(const QString &text) {
    static thread_local const QRegularExpression fixdate(QStringLiteral(
        "^[A-Za-z]{3}, ([0-9]{2}) ([A-Za-z]{3}) ([0-9]{4}) ([0-9]{2}):([0-9]{2}):([0-9]{2}) GMT$"));
    static thread_local const QRegularExpression rfc850(QStringLiteral(
        "^[A-Za-z]{6,9}, ([0-9]{2})-([A-Za-z]{3})-([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2}) GMT$"));
    static thread_local const QRegularExpression asctime(QStringLiteral(
        "^[A-Za-z]{3} ([A-Za-z]{3}) ([0-9 ][0-9]) ([0-9]{2}):([0-9]{2}):([0-9]{2}) ([0-9]{4})$"));
    static const QStringList months = {QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
                                       QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
                                       QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
                                       QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};

    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    QString month;
    if (const QRegularExpressionMatch m = fixdate.match(text); m.hasMatch()) {
        day = m.capturedView(1).toInt();
        month = m.captured(2);
        year = m.capturedView(3).toInt();
        hour = m.capturedView(4).toInt();
        minute = m.capturedView(5).toInt();
        second = m.capturedView(6).toInt();
    } else if (const QRegularExpressionMatch m = rfc850.match(text); m.hasMatch()) {
        day = m.capturedView(1).toInt();
        month = m.captured(2);
        // A two-digit year more than 50 years ahead is read as the past century's.
        year = 2000 + m.capturedView(3).toInt();
        if (year > QDate::currentDate().year() + 50)
            year -= 100;
        hour = m.capturedView(4).toInt();
        minute = m.capturedView(5).toInt();
        second = m.capturedView(6).toInt();
    } else if (const QRegularExpressionMatch m = asctime.match(text); m.hasMatch()) {
        month = m.captured(1);
        day = m.captured(2).trimmed().toInt();
        hour = m.capturedView(3).toInt();
        minute = m.capturedView(4).toInt();
        second = m.capturedView(5).toInt();
        year = m.capturedView(6).toInt();
    } else {
        return std::nullopt;
    }
    const qsizetype monthIndex = months.indexOf(month);
    const QDate date(year, static_cast<int>(monthIndex) + 1, day);
    // 60 is a leap second.
    if (monthIndex < 0 || !date.isValid() || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    const qint64 midnight = QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    return Date::fromUnixSeconds(static_cast<double>(midnight + hour * 3600 + minute * 60 + second));
}

} // namespace

double NotionRetryAfter::secondsToWait(Date now) const {
    double wait = 0;
    if (seconds)
        wait = *seconds;
    else if (date)
        wait = date->secondsSince(now);
    return wait > 0 ? wait : 0;
}

NotionClient::NotionClient(QString token, QUrl baseURL, std::chrono::milliseconds timeout)
    : token_(std::move(token)), baseURL_(std::move(baseURL)), timeout_(timeout) {}

QUrl NotionClient::searchURL(const QUrl &baseURL) {
    QUrl url = baseURL;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/v1/search"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QByteArray NotionClient::requestBody(const QString &query) {
    QJsonObject filter;
    filter.insert(QStringLiteral("value"), QStringLiteral("page"));
    filter.insert(QStringLiteral("property"), QStringLiteral("object"));
    QJsonObject body;
    body.insert(QStringLiteral("query"), query);
    body.insert(QStringLiteral("filter"), filter);
    body.insert(QStringLiteral("page_size"), 12);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

bool NotionClient::isSendableToken(const QString &token) {
    return std::none_of(token.begin(), token.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}

QList<NotionPage> NotionClient::searchPages(const QString &query, const std::atomic<bool> *cancelled) const {
    return search(query, cancelled).pages;
}

NotionSearchResponse NotionClient::search(const QString &query, const std::atomic<bool> *cancelled) const {
    using Reason = NotionSearchFailure::Reason;
    const auto failed = [](Reason reason, int httpStatus = 0, QString detail = {}) {
        return NotionSearchResponse{{}, NotionSearchFailure{reason, httpStatus, std::move(detail)}};
    };
    if (!isSendableToken(token_))
        return failed(Reason::unsendableToken);
    const QUrl url = searchURL(baseURL_);
    if (!url.isValid() || url.host().isEmpty())
        return failed(Reason::invalidAddress);

    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + token_.toUtf8());
    request.setRawHeader("Notion-Version", "2022-06-28");
    request.setRawHeader("Content-Type", "application/json");
    // A redirect would carry the token to wherever it points; the API never redirects.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    // The event loop comes first: it gives a plain worker thread the dispatcher the timers need.
    QEventLoop loop;
    QNetworkAccessManager network;
    const std::unique_ptr<QNetworkReply> reply(network.post(request, requestBody(query)));
    bool oversized = false;
    bool wasCancelled = false;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop,
                     [&](qint64 received, qint64 total) {
                         if (received > maximumReplyBytes || total > maximumReplyBytes) {
                             oversized = true;
                             loop.quit();
                         }
                     });
    QTimer deadline;
    deadline.setSingleShot(true);
    // A coarse timer may fire a few percent early.
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer cancellationPoll;
    if (cancelled) {
        QObject::connect(&cancellationPoll, &QTimer::timeout, &loop, [&] {
            if (cancelled->load()) {
                wasCancelled = true;
                loop.quit();
            }
        });
        cancellationPoll.start(cancellationPollInterval);
    }
    deadline.start(timeout_);
    if (!reply->isFinished())
        loop.exec();

    if (oversized) {
        reply->abort();
        return failed(Reason::unreadableReply);
    }
    if (!reply->isFinished()) {
        reply->abort();
        return failed(wasCancelled ? Reason::cancelled : Reason::timedOut);
    }
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (statusAttribute.isValid()) {
        const int status = statusAttribute.toInt();
        if (status == 401 || status == 403)
            return failed(Reason::refusedToken, status);
        const std::optional<NotionRetryAfter> retryAfter = parseRetryAfter(reply->rawHeader("Retry-After"));
        if (status == 429 || (status == 503 && retryAfter)) {
            NotionSearchResponse response = failed(Reason::asksToWait, status);
            response.failure->retryAfter = retryAfter;
            return response;
        }
        if (status != 200)
            return failed(Reason::serverStatus, status);
    }
    if (reply->error() != QNetworkReply::NoError || !statusAttribute.isValid())
        return failed(Reason::noAnswer, 0, reply->errorString());
    const QByteArray body = reply->read(maximumReplyBytes + 1);
    if (body.size() > maximumReplyBytes)
        return failed(Reason::unreadableReply);
    std::optional<QList<NotionPage>> pages = parseSearchResponseIfReadable(body);
    if (!pages)
        return failed(Reason::unreadableReply);
    return NotionSearchResponse{std::move(*pages), std::nullopt};
}

QList<NotionPage> NotionClient::parseSearchResponse(const QByteArray &body) {
    return parseSearchResponseIfReadable(body).value_or(QList<NotionPage>());
}

std::optional<QList<NotionPage>> NotionClient::parseSearchResponseIfReadable(const QByteArray &body) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue results = document.object().value(QStringLiteral("results"));
    if (!isArrayOfObjects(results))
        return std::nullopt;

    QList<NotionPage> pages;
    for (const QJsonValue &value : results.toArray()) {
        const QJsonObject result = value.toObject();
        const QJsonValue id = result.value(QStringLiteral("id"));
        const QJsonValue url = result.value(QStringLiteral("url"));
        if (!id.isString() || !url.isString())
            continue;
        QString title = extractTitle(result);
        if (title.isEmpty())
            continue;
        std::optional<Date> lastEditedTime;
        const QJsonValue edited = result.value(QStringLiteral("last_edited_time"));
        if (edited.isString())
            lastEditedTime = parseInternetDateTime(edited.toString());
        pages.append(NotionPage{.id = id.toString(),
                                .title = std::move(title),
                                .url = url.toString(),
                                .icon = extractIcon(result),
                                .lastEditedTime = lastEditedTime});
    }
    return pages;
}

QString NotionClient::extractTitle(const QJsonObject &result) {
    const QJsonValue properties = result.value(QStringLiteral("properties"));
    if (!properties.isObject())
        return {};
    const QJsonObject propertyObjects = properties.toObject();
    for (const QJsonValue &property : propertyObjects)
        if (!property.isObject())
            return {};

    for (const QJsonValue &value : propertyObjects) {
        const QJsonObject property = value.toObject();
        if (property.value(QStringLiteral("type")) != QJsonValue(QStringLiteral("title")))
            continue;
        const QJsonValue parts = property.value(QStringLiteral("title"));
        if (!isArrayOfObjects(parts))
            continue;
        QString text;
        for (const QJsonValue &part : parts.toArray()) {
            const QJsonValue plainText = part.toObject().value(QStringLiteral("plain_text"));
            if (plainText.isString())
                text += plainText.toString();
        }
        if (!text.isEmpty())
            return text;
    }
    return {};
}

std::optional<NotionPageIcon> NotionClient::extractIcon(const QJsonObject &result) {
    const QJsonValue iconValue = result.value(QStringLiteral("icon"));
    if (!iconValue.isObject())
        return std::nullopt;
    const QJsonObject icon = iconValue.toObject();
    const QJsonValue type = icon.value(QStringLiteral("type"));
    if (!type.isString())
        return std::nullopt;
    if (type.toString() == QLatin1String("emoji")) {
        const QJsonValue emoji = icon.value(QStringLiteral("emoji"));
        if (emoji.isString())
            return NotionPageIcon::emoji(emoji.toString());
        return std::nullopt;
    }
    if (type.toString() == QLatin1String("external")) {
        const QJsonValue external = icon.value(QStringLiteral("external"));
        if (!external.isObject())
            return std::nullopt;
        const QJsonValue url = external.toObject().value(QStringLiteral("url"));
        if (url.isString())
            return NotionPageIcon::external(url.toString());
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<NotionRetryAfter> NotionClient::parseRetryAfter(const QByteArray &value) {
    const QString text = QString::fromLatin1(value).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        // Digits beyond any real wait are still a wait, only a long one: a double holds them all.
        return NotionRetryAfter{.seconds = text.toDouble(), .date = std::nullopt};
    }
    if (const std::optional<Date> date = parseHttpDate(text))
        return NotionRetryAfter{.seconds = std::nullopt, .date = *date};
    return std::nullopt;
}

std::optional<Date> NotionClient::parseInternetDateTime(const QString &text) {
    static thread_local const QRegularExpression pattern(
        QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(\\.[0-9]+)?"
                       "(?:(Z)|([+-])([0-9]{2}):([0-9]{2}))$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const auto number = [&](int group) { return match.capturedView(group).toInt(); };
    const QDate date(number(1), number(2), number(3));
    const int hour = number(4), minute = number(5), second = number(6);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    int offsetSeconds = 0;
    if (!match.hasCaptured(8)) {
        const int offsetHours = number(10), offsetMinutes = number(11);
        if (offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (match.capturedView(9) == u"-" ? -1 : 1);
    }
    const double fraction = match.hasCaptured(7) ? (QStringLiteral("0") + match.captured(7)).toDouble() : 0.0;
    const qint64 midnight = QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 wholeSeconds = midnight + hour * 3600 + minute * 60 + second - offsetSeconds;
    return Date::fromUnixSeconds(static_cast<double>(wholeSeconds) + fraction);
}

} // namespace orvex
