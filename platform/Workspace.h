#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace orvex {

// Why an item was not opened.
enum class OpenFailure {
    // Not an address one can open.
    invalidAddress,
    // No such file or folder, or the application's desktop entry was deleted.
    itemMissing,
    // No application handles the item's type (the detail is the MIME type, "inode/directory" for a folder).
    noApplicationForType,
    // No application handles the address's scheme (the detail is the scheme).
    noApplicationForScheme,
    // The desktop entry starts nothing: a link, an entry of another type, one that cannot be read.
    notAnApplication,
    // The desktop entry is marked deleted (Hidden=true).
    applicationRemoved,
    // The program the entry runs is not installed (the detail is the program).
    programMissing,
    // The entry runs in a terminal, and no terminal program is installed.
    noTerminal,
    // The entry is started over D-Bus, names no program, and its service (the detail) is neither running
    // nor installed.
    serviceMissing,
    // The program could not be started (the detail is the system's message).
    launchFailed,
};

// What came of an open: done, or why not. Tests as a Boolean: true when something accepted the item.
struct OpenResult {
    std::optional<OpenFailure> failure;
    // What the failure is about: see OpenFailure.
    QString detail;

    static OpenResult opened() { return {}; }
    static OpenResult failed(OpenFailure failure, QString detail = {}) {
        return {failure, std::move(detail)};
    }
    explicit operator bool() const { return !failure; }
};

// Opens files, folders, applications and addresses with the user's own handlers, reveals items in the
// file browser and writes the clipboard: the desktop's workspace as the launcher sees it. Every open
// answers truthfully whether something accepted the item, so that callers can try a fallback.
// Knows nothing of the launcher; tests pass fakes of their own.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens a file URL (file, folder, or application: an installed desktop entry is launched, not
    // edited) or an address with the default handler of its type or scheme. A failure when nothing can
    // handle it or the launch failed, with the reason.
    virtual OpenResult open(const QUrl &url) = 0;

    // The application (a desktop-entry file URL) that opens folders by default, when one is set.
    virtual std::optional<QUrl> urlForApplicationToOpenFolders() = 0;

    // The desktop's own file viewer, as a desktop-entry file URL: the one that selects items on request.
    virtual QUrl systemFileViewerURL() = 0;

    // Shows the file viewer with exactly these items selected (or, where it cannot, their folders).
    virtual void activateFileViewerSelectingURLs(const QList<QUrl> &urls) = 0;

    // Hands the items to one application (a desktop-entry file URL). False when it could not be launched.
    virtual bool openURLsWithApplication(const QList<QUrl> &urls, const QUrl &applicationURL) = 0;

    // Replaces the clipboard's content with plain text; needs a QGuiApplication in the process.
    virtual void setClipboardText(const QString &text) = 0;

    // The process's workspace on the real desktop (a GuiDesktopWorkspace, of orvex_platform_gui); use it
    // on the GUI thread.
    static Workspace &shared();
};

} // namespace orvex
