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
    // Writes one request file under a fresh UUID name (upper case, ".json"); the file appears only when
    // complete. Refused when the request folder is a link or not this user's.
    static Stored enqueue(const DuplicateLaunchRequest &request,
                          const SingleInstanceConfiguration &configuration);

    // Reads and deletes every request file of the request folder (named as enqueue() names them);
    // other files stay. A file that cannot be read or decoded is deleted and skipped. Oldest first;
    // equal times keep the folder's name order. A request folder that is a symbolic link, or not this
    // user's, is neither read nor changed; links inside it are never followed.
    static QList<DuplicateLaunchRequest> consumePending(const SingleInstanceConfiguration &configuration);

    // Whether a file name is one that enqueue() gives.
    static bool isRequestFileName(const QString &name);

    // Larger request files are discarded unread.
    static constexpr qint64 maxRequestBytes = 1024 * 1024;

    DuplicateLaunchRequestStore() = delete;
};

} // namespace orvex
