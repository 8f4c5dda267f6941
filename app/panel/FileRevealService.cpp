#include "FileRevealService.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace orvex {
namespace {

// The path with "." and ".." removed and every symbolic link of its longest existing ancestor resolved,
// so that two spellings of one desktop entry compare equal even when the entry itself is missing.
QString resolvedPath(const QString &path) {
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList missingTail;
    while (!existing.isEmpty() && !QFileInfo::exists(existing)) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            break;
        missingTail.prepend(existing.mid(slash + 1));
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
    }
    QString resolved = QFileInfo(existing).canonicalFilePath();
    if (resolved.isEmpty())
        resolved = existing;
    for (const QString &part : missingTail)
        resolved = QDir::cleanPath(resolved + QLatin1Char('/') + part);
    return resolved;
}

// Local files compare by resolved path; other URLs by their normalised form.
QString comparableForm(const QUrl &url) {
    if (url.isLocalFile())
        return resolvedPath(url.toLocalFile());
    return url.adjusted(QUrl::NormalizePathSegments | QUrl::StripTrailingSlash).toString();
}

} // namespace

FileRevealAction
FileRevealService::resolvedFileRevealAction(const std::optional<QUrl> &defaultFolderHandlerURL,
                                            const QUrl &finderURL) {
    if (!defaultFolderHandlerURL || defaultFolderHandlerURL->isEmpty())
        return FileRevealAction::activateSystemFileViewer();
    if (!finderURL.isEmpty() && comparableForm(*defaultFolderHandlerURL) == comparableForm(finderURL))
        return FileRevealAction::activateSystemFileViewer();
    return FileRevealAction::openWithFileBrowser(*defaultFolderHandlerURL);
}

void FileRevealService::reveal(const QUrl &item, Workspace &workspace) {
    const FileRevealAction action =
        resolvedFileRevealAction(workspace.urlForApplicationToOpenFolders(), workspace.systemFileViewerURL());
    if (action.kind == FileRevealAction::Kind::activateSystemFileViewer)
        workspace.activateFileViewerSelectingURLs({item});
    else
        workspace.openURLsWithApplication({item}, action.applicationURL);
}

} // namespace orvex
