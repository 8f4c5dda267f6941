#pragma once

#include "platform/Workspace.h"

#include <QByteArrayList>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

namespace orvex {

// The workspace of a Linux desktop: GIO resolves the user's default handlers (the XDG MIME database and
// mimeapps.list) and launches desktop entries without a shell; the file viewer is asked over D-Bus
// (org.freedesktop.FileManager1) to show items. Programs start as from the desktop's menu: with the
// environment the process was started with and in the home folder (unless their entry names a Path).
// Use it on the GUI thread. It needs no window system: its clipboard text is dropped with a line on
// stdout (GuiDesktopWorkspace writes the clipboard).
class DesktopWorkspace : public Workspace {
public:
    // `bus` is where the file viewer is asked (the session bus, connected on first use, when none is
    // given); `fileViewerCandidates` are desktop-entry ids tried in
    // order when no installed file viewer says it answers FileManager1; `revealTimeout` bounds the wait
    // for it (it may have to start first) before the parent folder is opened instead;
    // `launchEnvironment` ("NAME=value" entries) is what started programs get, StartupEnvironment's
    // when none is given.
    explicit DesktopWorkspace(std::optional<QDBusConnection> bus = std::nullopt,
                              QStringList fileViewerCandidates = defaultFileViewerCandidates(),
                              std::chrono::milliseconds revealTimeout = std::chrono::seconds(10),
                              std::optional<QByteArrayList> launchEnvironment = std::nullopt);
    ~DesktopWorkspace() override;

    // Desktop entries (".desktop" files) are launched as applications when they live in an applications
    // folder of the XDG data folders or are marked executable by their owner; any other entry is opened
    // as a document, like every other file: an entry downloaded from elsewhere never runs by being opened.
    // An entry started over D-Bus (DBusActivatable) whose service is neither running nor installed runs
    // its Exec instead, as GIO's own launcher does.
    OpenResult open(const QUrl &url) override;
    std::optional<QUrl> urlForApplicationToOpenFolders() override;
    // The installed desktop entry whose program the session bus starts for org.freedesktop.FileManager1,
    // else the first installed one of the candidates; empty when there is none.
    QUrl systemFileViewerURL() override;
    // Asks FileManager1 to show the items; when it cannot (no such service, an error, no answer in time),
    // opens the items' parent folders with the default folder handler.
    void activateFileViewerSelectingURLs(const QList<QUrl> &urls) override;
    bool openURLsWithApplication(const QList<QUrl> &urls, const QUrl &applicationURL) override;
    // No clipboard without a window system: the text is dropped, with a line on stdout.
    void setClipboardText(const QString &text) override;

    // The file managers of the common desktops, by desktop-entry id.
    static QStringList defaultFileViewerCandidates();

private:
    QByteArrayList launchEnvironment() const;

    std::optional<QDBusConnection> bus_;
    QStringList fileViewerCandidates_;
    std::chrono::milliseconds revealTimeout_;
    std::optional<QByteArrayList> launchEnvironment_;
    // Owns the pending reveal calls, so that none calls back into a destroyed workspace.
    std::unique_ptr<QObject> pendingCalls_;
};

} // namespace orvex
