#pragma once

// The search core over the same synthetic home inside the benchmark process, configured as the launcher
// configures its own: each query's cold search time in the same run, and the rows it answers (by the
// panel trace's fingerprint) so that the benchmark can tell which query a painted list belonged to.

#include "platform/UserDefaults.h"
#include "search/Database.h"

#include <QString>

#include <map>
#include <memory>

namespace orvex::bench {

class ReferenceSearch {
public:
    ReferenceSearch(const QString &home, const QString &scratch);
    ~ReferenceSearch();

    // Median wall time of `repetitions` searches of the query without any query cache.
    double coldMilliseconds(const QString &query, int repetitions = 3);
    // The fingerprint of the identities of the rows answered for the query (remembered per query).
    quint64 fingerprint(const QString &query);

private:
    UserDefaults defaults_;
    std::unique_ptr<DatabaseManager> manager_;
    std::map<QString, quint64> fingerprints_;
};

} // namespace orvex::bench
