#pragma once

#include "single-instance/DuplicateLaunchRequest.h"
#include "single-instance/SingleInstanceConfiguration.h"

#include <QList>
#include <QString>

#include <optional>

namespace orvex {

// Hands a second launch's request to the running instance: a JSON file in the request folder, then
// the wake-up signal; the running instance takes and deletes every stored request.
class DuplicateLaunchRequestStore {
public:
    // Stores a non-empty request, then always sends the wake-up signal. The answer is the error of
    // storing, if any (the signal is sent all the same).
    static std::optional<QString> post(const DuplicateLaunchRequest &request,
                                       const SingleInstanceConfiguration &configuration);

    // Where enqueue() put the request, or why it could not.
    struct Stored {
        QString path;
        std::optional<QString> error;
    };
    // Writes one request file under a fresh UUID name; the file appears only when complete.
    static Stored enqueue(const DuplicateLaunchRequest &request,
                          const SingleInstanceConfiguration &configuration);

    // Reads and deletes every ".json" file of the request folder; other files stay. A file that cannot
    // be read or decoded is deleted and skipped. Oldest first; equal times keep the folder's name order.
    static QList<DuplicateLaunchRequest> consumePending(const SingleInstanceConfiguration &configuration);

    // Larger request files are discarded unread.
    static constexpr qint64 maxRequestBytes = 1024 * 1024;

    DuplicateLaunchRequestStore() = delete;
};

} // namespace orvex
