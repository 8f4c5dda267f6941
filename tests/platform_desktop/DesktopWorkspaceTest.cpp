#include "platform/DesktopWorkspace.h"

#include "DesktopFixture.h"
#include "FakeApplication.h"
#include "FakeFileManager.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <string>

namespace orvex {
namespace {

using namespace std::chrono_literals;

std::string text(const std::optional<QStringList> &lines) {
    return lines ? lines->join(QLatin1Char('|')).toStdString() : std::string("(never ran)");
}

// How a program of DesktopFixture::startRecordingProgram was started.
struct StartRecord {
    QString folder;
    QMap<QString, QString> environment;
    QStringList arguments;
};

std::optional<StartRecord> startRecord(const test::DesktopFixture &desktop, const QString &name) {
    const std::optional<QStringList> lines = desktop.recorded(name);
    if (!lines)
        return std::nullopt;
    StartRecord record;
    for (const QString &line : *lines) {
        if (line.startsWith(QLatin1String("cwd=")))
            record.folder = line.mid(4);
        else if (line.startsWith(QLatin1String("env:")))
            record.environment.insert(line.mid(4).section(QLatin1Char('='), 0, 0),
                                      line.mid(4).section(QLatin1Char('='), 1));
        else if (line.startsWith(QLatin1String("arg=")))
            record.arguments.append(line.mid(4));
    }
    return record;
}

// Sets an environment variable of the test process for the length of a scope.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QByteArray &value) : name_(name), saved_(qgetenv(name)) {
        ::setenv(name, value.constData(), 1);
    }
    ~ScopedVariable() { ::setenv(name_, saved_.constData(), 1); }

private:
    const char *name_;
    QByteArray saved_;
};

class DesktopWorkspaceTest : public ::testing::Test {
protected:
    QString systemApps = test::DesktopFixture::systemDataFolder() + QStringLiteral("/applications");
    QString userApps = test::DesktopFixture::userDataFolder() + QStringLiteral("/applications");
    QString documents = test::homePath() + QStringLiteral("/Documents");
    test::DesktopFixture desktop;
    // No bus: the reveal tests bring their own.
    DesktopWorkspace workspace{QDBusConnection(QStringLiteral("none")), {}};
};

// An installed entry is run as the program it names, with its field codes expanded, never edited.
TEST_F(DesktopWorkspaceTest, OpensAnInstalledDesktopEntryAsItsApplication) {
    const QString program = desktop.recordingProgram(QStringLiteral("viewer"));
    const QString entry = desktop.writeEntry(systemApps, QStringLiteral("fixture-viewer.desktop"),
                                             program + QStringLiteral(" --name %c --entry %k %U"));
    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(entry)));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("viewer"))),
              "--name|fixture-viewer|--entry|" + entry.toStdString());
}

// GIO wraps a Terminal=true entry in a terminal of the desktop (here a stand-in found on PATH).
TEST_F(DesktopWorkspaceTest, ATerminalEntryRunsInsideATerminal) {
    const QString terminal = desktop.recordingProgram(QStringLiteral("gnome-terminal"));
    ::setenv("PATH",
             QFile::encodeName(QFileInfo(terminal).absolutePath() + QLatin1Char(':') +
                               qEnvironmentVariable("PATH"))
                 .constData(),
             1);
    const QString tool = desktop.recordingProgram(QStringLiteral("tool"));
    const QString entry =
        desktop.writeEntry(systemApps, QStringLiteral("tool.desktop"), tool + QStringLiteral(" --flag"),
                           QStringLiteral("Terminal=true\n"));
    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(entry)));
    const std::optional<QStringList> terminalArguments = desktop.recorded(QStringLiteral("gnome-terminal"));
    ASSERT_TRUE(terminalArguments);
    ASSERT_GE(terminalArguments->size(), 2) << text(terminalArguments);
    EXPECT_EQ(terminalArguments->mid(terminalArguments->size() - 2),
              (QStringList{tool, QStringLiteral("--flag")}))
        << text(terminalArguments);
    EXPECT_FALSE(QFile::exists(desktop.recordPath(QStringLiteral("tool")))) << "ran outside the terminal";
}

// An entry that did not come from an applications folder runs only when its owner made it executable;
// otherwise it is a document like any other and goes to the handler of its type.
TEST_F(DesktopWorkspaceTest, AnEntryFromElsewhereRunsOnlyWhenMarkedExecutable) {
    const QString editor = desktop.recordingProgram(QStringLiteral("editor"));
    desktop.writeEntry(userApps, QStringLiteral("fixture-editor.desktop"), editor + QStringLiteral(" %f"),
                       QStringLiteral("MimeType=application/x-desktop;text/plain;\n"));
    desktop.writeDefaults({QStringLiteral("application/x-desktop=fixture-editor.desktop")});
    const QString payload = desktop.recordingProgram(QStringLiteral("payload"));
    const QString downloaded = desktop.writeEntry(test::homePath() + QStringLiteral("/Downloads"),
                                                  QStringLiteral("invoice.desktop"), payload);

    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(downloaded)));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("editor"))), downloaded.toStdString());
    EXPECT_FALSE(QFile::exists(desktop.recordPath(QStringLiteral("payload"))));

    ASSERT_TRUE(QFile::setPermissions(downloaded, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(downloaded)));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("payload"))), "");
}

// Every failed open says why, in terms the caller can put to the user.
TEST_F(DesktopWorkspaceTest, AnOpenThatFailsSaysWhy) {
    test::writeFile(documents + QStringLiteral("/notes.txt"), "plain words\n");
    test::writeFile(documents + QStringLiteral("/blob.bin"), QByteArray("\x00\x01\x02\xff", 4));
    desktop.writeEntry(systemApps, QStringLiteral("missing-program.desktop"),
                       QStringLiteral("/nonexistent/orvex-program %U"));
    desktop.writeEntry(systemApps, QStringLiteral("missing-try.desktop"),
                       desktop.recordingProgram(QStringLiteral("try")),
                       QStringLiteral("TryExec=orvex-not-installed\n"));
    desktop.writeEntry(systemApps, QStringLiteral("hidden.desktop"),
                       desktop.recordingProgram(QStringLiteral("hidden")), QStringLiteral("Hidden=true\n"));
    test::writeFile(systemApps + QStringLiteral("/link.desktop"),
                    "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.invalid/\n");
    const QString console = desktop.recordingProgram(QStringLiteral("console"));
    desktop.writeEntry(systemApps, QStringLiteral("console.desktop"), console,
                       QStringLiteral("Terminal=true\n"));
    // No terminal on the search path, whatever the machine has installed.
    const QString bin = QFileInfo(console).absolutePath();
    const ScopedVariable path("PATH", QFile::encodeName(bin));
    DesktopWorkspace workspace(QDBusConnection(QStringLiteral("none")), {}, 10s,
                               QByteArrayList{"PATH=" + QFile::encodeName(bin)});
    const struct {
        const char *name;
        QUrl url;
        OpenFailure failure;
        QString detail;
    } cases[] = {
        {"scheme without handler", QUrl(QStringLiteral("orvex-unhandled://thing")),
         OpenFailure::noApplicationForScheme, QStringLiteral("orvex-unhandled")},
        {"web address without browser", QUrl(QStringLiteral("HTTPS://example.invalid/")),
         OpenFailure::noApplicationForScheme, QStringLiteral("https")},
        {"text without editor", QUrl::fromLocalFile(documents + QStringLiteral("/notes.txt")),
         OpenFailure::noApplicationForType, QStringLiteral("text/plain")},
        {"unknown type", QUrl::fromLocalFile(documents + QStringLiteral("/blob.bin")),
         OpenFailure::noApplicationForType, QStringLiteral("application/octet-stream")},
        {"folder without file manager", QUrl::fromLocalFile(documents), OpenFailure::noApplicationForType,
         QStringLiteral("inode/directory")},
        {"missing file", QUrl::fromLocalFile(documents + QStringLiteral("/gone.txt")),
         OpenFailure::itemMissing, documents + QStringLiteral("/gone.txt")},
        {"entry deleted while listed", QUrl::fromLocalFile(systemApps + QStringLiteral("/deleted.desktop")),
         OpenFailure::itemMissing, systemApps + QStringLiteral("/deleted.desktop")},
        {"entry whose program is missing",
         QUrl::fromLocalFile(systemApps + QStringLiteral("/missing-program.desktop")),
         OpenFailure::programMissing, QStringLiteral("/nonexistent/orvex-program")},
        {"entry whose TryExec is missing",
         QUrl::fromLocalFile(systemApps + QStringLiteral("/missing-try.desktop")),
         OpenFailure::programMissing, QStringLiteral("orvex-not-installed")},
        {"terminal entry without a terminal",
         QUrl::fromLocalFile(systemApps + QStringLiteral("/console.desktop")), OpenFailure::noTerminal,
         QString()},
        {"hidden entry", QUrl::fromLocalFile(systemApps + QStringLiteral("/hidden.desktop")),
         OpenFailure::applicationRemoved, systemApps + QStringLiteral("/hidden.desktop")},
        {"link entry", QUrl::fromLocalFile(systemApps + QStringLiteral("/link.desktop")),
         OpenFailure::notAnApplication, systemApps + QStringLiteral("/link.desktop")},
        {"relative address", QUrl(QStringLiteral("just-words")), OpenFailure::invalidAddress,
         QStringLiteral("just-words")},
        {"empty address", QUrl(), OpenFailure::invalidAddress, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const OpenResult result = workspace.open(c.url);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.detail.toStdString(), c.detail.toStdString());
    }
    EXPECT_FALSE(QFile::exists(desktop.recordPath(QStringLiteral("console")))) << "ran without a terminal";
}

// A program starts as from the desktop's menu: in the home folder (or its entry's own Path), with the
// environment it is given, not the one the launcher made for itself.
TEST_F(DesktopWorkspaceTest, ProgramsStartInTheHomeFolderWithTheEnvironmentTheyAreGiven) {
    ASSERT_EQ(qgetenv("QT_QPA_PLATFORM"), "offscreen") << "the process's own choice, not to be passed on";
    ASSERT_NE(QDir::currentPath(), test::homePath());
    const QString program = desktop.startRecordingProgram(QStringLiteral("app"));
    const QString ownFolder = documents + QStringLiteral("/Own Folder");
    test::makeDirectory(ownFolder);
    const QString plain =
        desktop.writeEntry(systemApps, QStringLiteral("plain.desktop"), program + QStringLiteral(" --plain"));
    const QString withPath =
        desktop.writeEntry(systemApps, QStringLiteral("with-path.desktop"),
                           program + QStringLiteral(" --own"), QStringLiteral("Path=%1\n").arg(ownFolder));
    desktop.writeEntry(systemApps, QStringLiteral("reader.desktop"), program + QStringLiteral(" %f"),
                       QStringLiteral("MimeType=text/plain;\n"));
    desktop.writeDefaults({QStringLiteral("text/plain=reader.desktop")});
    const QString notes = documents + QStringLiteral("/notes.txt");
    test::writeFile(notes, "plain words\n");

    const QByteArrayList environment = {"HOME=" + QFile::encodeName(test::homePath()), "PATH=/usr/bin:/bin",
                                        "ORVEX_STARTED_FROM=the desktop", "PWD=/where/the/launcher/ran"};
    DesktopWorkspace starting(QDBusConnection(QStringLiteral("none")), {}, 10s, environment);
    const struct {
        const char *name;
        QUrl url;
        QString folder;
        QStringList arguments;
    } cases[] = {
        {"an application", QUrl::fromLocalFile(plain), test::homePath(), {QStringLiteral("--plain")}},
        {"an application with its own folder",
         QUrl::fromLocalFile(withPath),
         ownFolder,
         {QStringLiteral("--own")}},
        {"a document's handler", QUrl::fromLocalFile(notes), test::homePath(), {notes}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(desktop.recordPath(QStringLiteral("app")));
        ASSERT_TRUE(starting.open(c.url));
        const std::optional<StartRecord> record = startRecord(desktop, QStringLiteral("app"));
        ASSERT_TRUE(record) << "never ran";
        EXPECT_EQ(record->folder.toStdString(), c.folder.toStdString());
        EXPECT_EQ(text(record->arguments), text(c.arguments));
        EXPECT_EQ(record->environment.value(QStringLiteral("ORVEX_STARTED_FROM")).toStdString(),
                  "the desktop");
        EXPECT_EQ(record->environment.value(QStringLiteral("PWD")).toStdString(), c.folder.toStdString());
        EXPECT_FALSE(record->environment.contains(QStringLiteral("QT_QPA_PLATFORM")));
        EXPECT_FALSE(record->environment.contains(QStringLiteral("XDG_DATA_HOME")));
    }
}

// The user's choices in mimeapps.list decide between several applications for one type or scheme.
TEST_F(DesktopWorkspaceTest, DefaultHandlersComeFromTheUsersMimeappsList) {
    for (const QString &name : {QStringLiteral("first"), QStringLiteral("second")})
        desktop.writeEntry(systemApps, QStringLiteral("files-%1.desktop").arg(name),
                           desktop.recordingProgram(name) + QStringLiteral(" %u"),
                           QStringLiteral("MimeType=inode/directory;x-scheme-handler/orvex-test;\n"));
    desktop.writeDefaults({QStringLiteral("inode/directory=files-second.desktop"),
                           QStringLiteral("x-scheme-handler/orvex-test=files-second.desktop")});

    EXPECT_EQ(workspace.urlForApplicationToOpenFolders(),
              QUrl::fromLocalFile(systemApps + QStringLiteral("/files-second.desktop")));
    ASSERT_TRUE(workspace.open(QUrl(QStringLiteral("orvex-test://hello?x=1"))));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("second"))), "orvex-test://hello?x=1");
    QFile::remove(desktop.recordPath(QStringLiteral("second")));

    test::makeDirectory(documents);
    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(documents)));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("second"))),
              documents.toStdString()); // %u of a local file
    EXPECT_FALSE(QFile::exists(desktop.recordPath(QStringLiteral("first"))));
}

TEST_F(DesktopWorkspaceTest, NoFolderHandlerIsNone) {
    EXPECT_EQ(workspace.urlForApplicationToOpenFolders(), std::nullopt);
}

TEST_F(DesktopWorkspaceTest, OpensItemsWithTheNamedApplication) {
    const QString entry = desktop.writeEntry(userApps, QStringLiteral("browser.desktop"),
                                             desktop.recordingProgram(QStringLiteral("browser")) +
                                                 QStringLiteral(" --select %F"));
    const QString a = documents + QStringLiteral("/a file.txt");
    const QString b = documents + QStringLiteral("/b");
    test::writeFile(a, "a");
    test::makeDirectory(b);
    ASSERT_TRUE(workspace.openURLsWithApplication({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)},
                                                  QUrl::fromLocalFile(entry)));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("browser"))),
              "--select|" + a.toStdString() + "|" + b.toStdString());

    EXPECT_FALSE(workspace.openURLsWithApplication(
        {QUrl::fromLocalFile(a)}, QUrl::fromLocalFile(userApps + QStringLiteral("/none.desktop"))));
    EXPECT_FALSE(workspace.openURLsWithApplication({QUrl::fromLocalFile(a)},
                                                   QUrl(QStringLiteral("https://x.invalid/"))));
}

// The desktop's file viewer is the installed entry of the program the bus starts for FileManager1;
// without such a service, the first installed candidate.
TEST_F(DesktopWorkspaceTest, FindsTheSystemFileViewer) {
    const QString viewerProgram = desktop.recordingProgram(QStringLiteral("fixture-files"));
    const QString viewer = desktop.writeEntry(systemApps, QStringLiteral("org.example.Files.desktop"),
                                              viewerProgram + QStringLiteral(" %U"),
                                              QStringLiteral("MimeType=inode/directory;\n"));
    const QString candidate = desktop.writeEntry(systemApps, QStringLiteral("candidate.desktop"),
                                                 desktop.recordingProgram(QStringLiteral("candidate")));
    DesktopWorkspace withCandidates(
        QDBusConnection(QStringLiteral("none")),
        {QStringLiteral("not-installed.desktop"), QStringLiteral("candidate.desktop")});
    EXPECT_EQ(workspace.systemFileViewerURL(), QUrl());
    EXPECT_EQ(withCandidates.systemFileViewerURL(), QUrl::fromLocalFile(candidate));

    test::writeFile(test::DesktopFixture::userDataFolder() + QStringLiteral("/dbus-1/services/fm.service"),
                    QStringLiteral("[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=%1 --service\n")
                        .arg(viewerProgram)
                        .toUtf8());
    EXPECT_EQ(withCandidates.systemFileViewerURL(), QUrl::fromLocalFile(viewer));
}

class DesktopWorkspaceRevealTest : public DesktopWorkspaceTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(managerConnection.isConnected());
        ASSERT_TRUE(workspaceConnection.isConnected());
        test::writeFile(item, "report");
        desktop.writeEntry(systemApps, QStringLiteral("folders.desktop"),
                           desktop.recordingProgram(QStringLiteral("folders")) + QStringLiteral(" %f"),
                           QStringLiteral("MimeType=inode/directory;\n"));
        desktop.updateMimeCache(systemApps);
    }

    test::PrivateSessionBus bus;
    QDBusConnection managerConnection = bus.connect(QStringLiteral("file-manager"));
    QDBusConnection workspaceConnection = bus.connect(QStringLiteral("workspace"));
    QString item = documents + QStringLiteral("/Reports/q3 report.pdf");
};

// Asked over the given connection, or over the session bus of the environment by default.
TEST_F(DesktopWorkspaceRevealTest, TheFileManagerOnTheBusIsAskedToShowTheItem) {
    test::FakeFileManager manager;
    ASSERT_TRUE(manager.registerOn(managerConnection));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8().constData(), 1);
    DesktopWorkspace overConnection(workspaceConnection, {});
    DesktopWorkspace overSessionBus;
    const QUrl other = QUrl::fromLocalFile(documents + QStringLiteral("/Reports"));
    overConnection.activateFileViewerSelectingURLs({QUrl::fromLocalFile(item)});
    ASSERT_TRUE(test::waitUntil([&] { return manager.shownItems.size() == 1; }, 10s));
    overSessionBus.activateFileViewerSelectingURLs({other});
    ASSERT_TRUE(test::waitUntil([&] { return manager.shownItems.size() == 2; }, 10s));
    EXPECT_EQ(manager.shownItems,
              (QList<QStringList>{{QUrl::fromLocalFile(item).toString(QUrl::FullyEncoded)},
                                  {other.toString(QUrl::FullyEncoded)}}));
    EXPECT_FALSE(QFile::exists(desktop.recordPath(QStringLiteral("folders"))));
}

// Without an answer from a file manager, the item's folder is opened with the folder handler.
TEST_F(DesktopWorkspaceRevealTest, FallsBackToOpeningTheParentFolder) {
    test::FakeFileManager hanging;
    hanging.answers = false;
    const struct {
        const char *name;
        test::FakeFileManager *manager;
    } cases[] = {{"no file manager", nullptr}, {"file manager never answers", &hanging}};
    for (const auto &c : cases) {
        QFile::remove(desktop.recordPath(QStringLiteral("folders")));
        if (c.manager) {
            ASSERT_TRUE(c.manager->registerOn(managerConnection));
        }
        DesktopWorkspace revealing(workspaceConnection, {}, 300ms);
        revealing.activateFileViewerSelectingURLs({QUrl::fromLocalFile(item)});
        EXPECT_EQ(text(desktop.recorded(QStringLiteral("folders"))),
                  QFileInfo(item).absolutePath().toStdString())
            << c.name;
    }
    EXPECT_EQ(hanging.shownItems.size(), 1);
}

// D-Bus activatable entries on a session bus of the test's own.
class DesktopWorkspaceActivationTest : public DesktopWorkspaceTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(applicationConnection.isConnected());
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8().constData(), 1);
        program = desktop.recordingProgram(QStringLiteral("recorder"));
        entry = desktop.writeEntry(userApps, QStringLiteral("org.example.Recorder.desktop"),
                                   program + QStringLiteral(" --from-exec"),
                                   QStringLiteral("DBusActivatable=true\n"));
    }
    // GIO's own connection to this bus would end the process when the bus goes, and, while GIO's
    // pending work holds it, GIO would hand it to a later test in place of that test's bus: it must
    // be let go before the bus goes.
    void TearDown() override {
        if (GDBusConnection *connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(connection, FALSE);
            GWeakRef held;
            g_weak_ref_init(&held, connection);
            g_object_unref(connection);
            EXPECT_TRUE(test::waitUntil([&] {
                GObject *still = static_cast<GObject *>(g_weak_ref_get(&held));
                if (still)
                    g_object_unref(still);
                return still == nullptr;
            })) << "GIO kept its connection to the test's bus";
            g_weak_ref_clear(&held);
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", savedBusAddress.constData(), 1);
    }

    QByteArray savedBusAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    test::PrivateSessionBus bus;
    QDBusConnection applicationConnection = bus.connect(QStringLiteral("application"));
    QString program;
    QString entry;
};

// As GIO's own launcher does: without its service on the bus, the entry's program runs; with no program
// either, the open fails and says so.
TEST_F(DesktopWorkspaceActivationTest, WithoutItsServiceTheEntrysProgramRunsAndWithoutOneItFails) {
    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(entry)));
    EXPECT_EQ(text(desktop.recorded(QStringLiteral("recorder"))), "--from-exec");

    const QString silent = userApps + QStringLiteral("/org.example.Silent.desktop");
    test::writeFile(silent, "[Desktop Entry]\nType=Application\nName=Silent\nDBusActivatable=true\n");
    desktop.settle();
    const OpenResult result = workspace.open(QUrl::fromLocalFile(silent));
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failure, OpenFailure::serviceMissing);
    EXPECT_EQ(result.detail, QStringLiteral("org.example.Silent"));
}

TEST_F(DesktopWorkspaceActivationTest, AnEntryWhoseServiceRunsIsActivatedOverTheBus) {
    test::FakeApplication application;
    ASSERT_TRUE(application.registerOn(applicationConnection, QStringLiteral("org.example.Recorder")));
    ASSERT_TRUE(workspace.open(QUrl::fromLocalFile(entry)));
    EXPECT_TRUE(test::waitUntil([&] { return !application.calls.isEmpty(); }, 10s));
    EXPECT_EQ(application.calls, QStringList{QStringLiteral("activate")});
    EXPECT_EQ(desktop.recorded(QStringLiteral("recorder"), 500ms), std::nullopt) << "the program ran too";
}

// The process's shared workspace writes the clipboard; the desktop side alone, which needs no window
// system, drops the text.
TEST_F(DesktopWorkspaceTest, TheSharedWorkspaceCopiesPlainTextToTheClipboard) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    workspace.setClipboardText(QStringLiteral("dropped"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    Workspace::shared().setClipboardText(QStringLiteral("= 42 ünïcode"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("= 42 ünïcode"));
}

} // namespace
} // namespace orvex
