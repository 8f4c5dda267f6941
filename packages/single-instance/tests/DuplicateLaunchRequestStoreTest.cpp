#include "single-instance/DuplicateLaunchRequestStore.h"

#include "SignalTestSupport.h"

#include "support/SmallFileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <unistd.h>

namespace orvex {
namespace {

DuplicateLaunchRequest requestAt(const char *isoDate, QStringList arguments) {
    DuplicateLaunchRequest request;
    request.arguments = std::move(arguments);
    request.createdAt = QDateTime::fromString(QString::fromLatin1(isoDate), Qt::ISODate);
    return request;
}

QStringList firstArguments(const QList<DuplicateLaunchRequest> &requests) {
    QStringList result;
    for (const DuplicateLaunchRequest &request : requests)
        result.append(request.arguments.value(0));
    return result;
}

class DuplicateLaunchRequestStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SingleInstanceConfiguration configuration{QStringLiteral("io.orvex.test"),
                                              SingleInstancePolicy::alwaysSingle(),
                                              SingleInstanceLockLocation::directory(dir.path())};
    QString folder = configuration.duplicateLaunchRequestsPath();

    QStringList names() const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    void writeRequestFile(const QString &name, const QByteArray &bytes) const {
        test::writeFile(folder + QLatin1Char('/') + name, bytes);
    }
};

TEST_F(DuplicateLaunchRequestStoreTest, AnEmptyRequestOnlySendsTheSignal) {
    test::CountingObserver observer(configuration.activationSignalName, configuration.lockFolderPath());
    ASSERT_TRUE(observer.observation) << observer.error.toStdString();
    EXPECT_EQ(DuplicateLaunchRequestStore::post(requestAt("2026-12-08T07:01:48Z", {}), configuration),
              std::nullopt);
    EXPECT_TRUE(observer.waitFor(1));
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST_F(DuplicateLaunchRequestStoreTest, ARequestBecomesOneUuidNamedFileThatConsumingDeletes) {
    test::CountingObserver observer(configuration.activationSignalName, configuration.lockFolderPath());
    const DuplicateLaunchRequest request =
        requestAt("2026-12-08T07:01:48Z", {QStringLiteral("open"), QStringLiteral("x")});
    EXPECT_EQ(DuplicateLaunchRequestStore::post(request, configuration), std::nullopt);
    EXPECT_TRUE(observer.waitFor(1));
    const QStringList stored = names();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.json$"))
                    .match(stored.first())
                    .hasMatch())
        << stored.first().toStdString();
    EXPECT_EQ(test::modeOf(folder + QLatin1Char('/') + stored.first()) & 07777, 0600u);

    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration),
              QList<DuplicateLaunchRequest>{request});
    EXPECT_EQ(names(), QStringList());
    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration), QList<DuplicateLaunchRequest>());
}

TEST_F(DuplicateLaunchRequestStoreTest, AStoringFailureIsReportedAfterTheSignalWent) {
    test::CountingObserver observer(configuration.activationSignalName, configuration.lockFolderPath());
    test::writeFile(folder, "a file where the request folder should be");
    const auto error = DuplicateLaunchRequestStore::post(
        requestAt("2026-12-08T07:01:48Z", {QStringLiteral("a")}), configuration);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(folder)) << error->toStdString();
    EXPECT_TRUE(observer.waitFor(1));
}

// On a full disk no request file appears (an empty one would be read as corrupt and dropped) and the
// failure says why.
TEST(DuplicateLaunchRequestStoreOnAFullDisk, NoRequestFileAppearsAndTheFailureSaysWhy) {
    test::SmallFileSystem disk(64 * 1024);
    if (disk.path().isEmpty())
        GTEST_SKIP() << "no small file system to fill: " << disk.problem().toStdString();
    const SingleInstanceConfiguration configuration{QStringLiteral("io.orvex.test"),
                                                    SingleInstancePolicy::alwaysSingle(),
                                                    SingleInstanceLockLocation::directory(disk.path())};
    const QString folder = configuration.duplicateLaunchRequestsPath();
    test::makeDirectory(folder);
    ASSERT_TRUE(disk.fill());

    const DuplicateLaunchRequestStore::Stored stored = DuplicateLaunchRequestStore::enqueue(
        requestAt("2026-12-08T07:01:48Z", {QStringLiteral("a")}), configuration);
    ASSERT_TRUE(stored.error) << "a request that could not be written was reported stored";
    EXPECT_TRUE(stored.error->contains(QStringLiteral("No space left on device")))
        << stored.error->toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A request file's name as enqueue() makes it, every digit `digit`.
QString requestName(char digit) {
    const QString d(1, QLatin1Char(digit));
    return d.repeated(8) + '-' + d.repeated(4) + '-' + d.repeated(4) + '-' + d.repeated(4) + '-' +
           d.repeated(12) + QStringLiteral(".json");
}

TEST_F(DuplicateLaunchRequestStoreTest, ConsumesOldestFirstAndDiscardsWhatItCannotRead) {
    writeRequestFile(requestName('C'),
                     requestAt("2026-12-08T07:01:50Z", {QStringLiteral("newest")}).toJson());
    writeRequestFile(requestName('A'), requestAt("2026-12-08T07:01:48Z", {QStringLiteral("old-a")}).toJson());
    writeRequestFile(requestName('D'), requestAt("2026-12-08T07:01:48Z", {QStringLiteral("old-d")}).toJson());
    writeRequestFile(requestName('B'),
                     requestAt("2026-12-08T07:01:49Z", {QStringLiteral("middle")}).toJson());
    writeRequestFile(requestName('1'), "{\"arguments\": [");
    writeRequestFile(requestName('2'),
                     requestAt("2026-12-08T07:01:47Z",
                               {QString(DuplicateLaunchRequestStore::maxRequestBytes, QLatin1Char('h'))})
                         .toJson());
    // Files that are not named as requests are someone else's, whatever they hold.
    const QByteArray foreign = requestAt("2026-12-08T07:01:40Z", {QStringLiteral("foreign")}).toJson();
    writeRequestFile(QStringLiteral("note.txt"), foreign);
    writeRequestFile(QStringLiteral("config.json"), foreign);
    writeRequestFile(requestName('a'), foreign);
    writeRequestFile(requestName('E') + QStringLiteral(".tmp"), "{");
    test::makeDirectory(folder + QLatin1Char('/') + requestName('F'));
    // A link named as a request is removed, never followed.
    test::writeFile(dir.path() + QStringLiteral("/outside.json"), foreign);
    QFile::link(dir.path() + QStringLiteral("/outside.json"), folder + QLatin1Char('/') + requestName('3'));

    EXPECT_EQ(firstArguments(DuplicateLaunchRequestStore::consumePending(configuration)),
              (QStringList{QStringLiteral("old-a"), QStringLiteral("old-d"), QStringLiteral("middle"),
                           QStringLiteral("newest")}));
    QStringList left{QStringLiteral("config.json"), QStringLiteral("note.txt"), requestName('E') + ".tmp",
                     requestName('F'), requestName('a')};
    left.sort();
    EXPECT_EQ(names(), left);
    EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/outside.json")));
}

// A request folder that is not the launcher's own is neither read nor emptied.
TEST_F(DuplicateLaunchRequestStoreTest, ALinkedOrForeignRequestFolderIsLeftAlone) {
    const QString userFolder = dir.path() + QStringLiteral("/Documents");
    test::writeFile(userFolder + QStringLiteral("/config.json"), "{}");
    test::writeFile(userFolder + QLatin1Char('/') + requestName('A'),
                    requestAt("2026-12-08T07:01:48Z", {QStringLiteral("a")}).toJson());
    const QStringList userFiles = QDir(userFolder).entryList(QDir::Files);
    test::makeDirectory(configuration.lockFolderPath());
    ASSERT_TRUE(QFile::link(userFolder, folder));

    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration), QList<DuplicateLaunchRequest>());
    EXPECT_EQ(QDir(userFolder).entryList(QDir::Files), userFiles);
    const DuplicateLaunchRequestStore::Stored stored = DuplicateLaunchRequestStore::enqueue(
        requestAt("2026-12-08T07:01:48Z", {QStringLiteral("b")}), configuration);
    EXPECT_TRUE(stored.error) << "nothing is written through the link either";
    EXPECT_EQ(QDir(userFolder).entryList(QDir::Files), userFiles);

    QFile::remove(folder);
    test::makeDirectory(folder);
    writeRequestFile(requestName('B'), requestAt("2026-12-08T07:01:48Z", {QStringLiteral("b")}).toJson());
    if (::chown(QFile::encodeName(folder).constData(), 65534, 65534) != 0 || ::geteuid() == 65534)
        GTEST_SKIP() << "cannot give a folder to another user here";
    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration), QList<DuplicateLaunchRequest>());
    EXPECT_EQ(names(), QStringList{requestName('B')});
}

TEST_F(DuplicateLaunchRequestStoreTest, AMissingFolderHoldsNoRequests) {
    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration), QList<DuplicateLaunchRequest>());
}

// A reader that runs while launches are still writing their requests never meets half a file: if it
// did, it would discard that request as corrupt and the launch would be lost.
TEST_F(DuplicateLaunchRequestStoreTest, RequestsWrittenWhileConsumingAreNeverSeenHalfWritten) {
    constexpr int count = 100;
    const QString payload(32 * 1024, QLatin1Char('p'));
    std::atomic<bool> failed{false};
    std::atomic<bool> written{false};
    std::thread writer([&] {
        for (int i = 0; i < count; ++i) {
            DuplicateLaunchRequest request = requestAt("2026-12-08T07:01:48Z", {QString::number(i), payload});
            if (DuplicateLaunchRequestStore::enqueue(request, configuration).error)
                failed = true;
        }
        written = true;
    });
    QSet<QString> seen;
    bool intact = true;
    // Consume until a pass that began after the last write.
    test::waitUntil(
        [&] {
            const bool last = written.load();
            for (const DuplicateLaunchRequest &request :
                 DuplicateLaunchRequestStore::consumePending(configuration)) {
                intact = intact && request.arguments.value(1) == payload;
                seen.insert(request.arguments.value(0));
            }
            return last;
        },
        std::chrono::seconds(60));
    writer.join();
    EXPECT_FALSE(failed);
    EXPECT_TRUE(intact);
    EXPECT_EQ(seen.size(), count) << "requests arrived";
}

} // namespace
} // namespace orvex
