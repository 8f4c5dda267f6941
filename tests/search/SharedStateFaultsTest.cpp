// Two launcher processes (or the launcher and the command-line tool) share one defaults file: what
// one of them records must survive the other's later writes.
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace orvex {
namespace {

// One running orvex_usage_recorder; each command waits for its reply line.
class Recorder {
public:
    explicit Recorder(const QString &defaultsPath) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(ORVEX_USAGE_RECORDER), {defaultsPath, test::homePath()});
        started_ = process_.waitForStarted(10000);
    }
    ~Recorder() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    // The reply to `command` without its prefix, or "<no reply>".
    QString run(const QString &command, const QString &replyPrefix) {
        if (!started_)
            return QStringLiteral("<not started>");
        process_.write((command + QLatin1Char('\n')).toUtf8());
        for (;;) {
            while (process_.canReadLine()) {
                const QString line = QString::fromUtf8(process_.readLine()).trimmed();
                if (line == replyPrefix || line.startsWith(replyPrefix + QLatin1Char(' ')))
                    return line.mid(replyPrefix.size()).trimmed();
            }
            if (!process_.waitForReadyRead(20000))
                return QStringLiteral("<no reply>");
        }
    }
    qint64 count(const QString &name) {
        return run(QStringLiteral("count ") + name, QStringLiteral("count")).toLongLong();
    }
    std::string recent() { return run(QStringLiteral("recent"), QStringLiteral("recent")).toStdString(); }
    void activate(const QString &name) {
        EXPECT_EQ(run(QStringLiteral("activate ") + name, QStringLiteral("activated")).toStdString(), "");
    }
    void quit() {
        EXPECT_EQ(run(QStringLiteral("quit"), QStringLiteral("bye")).toStdString(), "");
        EXPECT_TRUE(process_.waitForFinished(20000));
        EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process_.exitCode(), 0);
    }

private:
    QProcess process_;
    bool started_ = false;
};

// The launcher has read its usage data; meanwhile the tool records activations and exits; then the
// launcher records one of its own. Nothing the tool counted may be lost.
struct Interleaving {
    const char *name;
    QStringList launcherBefore; // activations of the launcher before the tool runs
    QStringList tool;           // activations of the tool
    QStringList launcherAfter;  // activations of the launcher afterwards
    QList<std::pair<QString, qint64>> counts;
    std::string recent; // newest first
};

void PrintTo(const Interleaving &c, std::ostream *out) {
    *out << c.name;
}

class SharedStateFaults : public ::testing::TestWithParam<Interleaving> {};

TEST_P(SharedStateFaults, ActivationsOfAnotherProcessAreKept) {
    const Interleaving &c = GetParam();
    const QString defaultsPath =
        test::homePath() + QStringLiteral("/%1/orvex-launcher/defaults.plist").arg(QLatin1String(c.name));
    auto launcher = std::make_unique<Recorder>(defaultsPath);
    // Reading loads the counts and the recent list into the launcher's memory.
    EXPECT_EQ(launcher->count(QStringLiteral("Mail")), 0);
    EXPECT_EQ(launcher->recent(), "");
    for (const QString &name : c.launcherBefore)
        launcher->activate(name);
    {
        Recorder tool(defaultsPath);
        for (const QString &name : c.tool)
            tool.activate(name);
        tool.quit();
    }
    for (const QString &name : c.launcherAfter)
        launcher->activate(name);
    for (const auto &[name, count] : c.counts)
        EXPECT_EQ(launcher->count(name), count) << "launcher, " << name.toStdString();
    EXPECT_EQ(launcher->recent(), c.recent) << "launcher";
    launcher->quit();
    launcher.reset();

    // What the next start reads.
    Recorder next(defaultsPath);
    for (const auto &[name, count] : c.counts)
        EXPECT_EQ(next.count(name), count) << "next start, " << name.toStdString();
    EXPECT_EQ(next.recent(), c.recent) << "next start";
    next.quit();
}

INSTANTIATE_TEST_SUITE_P(
    , SharedStateFaults,
    ::testing::Values(Interleaving{.name = "OtherRows",
                                   .tool = {QStringLiteral("Notes")},
                                   .launcherAfter = {QStringLiteral("Mail")},
                                   .counts = {{QStringLiteral("Mail"), 1}, {QStringLiteral("Notes"), 1}},
                                   .recent = "Mail.app,Notes.app"},
                      Interleaving{.name = "SameRow",
                                   .launcherBefore = {QStringLiteral("Mail")},
                                   .tool = {QStringLiteral("Mail"), QStringLiteral("Notes")},
                                   .launcherAfter = {QStringLiteral("Mail")},
                                   .counts = {{QStringLiteral("Mail"), 3}, {QStringLiteral("Notes"), 1}},
                                   .recent = "Mail.app,Notes.app"},
                      Interleaving{.name = "LauncherLast",
                                   .launcherBefore = {QStringLiteral("Calendar")},
                                   .tool = {QStringLiteral("Notes"), QStringLiteral("Mail")},
                                   .launcherAfter = {QStringLiteral("Calendar")},
                                   .counts = {{QStringLiteral("Calendar"), 2},
                                              {QStringLiteral("Mail"), 1},
                                              {QStringLiteral("Notes"), 1}},
                                   .recent = "Calendar.app,Mail.app,Notes.app"}),
    [](const ::testing::TestParamInfo<Interleaving> &info) { return std::string(info.param.name); });

// Several processes recording activations at the same moment: each read-merge-write holds the
// defaults file's lock, so every count and every recent row survives.
TEST(SharedStateConcurrency, ActivationsRecordedAtTheSameMomentAreAllKept) {
    constexpr int processes = 8;
    constexpr int rounds = 6;
    const QString defaultsPath =
        test::homePath() + QStringLiteral("/concurrent/orvex-launcher/defaults.plist");
    QList<std::shared_ptr<QProcess>> recorders;
    for (int i = 0; i < processes; ++i) {
        auto recorder = std::make_shared<QProcess>();
        recorder->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        recorder->start(QStringLiteral(ORVEX_USAGE_RECORDER), {defaultsPath, test::homePath()});
        ASSERT_TRUE(recorder->waitForStarted(10000));
        recorders.append(recorder);
    }
    // Every process gets all its commands at once, so their activations overlap.
    for (int i = 0; i < processes; ++i) {
        QByteArray commands;
        for (int round = 0; round < rounds; ++round)
            commands += "activate App" + QByteArray::number(i) + "\nactivate Shared\n";
        recorders[i]->write(commands + "quit\n");
    }
    for (const auto &recorder : recorders) {
        EXPECT_TRUE(recorder->waitForBytesWritten(10000));
        recorder->closeWriteChannel();
    }
    for (const auto &recorder : recorders) {
        EXPECT_TRUE(recorder->waitForFinished(60000));
        EXPECT_EQ(recorder->exitCode(), 0);
        EXPECT_EQ(recorder->readAllStandardOutput().count("activated"), 2 * rounds);
    }

    Recorder next(defaultsPath);
    EXPECT_EQ(next.count(QStringLiteral("Shared")), processes * rounds);
    QStringList names{QStringLiteral("Shared.app")};
    for (int i = 0; i < processes; ++i) {
        EXPECT_EQ(next.count(QStringLiteral("App%1").arg(i)), rounds) << i;
        names.append(QStringLiteral("App%1.app").arg(i));
    }
    QStringList recent = QString::fromStdString(next.recent()).split(QLatin1Char(','));
    recent.sort();
    names.sort();
    EXPECT_EQ(recent, names);
    next.quit();
}

} // namespace
} // namespace orvex
