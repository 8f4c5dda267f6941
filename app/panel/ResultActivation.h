#pragma once

#include "panel/ResultActivationMode.h"
#include "platform/NotificationCenter.h"
#include "platform/WorkerPool.h"
#include "search/DatabaseTypes.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace orvex {

class SearchController;
class Workspace;

// What activation is built from. Every null member takes the launcher's own value.
struct ResultActivationEnvironment {
    // Tells the search core that a row was used; runs on a worker thread. Null:
    // DatabaseManager::shared().recordActivation.
    std::function<void(const SearchResult &)> recordActivation;
    // Brings a browser's tab to the front. Null: DatabaseManager::shared().focusBrowserTab.
    std::function<bool(const QString &bundleIdentifier, qint64 windowIndex, qint64 tabIndex)> focusBrowserTab;
    // Opens a settings-pane row's link. Null: openSystemSettingsLink.
    std::function<bool(const QString &link)> openSystemSettingsLink;
    // Shows an item in the file browser. Null: FileRevealService::reveal.
    std::function<void(const QUrl &item, Workspace &workspace)> reveal;
    // Null: NotificationCenter::defaultCenter().
    NotificationCenter *notificationCenter = nullptr;
};

// Carries out the user's choice of a row: opens or reveals files, apps and folders, performs action
// rows, hides the panel, clears the query, caches the list with the chosen row promoted and tells the
// search core of the use. GUI thread only; recording runs on a worker, and opening and revealing on a
// later turn of the event loop, after the panel is hidden.
//
// Addresses of action rows come from files and servers the launcher does not control, so each action
// opens only what it can legitimately carry: web rows http and https; bookmarks also ftp and the
// user's own files ("file:", opened with the handler of their type, never run); Notion rows also their
// "notion:" page link; settings-pane rows go through the settings launcher, tab-focus links through
// their own parser and only for the known browsers. Anything else counts as a failed open, so that the
// row's fallback is tried. When the fallbacks fail too, the panel's host hears of it and why
// (PanelHost::activationFailed), so that the failure is never taken for done.
class ResultActivation {
public:
    // The launcher passes Workspace::shared().
    ResultActivation(SearchController &search, Workspace &workspace,
                     ResultActivationEnvironment environment = {});
    // Waits for recordings still running.
    ~ResultActivation();

    ResultActivation(const ResultActivation &) = delete;
    ResultActivation &operator=(const ResultActivation &) = delete;

    // Return (open), Ctrl+Return (reveal) on the selected row, or a click with the mode that
    // currentActivationModeForAction() gives.
    void activateResult(const SearchResult &result, ResultActivationMode mode);
    // Performs an action row's action (no caching, recording or query change).
    void activateActionResult(const SearchResult &result);
    // Opens the address when it is a URL of one of `allowedSchemes` (lowercase) and the workspace
    // reports that something opened it.
    bool openActionURL(const std::optional<QString> &address, const QStringList &allowedSchemes);
    // Brings the tab that a tab-focus link names to the front; false for a malformed link, a browser
    // that is not one of the known ones, or a tab that could not be focused.
    bool focusBrowserTab(const std::optional<QString> &link);
    // Stores the shown list with the activated row promoted in both caches, unless the list is a
    // preview, the query is blank or a translation command.
    void cachePromotedSearchResultsAfterActivation(const SearchResult &result, const QString &query,
                                                   const SearchResults &results, bool resultsArePreview);

    // Waits until every recording started so far has reached the search core.
    void waitForRecordings();

    // Control held reveals, whatever else is held; no other key counts.
    static ResultActivationMode modeForModifiers(Qt::KeyboardModifiers modifiers);
    // What activating the row does while `heldMode` is the modifiers' mode: action rows always open,
    // folders are revealed only when they are direct path matches.
    static ResultActivationMode activationModeForRow(const SearchResult &result,
                                                     ResultActivationMode heldMode);
    // The mode of a click made with these modifiers.
    static ResultActivationMode currentActivationModeForAction(const SearchResult &result,
                                                               Qt::KeyboardModifiers modifiers);

    // Schemes each kind of address may use.
    static const QStringList &webSchemes();
    static const QStringList &notionPageSchemes();
    static const QStringList &bookmarkSchemes();

    // Web-link shortcut files (".webloc", ".url", ".gdoc", ".gsheet", ".gslides"): opening one opens the
    // address it holds.
    static bool isWebLinkShortcutFile(const QString &path);

private:
    void hidePanel();
    void record(const SearchResult &result);

    SearchController &search_;
    Workspace &workspace_;
    ResultActivationEnvironment environment_;
    NotificationCenter *notificationCenter_;
    // One at a time, in the order of the activations.
    WorkerPool recorder_{1};
};

} // namespace orvex
