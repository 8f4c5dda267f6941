#include "search/ShortcutRootWatcher.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace orvex {
namespace {

using namespace std::chrono_literals;

// Counts callbacks and remembers the threads they ran on.
struct CallbackLog {
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::set<std::thread::id> threads;

    std::function<void()> callback() {
        return [this] {
            {
                std::lock_guard guard(mutex);
                threads.insert(std::this_thread::get_id());
            }
            ++calls;
        };
    }
};

struct WatcherTest : ::testing::Test {
    QTemporaryDir temp{test::homePath() + QStringLiteral("/watcher-XXXXXX")};
    QString root = temp.path() + QStringLiteral("/Documents");

    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        test::makeDirectory(root);
    }
};

TEST_F(WatcherTest, WatchesOnlyRootsThatExistAsFoldersEachPathOnce) {
    test::writeFile(temp.path() + QStringLiteral("/file"), "x");
    test::makeDirectory(temp.path() + QStringLiteral("/Desktop"));
    const QString t = temp.path();
    struct Case {
        const char *name;
        QStringList roots;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"none", {}, {}},
        {"missing and file roots dropped", {t + "/missing", t + "/file", root}, {root}},
        {"order kept", {t + "/Desktop", root}, {t + "/Desktop", root}},
        {"the same path after cleaning once", {root, root + "/", t + "/Desktop/../Documents", root}, {root}},
        {"empty text is no root", {QString(), root}, {root}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShortcutRootWatcher::existingDirectoryPaths(c.roots), c.expected);
    }

    CallbackLog log;
    EXPECT_EQ(ShortcutRootWatcher::create({t + "/missing", t + "/file"}, 0.5, log.callback()), nullptr);
    EXPECT_EQ(ShortcutRootWatcher::create({}, 0.5, log.callback()), nullptr);
}

TEST_F(WatcherTest, TenChangesWithinAFractionOfASecondGiveOneCallbackOnTheWatchersThread) {
    CallbackLog log;
    auto watcher = ShortcutRootWatcher::create({root}, 0.5, log.callback());
    ASSERT_NE(watcher, nullptr);

    for (int i = 0; i < 10; ++i) {
        test::writeFile(root + QStringLiteral("/link-%1.url").arg(i), "x");
        QThread::msleep(25);
    }
    ASSERT_TRUE(test::waitUntil([&] { return log.calls.load() >= 1; }, 10s));
    QThread::msleep(1500); // longer than latency plus debounce: a second call would have come
    EXPECT_EQ(log.calls.load(), 1);
    std::lock_guard guard(log.mutex);
    ASSERT_EQ(log.threads.size(), 1u);
    EXPECT_NE(*log.threads.begin(), std::this_thread::get_id());
}

TEST_F(WatcherTest, SeesFilesInFoldersMadeAfterItStarted) {
    CallbackLog log;
    auto watcher = ShortcutRootWatcher::create({root}, 0.5, log.callback());
    ASSERT_NE(watcher, nullptr);

    test::makeDirectory(root + QStringLiteral("/new/deeper"));
    ASSERT_TRUE(test::waitUntil([&] { return log.calls.load() == 1; }, 10s));
    test::writeFile(root + QStringLiteral("/new/deeper/later.url"), "x");
    EXPECT_TRUE(test::waitUntil([&] { return log.calls.load() == 2; }, 10s));
}

TEST_F(WatcherTest, NoCallbackArrivesAfterTheWatcherIsGone) {
    CallbackLog log;
    // A long delay, so the callback is surely still pending when the watcher goes: the batch arrives
    // after 2 s and the callback would run 2 s later.
    auto watcher = ShortcutRootWatcher::create({root}, 2.0, log.callback());
    ASSERT_NE(watcher, nullptr);
    test::writeFile(root + QStringLiteral("/pending.url"), "x");
    QThread::msleep(2500);
    watcher.reset();
    test::writeFile(root + QStringLiteral("/after.url"), "x");
    QThread::msleep(3000);
    EXPECT_EQ(log.calls.load(), 0);
}

TEST_F(WatcherTest, StopWaitsForARunningCallback) {
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    auto watcher = ShortcutRootWatcher::create({root}, 0.1, [&] {
        started.store(true);
        QThread::msleep(300);
        finished.store(true);
    });
    ASSERT_NE(watcher, nullptr);
    test::writeFile(root + QStringLiteral("/x.url"), "x");
    ASSERT_TRUE(test::waitUntil([&] { return started.load(); }, 10s));
    watcher->stop();
    EXPECT_TRUE(finished.load());
    watcher->stop(); // twice is fine
}

} // namespace
} // namespace orvex
