#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <optional>

namespace orvex {

// The icon of a Notion page: an emoji or the address of an image.
struct NotionPageIcon {
    enum class Kind { emoji, external };

    Kind kind = Kind::emoji;
    QString value; // the emoji characters, or the image address

    static NotionPageIcon emoji(QString characters) { return {Kind::emoji, std::move(characters)}; }
    static NotionPageIcon external(QString address) { return {Kind::external, std::move(address)}; }

    bool operator==(const NotionPageIcon &) const = default;
};

// One page found by Notion's search: the fields the launcher builds a row from.
struct NotionPage {
    QString id;    // as received, with or without dashes
    QString title; // never empty
    QString url;   // as received
    std::optional<NotionPageIcon> icon;
    std::optional<Date> lastEditedTime;

    bool operator==(const NotionPage &) const = default;
};

// When a service that asked to wait may be asked again: after a number of seconds, or from a moment
// (the two forms of an HTTP "Retry-After").
struct NotionRetryAfter {
    std::optional<double> seconds;
    std::optional<Date> date;

    // Seconds left to wait at `now`; never negative.
    double secondsToWait(Date now) const;

    bool operator==(const NotionRetryAfter &) const = default;
};

// Why a search request brought no answer to read pages from.
struct NotionSearchFailure {
    enum class Reason {
        unsendableToken, // never sent: the token holds a control character
        invalidAddress,  // never sent: the base address has no host
        refusedToken,    // HTTP 401 or 403
        asksToWait,      // HTTP 429, or 503 with a "Retry-After"
        serverStatus,    // any other status than 200
        noAnswer,        // no connection, or it broke off; `detail` says how
        timedOut,        // nothing complete within the time-out
        cancelled,
        unreadableReply, // 200, but not a search reply (or larger than any search reply)
    };

    Reason reason = Reason::noAnswer;
    int httpStatus = 0; // refusedToken, asksToWait, serverStatus
    QString detail;     // noAnswer: the network layer's description
    // asksToWait: the reply's "Retry-After", when it has a readable one.
    std::optional<NotionRetryAfter> retryAfter;

    bool operator==(const NotionSearchFailure &) const = default;
};

// One search request's outcome: the pages of a readable reply (possibly none), or why there is none.
struct NotionSearchResponse {
    QList<NotionPage> pages;
    std::optional<NotionSearchFailure> failure;
};

// Asks Notion's search API for the pages matching a query with the user's integration token. A small
// value made per use; it keeps no connection. searchPages() answers the empty list on every failure;
// search() also says why it failed.
class NotionClient {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{4000};
    static QUrl defaultBaseURL() { return QUrl(QStringLiteral("https://api.notion.com")); }

    explicit NotionClient(QString token, QUrl baseURL = defaultBaseURL(),
                          std::chrono::milliseconds timeout = defaultTimeout);

    const QString &token() const { return token_; }

    // Sends one search request and waits for its reply on a private event loop, so it blocks the
    // calling thread for at most the time-out: call it from a worker, not from the GUI thread.
    // `cancelled`, when given, is polled while waiting; setting it ends the wait with no pages.
    QList<NotionPage> searchPages(const QString &query, const std::atomic<bool> *cancelled = nullptr) const;
    // The same request, telling a reply without pages from a failed request.
    NotionSearchResponse search(const QString &query, const std::atomic<bool> *cancelled = nullptr) const;
    std::chrono::milliseconds timeout() const { return timeout_; }

    // The search endpoint under a base address.
    static QUrl searchURL(const QUrl &baseURL);
    static QByteArray requestBody(const QString &query);
    // A token that would break out of its header line (a control character) is never sent.
    static bool isSendableToken(const QString &token);

    static QList<NotionPage> parseSearchResponse(const QByteArray &body);
    // Nothing when the body is not an object with a "results" list of objects.
    static std::optional<QList<NotionPage>> parseSearchResponseIfReadable(const QByteArray &body);
    // The joined plain text of the page's title property; empty when it has none.
    static QString extractTitle(const QJsonObject &result);
    static std::optional<NotionPageIcon> extractIcon(const QJsonObject &result);
    // An internet date-time (RFC 3339), with or without fractional seconds.
    static std::optional<Date> parseInternetDateTime(const QString &text);
    // An HTTP "Retry-After" value: a number of seconds or an HTTP date (any of its three forms).
    static std::optional<NotionRetryAfter> parseRetryAfter(const QByteArray &value);

private:
    QString token_;
    QUrl baseURL_;
    std::chrono::milliseconds timeout_;
};

} // namespace orvex
