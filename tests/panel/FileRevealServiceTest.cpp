#include "panel/FileRevealService.h"

#include "fixtures/FakeWorkspace.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace orvex {
namespace {

using Kind = FileRevealAction::Kind;

class FileRevealServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        test::writeFile(viewerPath, "[Desktop Entry]\nType=Application\nName=Files\nExec=files %U\n");
        test::writeFile(otherBrowserPath, "[Desktop Entry]\nType=Application\nName=Other\nExec=other %U\n");
        test::makeDirectory(root + QStringLiteral("/elsewhere"));
        ASSERT_TRUE(QFile::link(root + QStringLiteral("/applications"), root + QStringLiteral("/apps-link")));
        ASSERT_TRUE(QFile::link(viewerPath, root + QStringLiteral("/viewer-link.desktop")));
        workspace.systemFileViewer = QUrl::fromLocalFile(viewerPath);
    }

    QUrl at(const QString &relative) const { return QUrl::fromLocalFile(root + QLatin1Char('/') + relative); }

    QTemporaryDir dir{test::homePath() + QStringLiteral("/reveal-XXXXXX")};
    QString root = dir.path();
    QString viewerPath = root + QStringLiteral("/applications/files.desktop");
    QString otherBrowserPath = root + QStringLiteral("/applications/other.desktop");
    test::FakeWorkspace workspace;
};

// Every spelling of the system viewer's entry means the viewer; anything else is another browser.
TEST_F(FileRevealServiceTest, RecognisesTheSystemViewerHoweverItsPathIsSpelled) {
    const struct {
        const char *name;
        QString handler;
    } viewerSpellings[] = {
        {"same path", QStringLiteral("applications/files.desktop")},
        {"dot parts", QStringLiteral("applications/./files.desktop")},
        {"dot-dot parts", QStringLiteral("elsewhere/../applications/files.desktop")},
        {"linked folder", QStringLiteral("apps-link/files.desktop")},
        {"linked entry", QStringLiteral("viewer-link.desktop")},
        {"linked folder and dot-dot", QStringLiteral("apps-link/../applications/files.desktop")},
    };
    for (const auto &c : viewerSpellings) {
        EXPECT_EQ(FileRevealService::resolvedFileRevealAction(
                      at(c.handler), at(QStringLiteral("applications/files.desktop"))),
                  FileRevealAction::activateSystemFileViewer())
            << c.name;
    }
}

TEST_F(FileRevealServiceTest, AnotherFolderHandlerIsKeptInTheFormItWasGiven) {
    const QUrl handler = at(QStringLiteral("apps-link/./other.desktop"));
    const FileRevealAction action =
        FileRevealService::resolvedFileRevealAction(handler, workspace.systemFileViewer);
    EXPECT_EQ(action.kind, Kind::openWithFileBrowser);
    EXPECT_EQ(action.applicationURL, handler);
    EXPECT_NE(action, FileRevealAction::openWithFileBrowser(QUrl::fromLocalFile(otherBrowserPath)));
}

TEST_F(FileRevealServiceTest, NoFolderHandlerMeansTheSystemViewer) {
    EXPECT_EQ(FileRevealService::resolvedFileRevealAction(std::nullopt, workspace.systemFileViewer),
              FileRevealAction::activateSystemFileViewer());
    EXPECT_EQ(FileRevealService::resolvedFileRevealAction(QUrl(), workspace.systemFileViewer),
              FileRevealAction::activateSystemFileViewer());
}

// Missing entries still compare by their spelled-out path, through links of the folders that exist.
TEST_F(FileRevealServiceTest, MissingEntriesCompareThroughTheirExistingFolders) {
    EXPECT_EQ(
        FileRevealService::resolvedFileRevealAction(at(QStringLiteral("apps-link/gone/../missing.desktop")),
                                                    at(QStringLiteral("applications/missing.desktop"))),
        FileRevealAction::activateSystemFileViewer());
    EXPECT_EQ(
        FileRevealService::resolvedFileRevealAction(at(QStringLiteral("applications/missing.desktop")),
                                                    at(QStringLiteral("applications/other-missing.desktop")))
            .kind,
        Kind::openWithFileBrowser);
}

TEST_F(FileRevealServiceTest, RevealSelectsTheItemInTheSystemViewer) {
    const QUrl item = at(QStringLiteral("elsewhere"));
    workspace.folderHandler = at(QStringLiteral("apps-link/files.desktop"));
    FileRevealService::reveal(item, workspace);
    ASSERT_EQ(workspace.fileViewerSelections.size(), 1);
    EXPECT_EQ(workspace.fileViewerSelections.front(), QList<QUrl>{item});
    EXPECT_TRUE(workspace.applicationOpens.isEmpty());
    EXPECT_TRUE(workspace.openedURLs.isEmpty());
}

// Files and folders alike go to the user's own folder application.
TEST_F(FileRevealServiceTest, RevealHandsFilesAndFoldersToTheUsersFolderApplication) {
    workspace.folderHandler = QUrl::fromLocalFile(otherBrowserPath);
    const QUrl items[] = {at(QStringLiteral("elsewhere")), QUrl::fromLocalFile(viewerPath)};
    for (const QUrl &item : items)
        FileRevealService::reveal(item, workspace);
    ASSERT_EQ(workspace.applicationOpens.size(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(workspace.applicationOpens[i], (test::FakeWorkspace::OpenWithApplication{
                                                     {items[i]}, QUrl::fromLocalFile(otherBrowserPath)}));
    EXPECT_TRUE(workspace.fileViewerSelections.isEmpty());
}

} // namespace
} // namespace orvex
