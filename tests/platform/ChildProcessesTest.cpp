#include "platform/ChildProcesses.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace orvex {
namespace {

using namespace std::chrono_literals;
using ChildProcesses::Stream;

// What the child wrote until its output holds `count` line feeds, the deadline passed or it ended.
QByteArray readLines(int fd, int count, std::chrono::milliseconds timeLimit = 20s) {
    QByteArray read;
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    while (read.count('\n') < count && std::chrono::steady_clock::now() < deadline) {
        pollfd descriptor{.fd = fd, .events = POLLIN, .revents = 0};
        if (::poll(&descriptor, 1, 100) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        read.append(buffer, n);
    }
    return read;
}

// The kernel's signal for a dead parent follows the thread that started the child; children are started
// by a thread that lives as long as the process, so a worker that ends (a pool's idle thread expires)
// takes no child with it.
TEST(ChildProcesses, AChildOutlivesTheThreadThatAskedForIt) {
    std::optional<ChildProcesses::Spawned> child;
    std::thread worker([&] {
        child = ChildProcesses::spawn(QStringLiteral("/bin/cat"), {}, QProcessEnvironment(), Stream::pipe,
                                      Stream::pipe);
    });
    worker.join();
    ASSERT_TRUE(child);

    const QByteArray ping = "ping\n";
    ASSERT_EQ(::write(child->inputWrite, ping.constData(), ping.size()), ping.size());
    EXPECT_EQ(readLines(child->outputRead, 1), ping) << "the child died with the thread";
    EXPECT_FALSE(ChildProcesses::hasExited(child->pid));
    ChildProcesses::kill(child->pid);
    ::close(child->inputWrite);
    ::close(child->outputRead);
}

// Killing a child ends what it started too (its process group), and reaps it; a program that cannot be
// run is no child at all.
TEST(ChildProcesses, KillEndsTheChildsGroupAndAMissingProgramStartsNothing) {
    const auto child = ChildProcesses::spawn(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("trap '' TERM; sleep 600 & echo $!; wait")},
        QProcessEnvironment(), Stream::null, Stream::pipe);
    ASSERT_TRUE(child);
    const pid_t sleeper = readLines(child->outputRead, 1).trimmed().toInt();
    ASSERT_GT(sleeper, 0);
    ChildProcesses::kill(child->pid);
    errno = 0;
    EXPECT_EQ(::kill(child->pid, 0), -1) << "left unreaped";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(test::waitUntil([&] { return test::isProcessGone(sleeper); }, 5s))
        << "what the child started lives on";
    ::close(child->outputRead);

    EXPECT_FALSE(ChildProcesses::spawn(test::homePath() + QStringLiteral("/no-such-program"), {},
                                       QProcessEnvironment(), Stream::null, Stream::null));
}

} // namespace
} // namespace orvex
