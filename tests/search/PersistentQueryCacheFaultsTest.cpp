// A launcher killed while it writes the persistent query cache: the next start reads every answer
// that was flushed before, and never a damaged payload. (The defaults file itself under the same
// fault is covered with the defaults tests.)
#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QList>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(PersistentQueryCacheFaults, KilledWriterLeavesEveryFlushedAnswer) {
    const QString folder = test::homePath() + QStringLiteral("/killed");
    const QString path = folder + QStringLiteral("/defaults.plist");
    const QString key = QStringLiteral("launcherPathOpenCounts.queryResults");
    QRandomGenerator random(11);
    qint64 first = 1;
    QList<qint64> flushed; // every answer a writer reported, in order
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        writer.start(QStringLiteral(ORVEX_QUERY_CACHE_WRITER), {path, QString::number(first)});
        ASSERT_TRUE(writer.waitForStarted());
        qint64 lastReported = 0;
        int reports = 0;
        const auto readReports = [&] {
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                ASSERT_TRUE(line.startsWith("stored ")) << line.toStdString();
                lastReported = line.mid(7).toLongLong();
                flushed.append(lastReported);
                ++reports;
            }
        };
        while (reports < 1 + round % 3) {
            ASSERT_TRUE(writer.waitForReadyRead(10000)) << "the writer stopped reporting";
            readReports();
        }
        // Kill at an arbitrary point of a later store and flush.
        QThread::usleep(random.bounded(30000));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(10000));
        readReports();

        // Read back as the next start would: every flushed answer among the newest 120 is there (the
        // one being written when the process died may be too).
        UserDefaults defaults(path);
        PersistentQueryResultCacheStore store(key, defaults);
        const Date now(800000000.0 + double(lastReported + 1));
        for (const qint64 n : std::as_const(flushed)) {
            if (n < lastReported - 118)
                continue;
            const auto hit = store.cachedSearchResults(QStringLiteral("query %1|r").arg(n), now, false);
            ASSERT_TRUE(hit) << "answer " << n << " of " << lastReported;
            ASSERT_EQ(hit->results.size(), 1);
            EXPECT_EQ(hit->results.at(0).id(), n);
        }
        first = lastReported + 2;
    }
    // Nothing was ever found unreadable and set aside.
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.corrupt-*")}, QDir::Files), QStringList());
}

SearchResults rowsNamed(const QString &stem, int count, qsizetype nameLength) {
    SearchResults rows;
    for (int i = 0; i < count; ++i)
        rows.append(
            SearchResult({.id = i + 1,
                          .filename = stem + QString::number(i) + QString(nameLength, QLatin1Char('n')),
                          .directory = QStringLiteral("/home/u/Documents")}));
    return rows;
}

// A ranking rule with a long suffix is repeated in every key's ranking part: stored as it is, 120
// keys multiplied it into the file until the file reached its limit. The ranking part is stored as a
// digest, and a changed rule still gives another key.
TEST(PersistentQueryCacheFaults, ALongRankingKeyIsStoredAsADigest) {
    UserDefaults defaults;
    PersistentQueryResultCacheStore store(QStringLiteral("test.queryResults"), defaults);
    const QString rules = QString(200000, QLatin1Char('r'));
    const Date now(800000000.0);
    for (int i = 0; i < 120; ++i)
        store.storeResults(rowsNamed(QStringLiteral("q"), 1, 0), QStringLiteral("query %1|").arg(i) + rules,
                           now);
    const qsizetype payload =
        defaults.dataValue(QStringLiteral("test.queryResults")).value_or(QByteArray()).size();
    EXPECT_GT(payload, 0);
    EXPECT_LT(payload, 120 * 400); // the rules appear in no key
    EXPECT_TRUE(store.cachedSearchResults(QStringLiteral("query 7|") + rules, now, false));
    const QString changed = rules + QLatin1Char('s');
    EXPECT_FALSE(store.cachedSearchResults(QStringLiteral("query 7|") + changed, now, false));
    EXPECT_TRUE(store.cachedSearchResults(QStringLiteral("query 7|") + changed, now, true)); // same query
    EXPECT_NE(PersistentQueryResultCacheStore::storedKey(QStringLiteral("q|") + rules),
              PersistentQueryResultCacheStore::storedKey(QStringLiteral("q|") + changed));
}

// One answer larger than an entry may be is not kept (nor the older answer of its key); past the
// payload's limit the oldest answers go.
TEST(PersistentQueryCacheFaults, EntriesAndThePayloadStayWithinTheirLimits) {
    UserDefaults defaults;
    PersistentQueryResultCacheStore store(QStringLiteral("test.queryResults"), defaults);
    Date now(800000000.0);
    store.storeResults(rowsNamed(QStringLiteral("small"), 1, 0), QStringLiteral("huge|r"), now);
    ASSERT_TRUE(store.cachedSearchResults(QStringLiteral("huge|r"), now, false));
    store.storeResults(rowsNamed(QStringLiteral("big"), 20, 20000), QStringLiteral("huge|r"), now);
    EXPECT_FALSE(store.cachedSearchResults(QStringLiteral("huge|r"), now, false));

    // About 100 KB each: 120 of them would take 12 MB.
    for (int i = 0; i < 120; ++i) {
        now = Date(now.secondsSince2001() + 1);
        store.storeResults(rowsNamed(QStringLiteral("row"), 20, 5000), QStringLiteral("query %1|r").arg(i),
                           now);
        const qsizetype payload =
            defaults.dataValue(QStringLiteral("test.queryResults")).value_or(QByteArray()).size();
        ASSERT_LE(payload, PersistentQueryResultCacheStore::maxPayloadBytes) << i;
    }
    EXPECT_TRUE(store.cachedSearchResults(QStringLiteral("query 119|r"), now, false));
    EXPECT_FALSE(store.cachedSearchResults(QStringLiteral("query 0|r"), now, false));
}

} // namespace
} // namespace orvex
