#include "SignalTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvex {
namespace {

using test::CountingObserver;
using test::ScopedEnvironment;

const QString signalName = QStringLiteral("io.orvex.test.single-instance.activate");

// A datagram socket bound at `path` by someone else than the code under test; -1 on failure.
int bindForeignSocket(const QString &path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool hasDatagram(int fd) {
    char byte;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) >= 0;
}

class DuplicateLaunchSignalTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString runtime = dir.path() + QStringLiteral("/runtime");
    QString fallback = dir.path() + QStringLiteral("/data/io.orvex.test");

    void SetUp() override {
        test::makeDirectory(runtime);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
    }
};

// A handler that records its calls and, while `blocked`, holds the reader inside its first call.
struct RecordingHandler {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DuplicateLaunchSignalObservation::Call> calls;
    bool blocked = false;

    DuplicateLaunchSignalObservation::Handler handler() {
        return [this](DuplicateLaunchSignalObservation::Call call) {
            std::unique_lock lock(mutex);
            calls.push_back(call);
            changed.notify_all();
            changed.wait(lock, [&] { return !blocked; });
        };
    }
    void release() {
        const std::lock_guard lock(mutex);
        blocked = false;
        changed.notify_all();
    }
    std::vector<DuplicateLaunchSignalObservation::Call> snapshot() {
        const std::lock_guard lock(mutex);
        return calls;
    }
    bool waitForCalls(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return calls.size() >= count; });
    }
};

// However many signals a burst brings, the handler hears of it at its start and once more at its end;
// a pause makes the next signal a new burst.
TEST_F(DuplicateLaunchSignalTest, ABurstOfSignalsCallsTheHandlerAtItsStartAndOnceAfterIt) {
    using Call = DuplicateLaunchSignalObservation::Call;
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    EXPECT_FALSE(DuplicateLaunchSignal::post(signalName, fallback)) << "nobody observes yet";
    RecordingHandler recorder;
    recorder.blocked = true;
    auto observed = DuplicateLaunchSignal::observe(signalName, fallback, recorder.handler());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<DuplicateLaunchSignalObservation>>(observed));
    const auto &observation = std::get<std::unique_ptr<DuplicateLaunchSignalObservation>>(observed);
    EXPECT_EQ(observation->socketPath(), runtime + QLatin1Char('/') + signalName);

    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    ASSERT_TRUE(recorder.waitForCalls(1));
    // Signals that queue up while the handler runs belong to the same burst.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    recorder.release();
    ASSERT_TRUE(recorder.waitForCalls(2));
    std::this_thread::sleep_for(DuplicateLaunchSignalObservation::quietTime * 4);
    EXPECT_EQ(recorder.snapshot(), (std::vector<Call>{Call::burstBegan, Call::burstContinued}));

    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    ASSERT_TRUE(recorder.waitForCalls(3));
    std::this_thread::sleep_for(DuplicateLaunchSignalObservation::quietTime * 4);
    EXPECT_EQ(recorder.snapshot().size(), 3u) << "a lone signal is answered once";
    EXPECT_EQ(recorder.snapshot().back(), Call::burstBegan);

    observation->poke();
    ASSERT_TRUE(recorder.waitForCalls(4));
    EXPECT_EQ(recorder.snapshot().back(), Call::burstContinued);
    EXPECT_FALSE(DuplicateLaunchSignal::post(QStringLiteral("another.name"), fallback));
}

// The socket only ever lives in a folder of this user that nobody else may enter; the runtime folder
// itself is judged, never changed.
TEST_F(DuplicateLaunchSignalTest, OnlyAPrivateFolderHoldsTheSocket) {
    struct Case {
        const char *name;
        std::function<std::optional<QByteArray>(const QString &runtime)> prepare; // the runtime variable
        bool inRuntime;
    };
    const Case cases[] = {
        {"private runtime folder", [](const QString &r) { return QFile::encodeName(r); }, true},
        {"world-writable runtime folder",
         [](const QString &r) {
             ::chmod(QFile::encodeName(r).constData(), 0777);
             return QFile::encodeName(r);
         },
         false},
        {"sticky shared runtime folder",
         [](const QString &r) {
             ::chmod(QFile::encodeName(r).constData(), 01777);
             return QFile::encodeName(r);
         },
         false},
        {"runtime folder open to its group",
         [](const QString &r) {
             ::chmod(QFile::encodeName(r).constData(), 0750);
             return QFile::encodeName(r);
         },
         false},
        {"runtime folder reached through a symbolic link",
         [](const QString &r) {
             const QString link = r + QStringLiteral("-link");
             QFile::link(r, link);
             return QFile::encodeName(link);
         },
         false},
        {"relative runtime folder", [](const QString &) { return QByteArray("runtime"); }, false},
        {"missing runtime folder",
         [](const QString &r) { return QFile::encodeName(r + QStringLiteral("/gone")); }, false},
        {"no runtime folder", [](const QString &) { return std::optional<QByteArray>(); }, false},
        {"runtime path too long for a socket address",
         [](const QString &r) {
             const QString deep = r + QLatin1Char('/') + QString(100, QLatin1Char('d'));
             test::makeDirectory(deep);
             ::chmod(QFile::encodeName(deep).constData(), 0700);
             return QFile::encodeName(deep);
         },
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(runtime).removeRecursively();
        QDir(fallback).removeRecursively();
        SetUp();
        // An existing fallback folder open to others is narrowed by the observer.
        test::makeDirectory(fallback);
        ::chmod(QFile::encodeName(fallback).constData(), 0755);
        const std::optional<QByteArray> value = c.prepare(runtime);
        const mode_t runtimeMode = test::modeOf(runtime) & 07777;
        ScopedEnvironment env("XDG_RUNTIME_DIR", value);

        CountingObserver observer(signalName, fallback);
        ASSERT_TRUE(observer.observation) << observer.error.toStdString();
        const QString folder = c.inRuntime ? runtime : fallback;
        const QString socket = folder + QLatin1Char('/') + signalName;
        EXPECT_EQ(observer.observation->socketPath(), socket);
        EXPECT_TRUE(S_ISSOCK(test::modeOf(socket)));
        EXPECT_EQ(test::modeOf(socket) & 07777, 0600u);
        EXPECT_EQ(test::modeOf(folder) & 07777, 0700u);
        EXPECT_EQ(test::modeOf(runtime) & 07777, runtimeMode);
        if (!c.inRuntime) {
            EXPECT_FALSE(QFile::exists(runtime + QLatin1Char('/') + signalName));
        }
        EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
        EXPECT_TRUE(observer.waitFor(1));
    }
}

TEST_F(DuplicateLaunchSignalTest, AnotherUsersRuntimeFolderIsNotUsed) {
    if (::chown(QFile::encodeName(runtime).constData(), 65534, 65534) != 0 || ::geteuid() == 65534)
        GTEST_SKIP() << "cannot give a folder to another user here";
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    CountingObserver observer(signalName, fallback);
    ASSERT_TRUE(observer.observation) << observer.error.toStdString();
    EXPECT_EQ(observer.observation->socketPath(), fallback + QLatin1Char('/') + signalName);
    EXPECT_FALSE(QFile::exists(runtime + QLatin1Char('/') + signalName));
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    EXPECT_TRUE(observer.waitFor(1));
}

TEST_F(DuplicateLaunchSignalTest, ASocketPlantedInASharedFolderNeverHearsTheSignal) {
    ::chmod(QFile::encodeName(runtime).constData(), 01777);
    const int planted = bindForeignSocket(runtime + QLatin1Char('/') + signalName);
    ASSERT_GE(planted, 0);
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    EXPECT_FALSE(DuplicateLaunchSignal::post(signalName, fallback));
    CountingObserver observer(signalName, fallback);
    ASSERT_TRUE(observer.observation) << observer.error.toStdString();
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    EXPECT_TRUE(observer.waitFor(1));
    EXPECT_FALSE(hasDatagram(planted));
    EXPECT_TRUE(S_ISSOCK(test::modeOf(runtime + QLatin1Char('/') + signalName))) << "not ours to remove";
    ::close(planted);
}

TEST_F(DuplicateLaunchSignalTest, AFallbackFolderTooDeepForAnAddressStillWorks) {
    ScopedEnvironment env("XDG_RUNTIME_DIR", std::nullopt);
    const QString deep =
        dir.path() + QLatin1Char('/') + QString(120, QLatin1Char('x')) + QStringLiteral("/io.orvex.test");
    CountingObserver observer(signalName, deep);
    ASSERT_TRUE(observer.observation) << observer.error.toStdString();
    EXPECT_TRUE(S_ISSOCK(test::modeOf(deep + QLatin1Char('/') + signalName)));
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, deep));
    EXPECT_TRUE(observer.waitFor(1));
}

TEST_F(DuplicateLaunchSignalTest, ASocketLeftByACrashedObserverIsReplaced) {
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString socket = runtime + QLatin1Char('/') + signalName;
    const int crashed = bindForeignSocket(socket);
    ASSERT_GE(crashed, 0);
    ::close(crashed); // the file stays behind, as after kill -9
    ASSERT_TRUE(S_ISSOCK(test::modeOf(socket)));
    EXPECT_FALSE(DuplicateLaunchSignal::post(signalName, fallback));

    CountingObserver observer(signalName, fallback);
    ASSERT_TRUE(observer.observation) << observer.error.toStdString();
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    EXPECT_TRUE(observer.waitFor(1));
}

TEST_F(DuplicateLaunchSignalTest, CancellingTwiceRemovesOnlyItsOwnSocketOnce) {
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString socket = runtime + QLatin1Char('/') + signalName;
    CountingObserver older(signalName, fallback);
    ASSERT_TRUE(older.observation);
    CountingObserver newer(signalName, fallback);
    ASSERT_TRUE(newer.observation);

    older.observation->cancel();
    older.observation->cancel();
    EXPECT_TRUE(older.observation->isCancelled());
    EXPECT_TRUE(S_ISSOCK(test::modeOf(socket))) << "the newer observer's socket stays";
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    EXPECT_TRUE(newer.waitFor(1));
    EXPECT_EQ(older.count->load(), 0);

    newer.observation.reset();
    EXPECT_FALSE(QFile::exists(socket));
    EXPECT_FALSE(DuplicateLaunchSignal::post(signalName, fallback));
}

// Whatever stands under the signal's name in the runtime folder is the user's and stays; the observer
// listens in its own folder, and senders find it there.
TEST_F(DuplicateLaunchSignalTest, AForeignEntryInTheRuntimeFolderIsLeftAndTheOwnFolderUsed) {
    const QString entry = runtime + QLatin1Char('/') + signalName;
    const QString outside = dir.path() + QStringLiteral("/outside");
    struct Case {
        const char *name;
        std::function<void()> plant;
        std::function<bool()> intact;
    };
    int foreignSocket = -1;
    const Case cases[] = {
        {"a link to a file",
         [&] {
             test::writeFile(outside + QStringLiteral("/config.json"), "{}");
             QFile::link(outside + QStringLiteral("/config.json"), entry);
         },
         [&] {
             return QFileInfo(entry).isSymLink() &&
                    QFileInfo(outside + QStringLiteral("/config.json")).size() == 2;
         }},
        {"a link to another program's socket",
         [&] {
             test::makeDirectory(outside);
             foreignSocket = bindForeignSocket(outside + QStringLiteral("/other.socket"));
             QFile::link(outside + QStringLiteral("/other.socket"), entry);
         },
         [&] { return QFileInfo(entry).isSymLink() && !hasDatagram(foreignSocket); }},
        {"a file", [&] { test::writeFile(entry, "notes"); },
         [&] {
             QFile file(entry);
             return file.open(QIODevice::ReadOnly) && file.readAll() == "notes";
         }},
        {"a folder", [&] { test::writeFile(entry + QStringLiteral("/inside"), "kept"); },
         [&] { return QFileInfo::exists(entry + QStringLiteral("/inside")); }},
        {"a FIFO", [&] { ::mkfifo(QFile::encodeName(entry).constData(), 0600); },
         [&] { return S_ISFIFO(test::modeOf(entry)); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(runtime).removeRecursively();
        QDir(outside).removeRecursively();
        SetUp();
        c.plant();
        ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        CountingObserver observer(signalName, fallback);
        ASSERT_TRUE(observer.observation) << observer.error.toStdString();
        EXPECT_EQ(observer.observation->socketPath(), fallback + QLatin1Char('/') + signalName);
        EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
        EXPECT_TRUE(observer.waitFor(1));
        EXPECT_TRUE(c.intact());
        if (foreignSocket >= 0)
            ::close(foreignSocket);
        foreignSocket = -1;
    }
}

// The program's own folder holds nothing of the user's under the signal's name: a stray is replaced,
// except a folder, which ends the attempt with a reason.
TEST_F(DuplicateLaunchSignalTest, AStrayInTheOwnFolderIsReplacedAndAFolderThereIsReported) {
    ScopedEnvironment env("XDG_RUNTIME_DIR", std::nullopt);
    const QString entry = fallback + QLatin1Char('/') + signalName;
    for (const char *kind : {"file", "link", "fifo"}) {
        SCOPED_TRACE(kind);
        QDir(fallback).removeRecursively();
        test::makeDirectory(fallback);
        if (std::strcmp(kind, "file") == 0)
            test::writeFile(entry, "stray");
        else if (std::strcmp(kind, "link") == 0)
            QFile::link(dir.path() + QStringLiteral("/nowhere"), entry);
        else
            ::mkfifo(QFile::encodeName(entry).constData(), 0600);
        CountingObserver observer(signalName, fallback);
        ASSERT_TRUE(observer.observation) << observer.error.toStdString();
        EXPECT_TRUE(S_ISSOCK(test::modeOf(entry)));
        EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
        EXPECT_TRUE(observer.waitFor(1));
    }

    QDir(fallback).removeRecursively();
    test::writeFile(entry + QStringLiteral("/inside"), "kept");
    CountingObserver observer(signalName, fallback);
    EXPECT_FALSE(observer.observation);
    EXPECT_TRUE(observer.error.contains(entry + QStringLiteral(": a folder is in the way")))
        << observer.error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(entry + QStringLiteral("/inside")));
}

// The observer and a later launch may see different environments: the sender tries every place.
TEST_F(DuplicateLaunchSignalTest, TheSenderReachesAnObserverInEitherPlace) {
    std::optional<CountingObserver> observer;
    {
        ScopedEnvironment unset("XDG_RUNTIME_DIR", std::nullopt);
        observer.emplace(signalName, fallback);
    }
    ASSERT_TRUE(observer->observation) << observer->error.toStdString();
    ASSERT_EQ(observer->observation->socketPath(), fallback + QLatin1Char('/') + signalName);
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    EXPECT_EQ(
        DuplicateLaunchSignal::socketPaths(signalName, fallback),
        (QStringList{runtime + QLatin1Char('/') + signalName, fallback + QLatin1Char('/') + signalName}));
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    EXPECT_TRUE(observer->waitFor(1));

    // A socket that a crashed observer left in the runtime folder refuses the signal; the next place
    // still gets it.
    ::close(bindForeignSocket(runtime + QLatin1Char('/') + signalName));
    std::this_thread::sleep_for(DuplicateLaunchSignalObservation::quietTime * 4);
    EXPECT_TRUE(DuplicateLaunchSignal::post(signalName, fallback));
    EXPECT_TRUE(observer->waitFor(2));
}

TEST_F(DuplicateLaunchSignalTest, NamesThatAreNotOneFileNameAreRefused) {
    ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    for (const QString &name :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b")}) {
        CountingObserver observer(name, fallback);
        EXPECT_FALSE(observer.observation) << name.toStdString();
        EXPECT_FALSE(observer.error.isEmpty());
        EXPECT_FALSE(DuplicateLaunchSignal::post(name, fallback)) << name.toStdString();
    }
    EXPECT_EQ(QDir(runtime).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
}

} // namespace
} // namespace orvex
