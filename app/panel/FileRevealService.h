#pragma once

#include "platform/Workspace.h"

#include <QUrl>

#include <optional>

namespace orvex {

// How an item is shown in the user's file browser: handed to the application the user chose for
// folders, or selected by the desktop's own file viewer.
struct FileRevealAction {
    enum class Kind { openWithFileBrowser, activateSystemFileViewer };

    static FileRevealAction openWithFileBrowser(QUrl applicationURL) {
        return {Kind::openWithFileBrowser, std::move(applicationURL)};
    }
    static FileRevealAction activateSystemFileViewer() { return {Kind::activateSystemFileViewer, {}}; }

    Kind kind = Kind::activateSystemFileViewer;
    // The application to hand the item to; empty for the system file viewer.
    QUrl applicationURL;

    bool operator==(const FileRevealAction &other) const {
        return kind == other.kind &&
               (kind != Kind::openWithFileBrowser || applicationURL == other.applicationURL);
    }
};

// Shows a file or folder in the user's file browser, preferring the user's own default folder
// application over the system file viewer. Runs on the GUI thread; reports nothing.
namespace FileRevealService {

// Reveals `item` (a file URL) through `workspace`.
void reveal(const QUrl &item, Workspace &workspace);

// The system file viewer when no folder handler is set or the handler is the viewer itself (compared
// after resolving ".", ".." and symbolic links); otherwise the handler, in the form it was given.
FileRevealAction resolvedFileRevealAction(const std::optional<QUrl> &defaultFolderHandlerURL,
                                          const QUrl &finderURL);

} // namespace FileRevealService

} // namespace orvex
