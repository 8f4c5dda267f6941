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

} // namespace
} // namespace orvex
