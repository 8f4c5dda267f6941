#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace orvex {

// What a second launch asked for, handed to the running instance as one small JSON file:
// {"arguments": [text], "fileURLs": [absolute URL text], "createdAt": "2026-12-08T07:01:48Z"}.
struct DuplicateLaunchRequest {
    QStringList arguments;
    QList<QUrl> fileURLs;
    // Whole seconds survive the file; finer parts are dropped when it is written.
    QDateTime createdAt;

    bool isEmpty() const { return arguments.isEmpty() && fileURLs.isEmpty(); }
    bool operator==(const DuplicateLaunchRequest &other) const;

    QByteArray toJson() const;
    // Nothing unless all three keys are there with the right types, every URL is valid and the date
    // is ISO 8601.
    static std::optional<DuplicateLaunchRequest> fromJson(const QByteArray &json);
};

} // namespace orvex
