#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace orvex {

// Opens files, folders, applications and addresses with the user's own handlers, reveals items in the
// file browser and writes the clipboard: the desktop's workspace as the launcher sees it. Every open
// answers truthfully whether something accepted the item, so that callers can try a fallback.
// Knows nothing of the launcher; tests pass fakes of their own.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens a file URL (file, folder, or application: an installed desktop entry is launched, not
    // edited) or an address with the default handler of its type or scheme. False when nothing can
    // handle it or the launch failed.
    virtual bool open(const QUrl &url) = 0;

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
