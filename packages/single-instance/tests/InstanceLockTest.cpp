#include "single-instance/InstanceLock.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

int openDescriptorCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

QByteArray ownPid() {
    return QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class InstanceLockTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString lockPath = dir.path() + QStringLiteral("/deep/er/app.lock");
};

TEST_F(InstanceLockTest, HolderWritesItsPidIntoAPrivateFileThatOutlivesIt) {
    {
        auto acquired = InstanceLock::acquire(lockPath);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceLock>>(acquired));
        EXPECT_EQ(std::get<std::unique_ptr<InstanceLock>>(acquired)->lockPath(), lockPath);
        EXPECT_EQ(contents(lockPath), ownPid());
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(lockPath).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
    }
    EXPECT_TRUE(QFile::exists(lockPath));
}

TEST_F(InstanceLockTest, FileLeftByAnOlderHolderIsReusedAndItsLongerPidReplaced) {
    test::writeFile(lockPath, "99999999999999\nleftover\n");
    auto acquired = InstanceLock::acquire(lockPath);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceLock>>(acquired));
    EXPECT_EQ(contents(lockPath), ownPid());
}

TEST_F(InstanceLockTest, OnlyOneHolderAtATimeAndReleaseFreesIt) {
    const int before = openDescriptorCount();
    auto first = InstanceLock::acquire(lockPath);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceLock>>(first));
    // flock belongs to the open file, so a second open in this same process contends like another one.
    auto second = InstanceLock::acquire(lockPath);
    ASSERT_TRUE(std::holds_alternative<SingleInstanceError>(second));
    EXPECT_EQ(std::get<SingleInstanceError>(second),
              SingleInstanceError(InstanceLockError::alreadyRunning()));
    EXPECT_EQ(openDescriptorCount(), before + 1) << "the losing attempt closes its descriptor";

    std::get<std::unique_ptr<InstanceLock>>(first).reset();
    EXPECT_EQ(openDescriptorCount(), before);
    auto third = InstanceLock::acquire(lockPath);
    EXPECT_TRUE(std::holds_alternative<std::unique_ptr<InstanceLock>>(third));
}

TEST_F(InstanceLockTest, FailuresNameTheirCauseAndLeaveNoDescriptorOpen) {
    struct Case {
        const char *name;
        std::function<QString(const QString &root)> prepare; // answers the lock path
        SingleInstanceError expected;
    };
    const Case cases[] = {
        {"a file stands where the folder should be",
         [](const QString &root) {
             test::writeFile(root + QStringLiteral("/folder"), "x");
             return root + QStringLiteral("/folder/app.lock");
         },
         FolderCreationError{QString(), ENOTDIR}},
        {"the lock path is a folder",
         [](const QString &root) {
             test::makeDirectory(root + QStringLiteral("/app.lock"));
             return root + QStringLiteral("/app.lock");
         },
         InstanceLockError::openFailed(EISDIR)},
    };
    for (const Case &c : cases) {
        QTemporaryDir root;
        const QString path = c.prepare(root.path());
        const int before = openDescriptorCount();
        auto acquired = InstanceLock::acquire(path);
        ASSERT_TRUE(std::holds_alternative<SingleInstanceError>(acquired)) << c.name;
        SingleInstanceError error = std::get<SingleInstanceError>(acquired);
        if (auto *folder = std::get_if<FolderCreationError>(&error)) {
            EXPECT_EQ(folder->path, root.path() + QStringLiteral("/folder")) << c.name;
            folder->path.clear();
        }
        EXPECT_EQ(error, c.expected) << c.name;
        EXPECT_EQ(openDescriptorCount(), before) << c.name;
    }
}

TEST(InstanceLockError, DescriptionsNameTheCaseAndTheSystemReason) {
    EXPECT_EQ(InstanceLockError::openFailed(EACCES).description(),
              QStringLiteral("openFailed(errno: 13): Permission denied"));
    EXPECT_EQ(InstanceLockError::lockFailed(ENOLCK).description(),
              QStringLiteral("lockFailed(errno: 37): No locks available"));
    EXPECT_EQ(InstanceLockError::alreadyRunning().description(), QStringLiteral("alreadyRunning"));
    EXPECT_EQ(describe(FolderCreationError{QStringLiteral("/x/y"), ENOTDIR}),
              QStringLiteral("Could not create the folder /x/y: Not a directory"));
    EXPECT_NE(InstanceLockError::openFailed(1), InstanceLockError::openFailed(2));
    EXPECT_NE(InstanceLockError::openFailed(1), InstanceLockError::lockFailed(1));
}

} // namespace
} // namespace orvex
