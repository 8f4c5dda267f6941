#include "platform/FileEventStream.h"

#include "fixtures/FileEventRecorder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace orvex {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

using test::FileEventRecorder;

struct StreamTest : ::testing::Test {
    QTemporaryDir temp{test::homePath() + QStringLiteral("/stream-XXXXXX")};
    QString root = temp.path() + QStringLiteral("/root");
    QString outside = temp.path() + QStringLiteral("/outside");

    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        test::makeDirectory(root);
        test::makeDirectory(outside);
    }

    static FileEventStream::Options fast(int maxWatches = 0) {
        FileEventStream::Options options;
        options.latency = 100ms;
        options.maxWatches = maxWatches;
        return options;
    }

    // Every watch is in place once a file written afterwards, at the bottom of the tree, is reported.
    static void waitUntilWatching(FileEventRecorder &recorder, const QString &deepestFolder) {
        const QString probe = deepestFolder + QStringLiteral("/.probe");
        for (int attempt = 0; attempt < 10; ++attempt) {
            test::writeFile(probe, "x");
            if (recorder.waitForPath(probe, 0, 2s))
                return;
        }
        FAIL() << "the stream never reported " << probe.toStdString();
    }
};

TEST_F(StreamTest, ReportsChangesAnywhereInTheTreeIncludingFoldersMadeOrMovedLater) {
    struct Case {
        const char *name;
        std::function<void(const QString &root, const QString &outside)> before; // ahead of start()
        std::function<void(const QString &root, const QString &outside)> change;
        const char *expectedPath; // below the root
        unsigned expectedFlags;
    };
    const QList<Case> cases = {
        {"file in the root",
         {},
         [](const QString &r, const QString &) { test::writeFile(r + "/a.url", "x"); },
         "a.url",
         FileEventStream::created},
        {"file in an existing subfolder",
         [](const QString &r, const QString &) { test::makeDirectory(r + "/s/t"); },
         [](const QString &r, const QString &) { test::writeFile(r + "/s/t/b.url", "x"); }, "s/t/b.url",
         FileEventStream::created},
        {"file in folders made after start",
         {},
         [](const QString &r, const QString &) {
             test::makeDirectory(r + "/new/deeper/deepest");
             test::writeFile(r + "/new/deeper/deepest/c.url", "x");
         },
         "new/deeper/deepest/c.url",
         FileEventStream::created},
        {"file in a folder moved in from outside",
         [](const QString &, const QString &o) { test::makeDirectory(o + "/moved"); },
         [](const QString &r, const QString &o) {
             ASSERT_TRUE(QDir().rename(o + "/moved", r + "/moved"));
             QThread::msleep(300); // the folder's watch comes after its move event
             test::writeFile(r + "/moved/d.url", "x");
         },
         "moved/d.url", FileEventStream::created},
        {"file in a folder renamed inside the tree",
         [](const QString &r, const QString &) { test::makeDirectory(r + "/old/inner"); },
         [](const QString &r, const QString &) {
             ASSERT_TRUE(QDir().rename(r + "/old", r + "/renamed"));
             QThread::msleep(300);
             test::writeFile(r + "/renamed/inner/e.url", "x");
         },
         "renamed/inner/e.url", FileEventStream::created},
        {"file removed", [](const QString &r, const QString &) { test::writeFile(r + "/gone.url", "x"); },
         [](const QString &r, const QString &) { ASSERT_TRUE(QFile::remove(r + "/gone.url")); }, "gone.url",
         FileEventStream::removed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root).removeRecursively();
        QDir(outside).removeRecursively();
        test::makeDirectory(root);
        test::makeDirectory(outside);
        if (c.before)
            c.before(root, outside);
        FileEventRecorder recorder;
        FileEventStream stream({root}, fast(), recorder.callback());
        ASSERT_TRUE(stream.start());
        waitUntilWatching(recorder, root);
        c.change(root, outside);
        const QString expected = root + QLatin1Char('/') + QLatin1String(c.expectedPath);
        EXPECT_TRUE(recorder.waitForPath(expected, c.expectedFlags)) << expected.toStdString();
        stream.stop();
        for (const std::thread::id id : recorder.threads())
            EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST_F(StreamTest, NeverFollowsASymbolicLinkOutOfTheTree) {
    ASSERT_TRUE(QFile::link(outside, root + QStringLiteral("/link")));
    FileEventRecorder recorder;
    FileEventStream stream({root}, fast(), recorder.callback());
    ASSERT_TRUE(stream.start());
    waitUntilWatching(recorder, root);
    test::writeFile(outside + QStringLiteral("/through-link.url"), "x");
    test::writeFile(root + QStringLiteral("/marker"), "x");
    ASSERT_TRUE(recorder.waitForPath(root + QStringLiteral("/marker")));
    for (const auto &batch : recorder.batches()) {
        for (const auto &event : batch)
            EXPECT_FALSE(event.path.contains(QLatin1String("through-link"))) << event.path.toStdString();
    }
}

TEST_F(StreamTest, DeliversABurstAsOneBatchNoSoonerThanTheLatency) {
    FileEventRecorder recorder;
    FileEventStream::Options options;
    options.latency = 1000ms;
    FileEventStream stream({root}, options, recorder.callback());
    ASSERT_TRUE(stream.start());
    waitUntilWatching(recorder, root);
    const int before = recorder.batchCount();

    const auto firstWrite = SteadyClock::now();
    for (int i = 0; i < 5; ++i)
        test::writeFile(root + QStringLiteral("/burst-%1").arg(i), "x");
    ASSERT_TRUE(recorder.waitForPath(root + QStringLiteral("/burst-4")));

    ASSERT_EQ(recorder.batchCount(), before + 1);
    const QList<FileEventStream::Event> batch = recorder.batches().last();
    for (int i = 0; i < 5; ++i) {
        const QString path = root + QStringLiteral("/burst-%1").arg(i);
        EXPECT_TRUE(std::any_of(batch.begin(), batch.end(), [&](const auto &e) { return e.path == path; }))
            << path.toStdString();
    }
    EXPECT_GE(recorder.times().back() - firstWrite, options.latency);
}

TEST_F(StreamTest, QueueOverflowIsReportedAsARescanAndLaterFoldersAreStillWatched) {
    FileEventRecorder recorder;
    // The first batch keeps the stream's thread busy while the kernel queue overflows.
    recorder.hold();
    FileEventStream stream({root}, fast(), recorder.callback());
    ASSERT_TRUE(stream.start());
    test::writeFile(root + QStringLiteral("/first"), "x");
    ASSERT_TRUE(recorder.waitForBatches(1));

    test::floodEvents(root);
    test::makeDirectory(root + QStringLiteral("/made-during-flood"));
    recorder.release();
    ASSERT_TRUE(recorder.waitForPath(root, FileEventStream::mustRescan));

    test::writeFile(root + QStringLiteral("/made-during-flood/after.url"), "x");
    EXPECT_TRUE(recorder.waitForPath(root + QStringLiteral("/made-during-flood/after.url")));
}

TEST_F(StreamTest, ARemovedRootIsReportedAndWatchedAgainWhenItReturns) {
    test::makeDirectory(root + QStringLiteral("/sub"));
    FileEventRecorder recorder;
    FileEventStream stream({root}, fast(), recorder.callback());
    ASSERT_TRUE(stream.start());
    waitUntilWatching(recorder, root + QStringLiteral("/sub"));

    ASSERT_TRUE(QDir(root).removeRecursively());
    ASSERT_TRUE(recorder.waitForPath(root, FileEventStream::rootChanged | FileEventStream::removed));

    test::makeDirectory(root + QStringLiteral("/again"));
    ASSERT_TRUE(recorder.waitForPath(root, FileEventStream::rootChanged | FileEventStream::created));
    test::writeFile(root + QStringLiteral("/again/back.url"), "x");
    EXPECT_TRUE(recorder.waitForPath(root + QStringLiteral("/again/back.url")));
    EXPECT_TRUE(stream.isRunning());
}

TEST_F(StreamTest, RunningOutOfWatchesDegradesQuietly) {
    for (const char *name : {"a", "b", "c", "d"})
        test::makeDirectory(root + QLatin1Char('/') + QLatin1String(name));
    FileEventRecorder recorder;
    FileEventStream stream({root}, fast(/*maxWatches=*/2), recorder.callback());
    ASSERT_TRUE(stream.start());
    waitUntilWatching(recorder, root);

    EXPECT_TRUE(stream.isDegraded());
    EXPECT_TRUE(stream.isRunning());
    test::writeFile(root + QStringLiteral("/still-seen.url"), "x");
    EXPECT_TRUE(recorder.waitForPath(root + QStringLiteral("/still-seen.url")));
}

TEST_F(StreamTest, StopIsSynchronousAndFinal) {
    FileEventRecorder recorder;
    auto stream = std::make_unique<FileEventStream>(QStringList{root}, fast(), recorder.callback());
    stream->stop(); // before start: nothing to stop
    ASSERT_TRUE(stream->start());
    waitUntilWatching(recorder, root);

    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; writing.load(); ++i) {
            QFile file(root + QStringLiteral("/busy-%1").arg(i % 50));
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
            QThread::msleep(2);
        }
    });
    ASSERT_TRUE(test::waitUntil([&] { return recorder.batchCount() > 3; }, 10s));
    // From another thread than the one that started it.
    std::thread([&] { stream->stop(); }).join();
    const int delivered = recorder.batchCount();
    EXPECT_FALSE(stream->isRunning());
    EXPECT_FALSE(stream->start()); // a stopped stream stays stopped
    QThread::msleep(400);
    writing.store(false);
    writer.join();
    EXPECT_EQ(recorder.batchCount(), delivered);
    stream->stop();
    stream.reset();
}

TEST_F(StreamTest, StopFromInsideTheCallbackEndsTheStreamWithoutDeadlock) {
    std::atomic<int> calls{0};
    std::unique_ptr<FileEventStream> stream;
    stream = std::make_unique<FileEventStream>(QStringList{root}, fast(),
                                               [&](const QList<FileEventStream::Event> &) {
                                                   ++calls;
                                                   stream->stop();
                                               });
    ASSERT_TRUE(stream->start());
    test::writeFile(root + QStringLiteral("/one"), "x");
    ASSERT_TRUE(test::waitUntil([&] { return calls.load() == 1; }, 10s));
    ASSERT_TRUE(test::waitUntil([&] { return !stream->isRunning(); }, 10s));
    test::writeFile(root + QStringLiteral("/two"), "x");
    QThread::msleep(300);
    EXPECT_EQ(calls.load(), 1);
    stream.reset();
}

} // namespace
} // namespace orvex
