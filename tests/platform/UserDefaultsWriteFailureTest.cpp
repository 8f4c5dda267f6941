// The defaults file on a disk that refuses writes: a real tmpfs that is full or read-only.
#include "platform/UserDefaults.h"

#include "PlistTestSupport.h"
#include "support/SmallFileSystem.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace orvex {
namespace {

using test::entry;
using Dict = PlistValue::Dictionary;
using namespace std::chrono_literals;

constexpr auto noBackgroundWrite = std::chrono::hours(1);

QString s(const char *text) {
    return QString::fromUtf8(text);
}

std::optional<Dict> fileContent(const QString &path) {
    const auto value = PropertyList::readFile(path, UserDefaults::maxFileBytes);
    return value ? value->toDictionary() : std::nullopt;
}

// Every file beside the defaults file but its lock: copies left behind, files set aside.
QStringList strayFiles(const QString &path) {
    const QFileInfo file(path);
    QStringList names = file.absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(file.fileName());
    names.removeAll(file.fileName() + s(".lock"));
    return names;
}

// Reads the file over and over on a thread of its own while it lives, counting the reads that did not
// give `expected` exactly: an atomic write never shows a reader anything else, not even for a moment.
class WholeFileWatch {
public:
    WholeFileWatch(QString path, std::optional<Dict> expected)
        : path_(std::move(path)), expected_(std::move(expected)), thread_([this] { run(); }) {}
    ~WholeFileWatch() { stop(); }

    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int reads() const { return reads_; }
    int otherReads() const { return otherReads_; }

private:
    void run() {
        while (!stopping_) {
            if (fileContent(path_) != expected_)
                ++otherReads_;
            ++reads_;
        }
    }

    const QString path_;
    const std::optional<Dict> expected_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> reads_{0};
    std::atomic<int> otherReads_{0};
    std::thread thread_;
};

// What the instance told its failure handler.
struct ToldReasons {
    explicit ToldReasons(UserDefaults &defaults) {
        defaults.setWriteFailureHandler([this](const QString &reason) {
            std::lock_guard lock(mutex);
            reasons.append(reason);
        });
    }
    QStringList all() {
        std::lock_guard lock(mutex);
        return reasons;
    }
    void clear() {
        std::lock_guard lock(mutex);
        reasons.clear();
    }

private:
    std::mutex mutex;
    QStringList reasons;
};

// A full disk, one with room for part of a copy, and a read-only one: each write fails; the file keeps
// what it held, whole, at every moment; the failure is said once with the system's reason; the values
// stay in memory and reach the file once the disk takes writes again.
TEST(UserDefaultsOnARefusingDisk, TheFileStaysWholeTheReasonIsSaidOnceAndTheValuesWaitInMemory) {
    test::SmallFileSystem disk(512 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
    const QString path = disk.path() + s("/orvex-launcher/defaults.plist");
    UserDefaults defaults(path, noBackgroundWrite);
    ToldReasons told(defaults);

    struct Case {
        const char *name;
        std::function<bool()> refuse;
        std::function<bool()> allow;
        // The new value: one that fits a write buffer, or one that is written past it.
        QString theme;
        const char *reason;
    } cases[] = {
        {"full", [&] { return disk.fill(); },
         [&] { return disk.makeRoom(); },
         s("graphite"), "No space left on device"},
        {"room for part of a copy", [&] { return disk.fill(16 * 1024); },
         [&] { return disk.makeRoom(); },
         QString(64 * 1024, QLatin1Char('x')), "No space left on device"},
        {"read-only", [&] { return disk.setReadOnly(true); }, [&] { return disk.setReadOnly(false); },
         s("midnight"), "Read-only file system"},
    };
    qint64 opened = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults.set(s("launcherThemeID"), PlistValue(s("aurora")));
        defaults.set(s("launcherPathOpenCounts"),
                     PlistValue(Dict{{s("/usr/bin/xterm"), PlistValue(++opened)}}));
        ASSERT_TRUE(defaults.flush());
        const std::optional<Dict> stored = fileContent(path);
        ASSERT_TRUE(stored);
        told.clear();

        WholeFileWatch watch(path, stored);
        ASSERT_TRUE(c.refuse());
        testing::internal::CaptureStdout();
        defaults.set(s("launcherThemeID"), PlistValue(c.theme));
        const bool first = defaults.flush();
        defaults.set(s("launcherPathOpenCounts"),
                     PlistValue(Dict{{s("/usr/bin/xterm"), PlistValue(++opened)}}));
        const bool second = defaults.flush();
        const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
        const int readsSoFar = watch.reads();
        EXPECT_TRUE(test::waitUntil([&] { return watch.reads() > readsSoFar + 2; }))
            << "the watcher stopped reading";
        watch.stop();

        EXPECT_FALSE(first);
        EXPECT_FALSE(second);
        EXPECT_GT(watch.reads(), 0);
        EXPECT_EQ(watch.otherReads(), 0) << "a reader met a file that was not the stored one";
        EXPECT_EQ(fileContent(path), stored);
        EXPECT_EQ(output.count(QLatin1Char('\n')), 1) << output.toStdString();
        EXPECT_TRUE(output.startsWith(s("Failed to write defaults file: ") + path)) << output.toStdString();
        EXPECT_TRUE(output.contains(s(c.reason))) << output.toStdString();
        const QStringList reasons = told.all();
        ASSERT_EQ(reasons.size(), 1) << reasons.join(s(" | ")).toStdString();
        EXPECT_TRUE(reasons.first().contains(s(c.reason))) << reasons.first().toStdString();
        EXPECT_EQ(defaults.stringValue(s("launcherThemeID")), c.theme);
        EXPECT_TRUE(defaults.hasPendingChanges());

        ASSERT_TRUE(c.allow());
        ASSERT_TRUE(defaults.flush());
        const auto written = fileContent(path);
        ASSERT_TRUE(written);
        EXPECT_EQ(entry(*written, "launcherThemeID"), PlistValue(c.theme));
        EXPECT_EQ(entry(*written, "launcherPathOpenCounts"),
                  PlistValue(Dict{{s("/usr/bin/xterm"), PlistValue(opened)}}));
        EXPECT_EQ(strayFiles(path), QStringList());
        EXPECT_EQ(told.all().size(), 1);
    }
}

// Nobody flushes by hand: the background writer keeps trying until the disk has room again.
TEST(UserDefaultsOnARefusingDisk, TheBackgroundWriterTriesAgainUntilTheDiskHasRoom) {
    test::SmallFileSystem disk(256 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
    const QString path = disk.path() + s("/orvex-launcher/defaults.plist");
    UserDefaults defaults(path, 20ms);
    ToldReasons told(defaults);
    defaults.set(s("launcherThemeID"), PlistValue(s("aurora")));
    ASSERT_TRUE(test::waitUntil([&] {
        return fileContent(path) == Dict{{s("launcherThemeID"), PlistValue(s("aurora"))}};
    }));

    ASSERT_TRUE(disk.fill());
    testing::internal::CaptureStdout();
    defaults.set(s("launcherThemeID"), PlistValue(s("midnight")));
    const bool said = test::waitUntil([&] { return !told.all().isEmpty(); }, 10s);
    const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
    ASSERT_TRUE(said);
    EXPECT_TRUE(output.contains(s("No space left on device"))) << output.toStdString();
    EXPECT_EQ(fileContent(path), (Dict{{s("launcherThemeID"), PlistValue(s("aurora"))}}));

    ASSERT_TRUE(disk.makeRoom());
    EXPECT_TRUE(test::waitUntil(
        [&] {
            return fileContent(path) == Dict{{s("launcherThemeID"), PlistValue(s("midnight"))}};
        },
        20s));
    EXPECT_FALSE(defaults.hasPendingChanges());
    EXPECT_EQ(told.all().size(), 1);
}

// A writer killed at any moment while its writes fail leaves the file it could not replace whole: the
// copy it was writing is the only thing left behind, and the next writer removes it.
TEST(UserDefaultsOnARefusingDisk, AWriterKilledWhileItsWritesFailLeavesTheFileWhole) {
    test::SmallFileSystem disk(1024 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
    const QString path = disk.path() + s("/orvex-launcher/defaults.plist");
    {
        UserDefaults seed(path, noBackgroundWrite);
        seed.set(s("counter"), PlistValue(0));
        seed.set(s("payload"), PlistValue(s("seed")));
        seed.set(s("nested"), PlistValue(Dict{{s("counter"), PlistValue(0)}}));
        ASSERT_TRUE(seed.flush());
    }
    const std::optional<Dict> stored = fileContent(path);
    ASSERT_TRUE(stored);

    // Writes that fit a write buffer on a disk with no room, and long ones on a disk with room for a part.
    const struct {
        const char *filler;
        qint64 room;
    } cases[] = {{"2000", 0}, {"262144", 64 * 1024}};
    QRandomGenerator random(11);
    for (int round = 0; round < 6; ++round) {
        const auto &c = cases[round % 2];
        SCOPED_TRACE(round);
        disk.makeRoom(); // what the last round took, if any
        ASSERT_TRUE(disk.fill(c.room));
        WholeFileWatch watch(path, stored);
        QProcess writer;
        writer.start(s(ORVEX_DEFAULTS_WRITER), {path, s("--filler"), s(c.filler), s("--keep-going")});
        ASSERT_TRUE(writer.waitForStarted(10000));
        QByteArray output;
        while (!output.contains("\nfailed ") && !output.startsWith("failed ")) {
            ASSERT_TRUE(writer.waitForReadyRead(10000 * test::slowdown))
                << "the writer stopped reporting: " << output.toStdString();
            output += writer.readAllStandardOutput();
            ASSERT_FALSE(output.contains("flushed ")) << "a write succeeded on a full disk";
        }
        // Kill it at an arbitrary point of a later try.
        QThread::usleep(random.bounded(20000));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(10000));
        watch.stop();
        EXPECT_GT(watch.reads(), 0);
        EXPECT_EQ(watch.otherReads(), 0) << "a reader met a file that was not the stored one";
        EXPECT_EQ(fileContent(path), stored);
    }

    ASSERT_TRUE(disk.makeRoom());
    UserDefaults after(path, noBackgroundWrite);
    EXPECT_EQ(after.integerValue(s("counter")), 0);
    EXPECT_EQ(after.stringValue(s("payload")), s("seed"));
    after.set(s("counter"), PlistValue(1));
    ASSERT_TRUE(after.flush());
    EXPECT_EQ(strayFiles(path), QStringList());
}

} // namespace
} // namespace orvex
