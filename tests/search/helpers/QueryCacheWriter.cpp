// Test helper: stores one more answer in the persistent query cache of a defaults file, flushes it and
// reports "stored N" on stdout, as fast as it can, so that a test can kill it at an arbitrary moment.
// Answer N is stored under "query N|r" with one row of id N, dated 800000000 + N.
// Usage: orvex_query_cache_writer <file> <first N>
#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    orvex::UserDefaults defaults(QString::fromLocal8Bit(argv[1]));
    orvex::PersistentQueryResultCacheStore store(QStringLiteral("launcherPathOpenCounts.queryResults"),
                                                 defaults);
    // Large rows make each write take long enough to be interrupted part-way.
    const QString filler(2048, QLatin1Char('s'));
    for (qint64 n = QByteArray(argv[2]).toLongLong();; ++n) {
        store.storeResults({orvex::SearchResult({.id = n,
                                                 .filename = QStringLiteral("file %1.txt").arg(n),
                                                 .directory = QStringLiteral("/docs"),
                                                 .snippet = filler})},
                           QStringLiteral("query %1|r").arg(n), orvex::Date(800000000.0 + double(n)));
        if (!defaults.flush())
            return 1;
        std::printf("stored %lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
}
