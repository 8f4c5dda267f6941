#include "platform/FileSystem.h"

#include "support/TestEnvironment.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace orvex {
namespace {

TEST(FileSystem, CreateFolderMakesTheMissingParentsOrAnswersTheSystemsReason) {
    struct Case {
        const char *name;
        std::function<void(const QString &root)> prepare;
        const char *folder;
        int expected;
    };
    const Case cases[] = {
        {"missing parents", {}, "/a/b/c", 0},
        {"already there", [](const QString &root) { test::makeDirectory(root + QStringLiteral("/a/b")); },
         "/a/b", 0},
        {"a file at the path", [](const QString &root) { test::writeFile(root + QStringLiteral("/a"), "x"); },
         "/a", ENOTDIR},
        {"a file on the way", [](const QString &root) { test::writeFile(root + QStringLiteral("/a"), "x"); },
         "/a/b", ENOTDIR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        if (c.prepare)
            c.prepare(root.path());
        const QString folder = root.path() + QString::fromUtf8(c.folder);
        EXPECT_EQ(FileSystem::createFolder(folder), c.expected);
        EXPECT_EQ(QFileInfo(folder).isDir(), c.expected == 0);
    }
    EXPECT_EQ(FileSystem::errorText(ENOTDIR), QStringLiteral("Not a directory"));
}

} // namespace
} // namespace orvex
