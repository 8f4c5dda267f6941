// Faults of the walks, the file-event stream under the shortcut watcher, the usage stores and the
// persistent query cache, each shown by the smallest setting that triggered it.
#include "fixtures/FileEventRecorder.h"
#include "platform/FileEventStream.h"
#include "search/ShortcutRootWatcher.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

namespace orvex {
namespace {

using namespace std::chrono_literals;

using test::FileEventRecorder;
using test::floodEvents;

TEST(CoreFaults, ARescanOfADegradedStreamKeepsTheFoldersItAlreadyWatched) {
    QTemporaryDir temp(test::homePath() + QStringLiteral("/stream-XXXXXX"));
    ASSERT_TRUE(temp.isValid());
    const QString root = temp.path() + QStringLiteral("/root");
    const QString watched = root + QStringLiteral("/watched");
    // Room for the root and one folder: "watched/deeper" is one too many, so the stream degrades.
    test::makeDirectory(watched + QStringLiteral("/deeper"));

    FileEventRecorder recorder;
    FileEventStream::Options options;
    options.latency = 100ms;
    options.maxWatches = 2;
    FileEventStream stream({root}, options, recorder.callback());
    ASSERT_TRUE(stream.start());
    // Every watch is in place once a file in the watched folder is reported; that batch is held.
    recorder.hold();
    const QString probe = watched + QStringLiteral("/probe");
    bool seen = false;
    for (int attempt = 0; attempt < 10 && !seen; ++attempt) {
        test::writeFile(probe, "x");
        seen = recorder.waitForPath(probe, 0, 2s);
    }
    ASSERT_TRUE(seen);
    ASSERT_TRUE(stream.isDegraded());

    floodEvents(root);
    recorder.release();
    ASSERT_TRUE(recorder.waitForPath(root, FileEventStream::mustRescan));

    // The folder watched before the overflow is still watched after the rescan.
    const QString after = watched + QStringLiteral("/after.url");
    test::writeFile(after, "x");
    EXPECT_TRUE(recorder.waitForPath(after));
}

// The kernel's change watches this process holds, over all its inotify instances.
int inotifyWatchCount() {
    int count = 0;
    const QDir fdinfo(QStringLiteral("/proc/self/fdinfo"));
    for (const QString &name : fdinfo.entryList(QDir::Files)) {
        QFile file(fdinfo.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n'))
            count += line.startsWith("inotify wd:") ? 1 : 0;
    }
    return count;
}

// Waits until the count has stayed the same for a while: the watcher adds its watches on its own thread.
int settledInotifyWatchCount() {
    int last = -1;
    int steady = 0;
    for (int round = 0; round < 200 && steady < 5; ++round) {
        QThread::msleep(100);
        const int now = inotifyWatchCount();
        steady = now == last ? steady + 1 : 0;
        last = now;
    }
    return last;
}

TEST(CoreFaults, TheShortcutWatcherTakesABoundedShareOfTheUsersWatchesShallowFoldersFirst) {
    QTemporaryDir temp(test::homePath() + QStringLiteral("/watcher-XXXXXX"));
    ASSERT_TRUE(temp.isValid());
    const QString root = temp.path() + QStringLiteral("/Documents");
    // A project tree with more folders than the watcher may watch, next to a small folder of links.
    const QString inner = root + QStringLiteral("/Links/inner");
    test::makeDirectory(inner);
    const QString modules = root + QStringLiteral("/project/node_modules");
    for (int i = 0; i < ShortcutRootWatcher::maxWatchedFolders + 500; ++i)
        ASSERT_TRUE(QDir().mkpath(modules + QStringLiteral("/m%1").arg(i)));

    const int before = inotifyWatchCount();
    std::atomic<int> calls{0};
    auto watcher = ShortcutRootWatcher::create({root}, 0.1, [&] { ++calls; });
    ASSERT_NE(watcher, nullptr);
    EXPECT_LE(settledInotifyWatchCount() - before, ShortcutRootWatcher::maxWatchedFolders);

    // Whatever was left out, a folder near the root is watched.
    ASSERT_EQ(calls.load(), 0);
    test::writeFile(inner + QStringLiteral("/new.url"), "URL=https://example.com/");
    EXPECT_TRUE(test::waitUntil([&] { return calls.load() >= 1; }, 10s));
}

} // namespace
} // namespace orvex
