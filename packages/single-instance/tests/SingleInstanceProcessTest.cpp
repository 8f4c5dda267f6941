// Real processes of the probe program in this test's isolated home: the decision, the hand-over and
// the wake-up across processes.
#include "single-instance/DuplicateLaunchRequestStore.h"
#include "single-instance/SingleInstanceConfiguration.h"

#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

namespace orvex {
namespace {

constexpr std::chrono::seconds processTimeout{20};

// One probe process; killed when the object goes, so no test leaves one behind.
class Probe {
public:
    explicit Probe(const QStringList &requestArguments = {}) {
        QStringList arguments;
        for (const QString &argument : requestArguments)
            arguments << QStringLiteral("--request") << argument;
        process_.setProgram(QStringLiteral(ORVEX_SINGLE_INSTANCE_PROBE));
        process_.setArguments(arguments);
        process_.start();
    }
    ~Probe() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Lines written so far.
    QStringList lines() {
        buffer_ += process_.readAllStandardOutput();
        QStringList result = QString::fromUtf8(buffer_).split(QLatin1Char('\n'));
        result.removeLast();
        return result;
    }
    bool waitForLine(const QString &prefix) {
        return test::waitUntil(
            [&] {
                for (const QString &line : lines())
                    if (line.startsWith(prefix))
                        return true;
                return false;
            },
            processTimeout);
    }
    // The first argument of every request this instance received, in order of receipt.
    QStringList receivedRequests() {
        QStringList result;
        for (const QString &line : lines()) {
            if (!line.startsWith(QStringLiteral("activation ")))
                continue;
            const QJsonArray requests = QJsonDocument::fromJson(line.mid(11).toUtf8()).array();
            for (const QJsonValue &request : requests)
                result.append(
                    request.toObject().value(QStringLiteral("arguments")).toArray().at(0).toString());
        }
        return result;
    }
    int activations() {
        return static_cast<int>(lines().filter(QRegularExpression(QStringLiteral("^activation "))).size());
    }
    bool waitForExit() {
        return test::waitUntil([&] { return process_.state() == QProcess::NotRunning; }, processTimeout);
    }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    int exitCode() const { return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1; }
    void killHard() {
        ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
        process_.waitForFinished(5000);
    }
    QProcess &process() { return process_; }

private:
    QProcess process_;
    QByteArray buffer_;
};

SingleInstanceConfiguration probeConfiguration() {
    return SingleInstanceConfiguration(QStringLiteral("io.orvex.single-instance-probe"),
                                       SingleInstancePolicy::alwaysSingle(),
                                       SingleInstanceLockLocation::applicationSupport());
}

TEST(SingleInstanceProcess, ASecondStartExitsAndTheFirstReceivesOneActivation) {
    Probe first;
    ASSERT_TRUE(first.waitForLine(QStringLiteral("ready"))) << first.lines().join('\n').toStdString();
    Probe second({QStringLiteral("from-second")});
    ASSERT_TRUE(second.waitForExit());
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.lines(), QStringList{QStringLiteral("already running")});
    ASSERT_TRUE(first.waitForLine(QStringLiteral("activation")));
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(first.activations(), 1);
    EXPECT_EQ(first.receivedRequests(), QStringList{QStringLiteral("from-second")});
    EXPECT_TRUE(first.isRunning());
}

TEST(SingleInstanceProcess, TenStartsAtOnceLeaveOneInstanceThatHearsFromAllOthers) {
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 10; ++i)
        probes.push_back(std::make_unique<Probe>(QStringList{QStringLiteral("launch-%1").arg(i)}));
    ASSERT_TRUE(test::waitUntil(
        [&] {
            int finished = 0;
            for (const auto &probe : probes)
                finished += probe->isRunning() ? 0 : 1;
            return finished == 9;
        },
        processTimeout));

    Probe *instance = nullptr;
    QStringList expected;
    for (int i = 0; i < 10; ++i) {
        Probe &probe = *probes[static_cast<size_t>(i)];
        if (probe.isRunning()) {
            instance = &probe;
            continue;
        }
        EXPECT_EQ(probe.exitCode(), 0) << i;
        EXPECT_EQ(probe.lines(), QStringList{QStringLiteral("already running")}) << i;
        expected.append(QStringLiteral("launch-%1").arg(i));
    }
    ASSERT_TRUE(instance);
    EXPECT_TRUE(instance->waitForLine(QStringLiteral("ready")));
    // Every other launch's request arrived, each exactly once.
    ASSERT_TRUE(test::waitUntil([&] { return instance->receivedRequests().size() >= 9; }, processTimeout))
        << instance->lines().join('\n').toStdString() << "\nleft in the folder: "
        << QDir(probeConfiguration().duplicateLaunchRequestsPath())
               .entryList(QDir::Files)
               .join(' ')
               .toStdString();
    QStringList received = instance->receivedRequests();
    received.sort();
    EXPECT_EQ(received, expected);
    EXPECT_GE(instance->activations(), 1);
    EXPECT_EQ(DuplicateLaunchRequestStore::consumePending(probeConfiguration()),
              QList<DuplicateLaunchRequest>());
}

TEST(SingleInstanceProcess, AfterTheInstanceIsKilledTheNextStartTakesOverAndCanBeWoken) {
    Probe crashed;
    ASSERT_TRUE(crashed.waitForLine(QStringLiteral("ready")));
    crashed.killHard();

    Probe next;
    ASSERT_TRUE(next.waitForLine(QStringLiteral("ready"))) << next.lines().join('\n').toStdString();
    Probe third({QStringLiteral("third")});
    ASSERT_TRUE(third.waitForExit());
    EXPECT_EQ(third.lines(), QStringList{QStringLiteral("already running")});
    // A socket left by the killed instance would swallow this wake-up.
    ASSERT_TRUE(next.waitForLine(QStringLiteral("activation")));
    EXPECT_EQ(next.receivedRequests(), QStringList{QStringLiteral("third")});
}

TEST(SingleInstanceProcess, StoredRequestsAreConsumedOldestFirstAndDeleted) {
    // Requests that reached the folder without a wake-up, written newest first, all before the instance
    // looks (one written while it runs may be taken on its own).
    const SingleInstanceConfiguration configuration = probeConfiguration();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int age : {1, 3, 2}) {
        DuplicateLaunchRequest request;
        request.arguments = {QStringLiteral("aged-%1").arg(age)};
        request.createdAt = now.addSecs(-60 * age);
        ASSERT_FALSE(DuplicateLaunchRequestStore::enqueue(request, configuration).error);
    }
    Probe instance;
    ASSERT_TRUE(instance.waitForLine(QStringLiteral("ready")));
    Probe waking({QStringLiteral("now")});
    ASSERT_TRUE(waking.waitForExit());
    // The stored requests may come in an activation of their own, before the wake-up's.
    ASSERT_TRUE(test::waitUntil([&] { return instance.receivedRequests().contains(QStringLiteral("now")); },
                                processTimeout))
        << instance.lines().join('\n').toStdString();
    EXPECT_EQ(instance.receivedRequests(), (QStringList{QStringLiteral("aged-3"), QStringLiteral("aged-2"),
                                                        QStringLiteral("aged-1"), QStringLiteral("now")}));
    EXPECT_EQ(QDir(configuration.duplicateLaunchRequestsPath()).entryList(QDir::Files | QDir::Hidden),
              QStringList());
}

TEST(SingleInstanceProcess, AllowingMultipleInstancesLetsTwoRun) {
    QFile::remove(probeConfiguration().lockPath());
    {
        UserDefaults defaults(UserDefaults::standardFilePath());
        defaults.set(QStringLiteral("allowMultipleInstances"), true);
        ASSERT_TRUE(defaults.flush());
    }
    Probe first;
    Probe second({QStringLiteral("second")});
    ASSERT_TRUE(first.waitForLine(QStringLiteral("ready")));
    ASSERT_TRUE(second.waitForLine(QStringLiteral("ready")));
    EXPECT_TRUE(first.isRunning());
    EXPECT_TRUE(second.isRunning());
    EXPECT_FALSE(QFileInfo::exists(probeConfiguration().lockPath()));
    UserDefaults defaults(UserDefaults::standardFilePath());
    defaults.remove(QStringLiteral("allowMultipleInstances"));
    defaults.flush();
}

} // namespace
} // namespace orvex
