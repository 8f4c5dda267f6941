#include "single-instance/SingleInstanceController.h"
#include "single-instance/DuplicateLaunchRequestStore.h"

#include "SignalTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <gtest/gtest.h>

#include <thread>

namespace orvex {
namespace {

using Kind = SingleInstanceStartupResult::Kind;

DuplicateLaunchRequest requestWith(QStringList arguments) {
    DuplicateLaunchRequest request;
    request.arguments = std::move(arguments);
    // Whole seconds, as the request files keep them.
    request.createdAt = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), QTimeZone::utc());
    return request;
}

class SingleInstanceControllerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    UserDefaults defaults;
    SingleInstanceConfiguration configuration{
        QStringLiteral("io.orvex.test"),
        SingleInstancePolicy::userDefaults(defaults, QStringLiteral("allowMultipleInstances")),
        SingleInstanceLockLocation::directory(dir.path())};
};

TEST_F(SingleInstanceControllerTest, ASecondStartHandsItsRequestToTheRunningOne) {
    SingleInstanceStartupResult first = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(first.kind, Kind::run);
    ASSERT_TRUE(first.controller);
    EXPECT_TRUE(first.controller->isEnforcingSingleInstance());
    EXPECT_EQ(first.controller->observationError(), std::nullopt);
    QList<QList<DuplicateLaunchRequest>> calls;
    first.controller->setDuplicateLaunchHandler(
        [&](const QList<DuplicateLaunchRequest> &r) { calls.append(r); });

    const DuplicateLaunchRequest request = requestWith({QStringLiteral("second")});
    SingleInstanceStartupResult second = SingleInstanceController::start(configuration, request);
    EXPECT_EQ(second.kind, Kind::alreadyRunning);
    EXPECT_FALSE(second.controller);
    ASSERT_TRUE(test::waitUntil([&] { return !calls.isEmpty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(calls.size(), 1);
    ASSERT_EQ(calls.first().size(), 1);
    EXPECT_EQ(calls.first().first().arguments, request.arguments);
}

TEST_F(SingleInstanceControllerTest, AWakeUpBeforeAnyHandlerIsDeliveredOnceWhenOneIsInstalled) {
    SingleInstanceStartupResult first = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(first.kind, Kind::run);
    ASSERT_EQ(SingleInstanceController::start(configuration, requestWith({QStringLiteral("early")})).kind,
              Kind::alreadyRunning);
    ASSERT_TRUE(test::waitUntil([&] { return first.controller->hasPendingActivation(); }));

    QList<QList<DuplicateLaunchRequest>> calls;
    first.controller->setDuplicateLaunchHandler(
        [&](const QList<DuplicateLaunchRequest> &r) { calls.append(r); });
    ASSERT_EQ(calls.size(), 1) << "delivered at once";
    ASSERT_EQ(calls.first().size(), 1);
    EXPECT_EQ(calls.first().first().arguments, QStringList{QStringLiteral("early")});
    EXPECT_FALSE(first.controller->hasPendingActivation());
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(calls.size(), 1) << "and only once";

    // Replacing the handler delivers nothing by itself; the next launch reaches the new one.
    int activations = 0;
    first.controller->setActivationHandler([&] { ++activations; });
    EXPECT_EQ(activations, 0);
    EXPECT_EQ(SingleInstanceController::start(configuration, requestWith({})).kind, Kind::alreadyRunning);
    EXPECT_TRUE(test::waitUntil([&] { return activations == 1; }));
    EXPECT_EQ(calls.size(), 1);
}

// Signals that the event loop has not yet handed over when the handler arrives are not lost.
TEST_F(SingleInstanceControllerTest, WakeUpsNotYetProcessedReachTheNewHandler) {
    SingleInstanceStartupResult first = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(first.kind, Kind::run);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(
            DuplicateLaunchSignal::post(configuration.activationSignalName, configuration.lockFolderPath()));
    // No events processed yet: whatever the reader thread has seen is counted, the rest is queued.
    int activations = 0;
    first.controller->setActivationHandler([&] { ++activations; });
    EXPECT_TRUE(test::waitUntil([&] { return activations >= 1; }));
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_GE(activations, 1);
    EXPECT_LE(activations, 3);
}

// A script that starts the program in a loop, or a flood of datagrams, shows the instance once, not
// once a datagram with the event loop busy for minutes.
TEST_F(SingleInstanceControllerTest, AFloodOfWakeUpsIsOneActivation) {
    SingleInstanceStartupResult first = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(first.kind, Kind::run);
    int activations = 0;
    first.controller->setActivationHandler([&] { ++activations; });
    // The event loop is not run while the flood lasts, as when it is busy elsewhere.
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(
            DuplicateLaunchSignal::post(configuration.activationSignalName, configuration.lockFolderPath()));
    ASSERT_TRUE(test::waitUntil([&] { return activations >= 1; }));
    test::waitUntil([] { return false; }, DuplicateLaunchSignalObservation::quietTime * 6);
    EXPECT_EQ(activations, 1);
}

// Requests are read and deleted on the signal's reader thread: a folder full of them never holds up
// the event loop, which only receives what was read.
TEST_F(SingleInstanceControllerTest, RequestsAreReadWithoutTheEventLoop) {
    SingleInstanceStartupResult first = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(first.kind, Kind::run);
    QList<QList<DuplicateLaunchRequest>> calls;
    first.controller->setDuplicateLaunchHandler(
        [&](const QList<DuplicateLaunchRequest> &r) { calls.append(r); });
    constexpr int count = 2000;
    // Written aside and moved into place whole, so that no reader meets a file half written.
    const QString folder = configuration.duplicateLaunchRequestsPath();
    const QString aside = folder + QStringLiteral(".new");
    for (int i = 0; i < count; ++i)
        test::writeFile(aside + QLatin1Char('/') +
                            QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                            QStringLiteral(".json"),
                        requestWith({QString::number(i)}).toJson());
    ASSERT_TRUE(QDir().rename(aside, folder));
    ASSERT_TRUE(
        DuplicateLaunchSignal::post(configuration.activationSignalName, configuration.lockFolderPath()));
    bool emptied = false;
    for (int wait = 0; wait < 2000 && !emptied; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        emptied = QDir(folder).isEmpty();
    }
    EXPECT_TRUE(emptied) << "read while the event loop did not run";
    EXPECT_TRUE(calls.isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return !calls.isEmpty(); }));
    test::waitUntil([] { return false; }, DuplicateLaunchSignalObservation::quietTime * 4);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.first().size(), count);
}

// The first signal of a burst shows the instance; requests that arrive while the burst lasts are not
// left waiting for the next one.
TEST_F(SingleInstanceControllerTest, RequestsThatComeLaterInABurstAreDeliveredToo) {
    SingleInstanceStartupResult first = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(first.kind, Kind::run);
    QList<QList<DuplicateLaunchRequest>> calls;
    first.controller->setDuplicateLaunchHandler(
        [&](const QList<DuplicateLaunchRequest> &r) { calls.append(r); });
    ASSERT_TRUE(
        DuplicateLaunchSignal::post(configuration.activationSignalName, configuration.lockFolderPath()));
    const DuplicateLaunchRequest later = requestWith({QStringLiteral("later")});
    ASSERT_EQ(DuplicateLaunchRequestStore::post(later, configuration), std::nullopt);
    ASSERT_TRUE(test::waitUntil(
        [&] { return !calls.isEmpty() && calls.last() == QList<DuplicateLaunchRequest>{later}; }));
    test::waitUntil([] { return false; }, DuplicateLaunchSignalObservation::quietTime * 4);
    EXPECT_LE(calls.size(), 2);
}

// A launch that stored its request while this instance was still starting, and gave up on a signal
// that had nowhere to go yet.
TEST_F(SingleInstanceControllerTest, RequestsWaitingAtStartAreDeliveredAsOneWakeUp) {
    const DuplicateLaunchRequest early = requestWith({QStringLiteral("early")});
    ASSERT_FALSE(DuplicateLaunchRequestStore::enqueue(early, configuration).error);
    SingleInstanceStartupResult result = SingleInstanceController::start(configuration, requestWith({}));
    ASSERT_EQ(result.kind, Kind::run);
    QList<QList<DuplicateLaunchRequest>> calls;
    result.controller->setDuplicateLaunchHandler(
        [&](const QList<DuplicateLaunchRequest> &r) { calls.append(r); });
    ASSERT_TRUE(test::waitUntil([&] { return !calls.isEmpty(); }));
    EXPECT_EQ(calls.first(), QList<DuplicateLaunchRequest>{early});
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(calls.size(), 1);
}

TEST_F(SingleInstanceControllerTest, AllowingMultipleInstancesTakesNoLockAndSendsNothing) {
    defaults.set(QStringLiteral("allowMultipleInstances"), true);
    test::CountingObserver observer(configuration.activationSignalName, configuration.lockFolderPath());
    SingleInstanceStartupResult first =
        SingleInstanceController::start(configuration, requestWith({QStringLiteral("a")}));
    SingleInstanceStartupResult second =
        SingleInstanceController::start(configuration, requestWith({QStringLiteral("b")}));
    ASSERT_EQ(first.kind, Kind::run);
    ASSERT_EQ(second.kind, Kind::run);
    EXPECT_FALSE(first.controller->isEnforcingSingleInstance());
    EXPECT_FALSE(QFileInfo::exists(configuration.lockPath()));
    EXPECT_FALSE(QFileInfo::exists(configuration.duplicateLaunchRequestsPath()));
    test::waitUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(observer.count->load(), 0);

    // Only a stored true switches enforcement off.
    defaults.set(QStringLiteral("allowMultipleInstances"), QStringLiteral("YES"));
    EXPECT_FALSE(configuration.policy.allowsMultipleInstances());
}

TEST_F(SingleInstanceControllerTest, OtherLockFailuresStillSendTheWakeUpAndReportTheError) {
    test::CountingObserver observer(configuration.activationSignalName, configuration.lockFolderPath());
    ASSERT_TRUE(observer.observation);
    test::makeDirectory(configuration.lockPath());
    SingleInstanceStartupResult result = SingleInstanceController::start(configuration, requestWith({}));
    EXPECT_EQ(result.kind, Kind::failed);
    EXPECT_FALSE(result.controller);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(*result.error, SingleInstanceError(InstanceLockError::openFailed(EISDIR)));
    EXPECT_TRUE(observer.waitFor(1));
}

TEST_F(SingleInstanceControllerTest, AHolderThatNeverAnswersEndsTheHandOverInTimeAsUnreachable) {
    auto held = InstanceLock::acquire(configuration.lockPath());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceLock>>(held));
    const DuplicateLaunchRequest request = requestWith({QStringLiteral("kept")});
    SingleInstanceStartupResult result =
        SingleInstanceController::start(configuration, request, std::chrono::milliseconds(100));
    EXPECT_EQ(result.kind, Kind::unreachable);
    EXPECT_FALSE(result.controller);
    // The request waits for whoever consumes next.
    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration),
              QList<DuplicateLaunchRequest>{request});
}

TEST_F(SingleInstanceControllerTest, AHolderThatQuitsDuringTheHandOverLeavesTheLaunchToThisProcess) {
    auto held = InstanceLock::acquire(configuration.lockPath());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceLock>>(held));
    std::thread quitting([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::get<std::unique_ptr<InstanceLock>>(held).reset();
    });
    SingleInstanceStartupResult result = SingleInstanceController::start(
        configuration, requestWith({QStringLiteral("own")}), std::chrono::seconds(30));
    quitting.join();
    ASSERT_EQ(result.kind, Kind::run);
    EXPECT_TRUE(result.controller->isEnforcingSingleInstance());
    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(configuration), QList<DuplicateLaunchRequest>())
        << "its own request is not left for itself";
}

TEST(SingleInstanceConfiguration, DerivesNamesAndPlacesFromTheIdentifier) {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    const SingleInstanceConfiguration named(QStringLiteral("io.example.app"),
                                            SingleInstancePolicy::alwaysSingle(),
                                            SingleInstanceLockLocation::applicationSupport());
    EXPECT_EQ(named.lockFileName, QStringLiteral("io.example.app.lock"));
    EXPECT_EQ(named.activationSignalName, QStringLiteral("io.example.app.single-instance.activate"));
    EXPECT_EQ(named.lockPath(), data + QStringLiteral("/io.example.app/io.example.app.lock"));
    EXPECT_EQ(named.duplicateLaunchRequestsPath(),
              data + QStringLiteral("/io.example.app/DuplicateLaunchRequests"));

    const SingleInstanceConfiguration explicitNames(
        QStringLiteral("io.example.app"), SingleInstancePolicy::alwaysSingle(),
        SingleInstanceLockLocation::directory(QStringLiteral("/base")), QStringLiteral("App.lock"),
        QStringLiteral("wake"));
    EXPECT_EQ(explicitNames.lockPath(), QStringLiteral("/base/io.example.app/App.lock"));
    EXPECT_EQ(explicitNames.activationSignalName, QStringLiteral("wake"));

    // Without an identifier: the application's name, else the process's.
    const QString before = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("io.example.named"));
    const SingleInstanceConfiguration unnamed({}, SingleInstancePolicy::alwaysSingle(),
                                              SingleInstanceLockLocation::applicationSupport());
    EXPECT_EQ(unnamed.bundleIdentifier, QStringLiteral("io.example.named"));
    EXPECT_EQ(unnamed.lockFileName, QStringLiteral("io.example.named.lock"));
    EXPECT_EQ(unnamed.activationSignalName, QStringLiteral("io.example.named.single-instance.activate"));
    QCoreApplication::setApplicationName(QString());
    EXPECT_EQ(SingleInstanceConfiguration::defaultBundleIdentifier(),
              QStringLiteral("single_instance_tests"));
    QCoreApplication::setApplicationName(before);
}

TEST(SingleInstanceLockLocation, TheDataFolderFallsBackToTheHomeWhenUnsetOrRelative) {
    const QString home = QDir::homePath();
    for (const std::optional<QByteArray> &value :
         {std::optional<QByteArray>(), std::optional<QByteArray>("relative/data"),
          std::optional<QByteArray>("")}) {
        test::ScopedEnvironment env("XDG_DATA_HOME", value);
        EXPECT_EQ(SingleInstanceLockLocation::applicationSupport().basePath(),
                  home + QStringLiteral("/.local/share"));
    }
    test::ScopedEnvironment env("XDG_DATA_HOME", QByteArray("/data/home"));
    EXPECT_EQ(SingleInstanceLockLocation::applicationSupport().basePath(), QStringLiteral("/data/home"));
}

} // namespace
} // namespace orvex
