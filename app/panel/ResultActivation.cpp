#include "panel/ResultActivation.h"

#include "panel/FileRevealService.h"
#include "panel/PanelHost.h"
#include "panel/SearchController.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"
#include "search/Database.h"
#include "search/LauncherLogic.h"
#include "search/LauncherSettingsStores.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/Ranking.h"
#include "search/SearchRankingSettings.h"
#include "search/ShortcutFilesSource.h"
#include "sources/BrowserTabs.h"
#include "sources/BrowserTabsSource.h"
#include "sources/SystemSettingsLauncher.h"
#include "sources/TranslationCommand.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace orvex {

namespace {

// The address a web-link shortcut file holds, when it is a web address; else
// none.
std::optional<QString> webLinkShortcutAddress(const SearchResult &result) {
    std::optional<QString> address = result.usageKey();
    if (!address)
        address = shortcutUsageKey(result.fullPath());
    return address;
}

// Desktop entries are launched when opened, and executables are programs: a document address may name
// neither.
bool isProgram(const QFileInfo &file) {
    if (file.isExecutable() || file.suffix().compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0)
        return true;
    static const QMimeDatabase mimeDatabase;
    const QMimeType type = mimeDatabase.mimeTypeForFile(file);
    for (const char *program :
         {"application/x-desktop", "application/x-executable", "application/x-sharedlib"})
        if (type.inherits(QLatin1String(program)))
            return true;
    return false;
}

// What came of one try to carry out a row: done, or why not in the user's words.
struct Outcome {
    bool done = false;
    QString failure;

    static Outcome succeeded() { return {true, {}}; }
    static Outcome failed(QString why) { return {false, std::move(why)}; }
};

QString quoted(const QString &text) {
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

// The sentence that tells the user why the workspace did not open the row's item.
QString describeOpenFailure(const OpenResult &result, SearchResultKind kind) {
    switch (result.failure.value_or(OpenFailure::launchFailed)) {
    case OpenFailure::invalidAddress:
        return QStringLiteral("Its address %1 is not one that can be opened.").arg(quoted(result.detail));
    case OpenFailure::itemMissing:
        if (kind == SearchResultKind::app)
            return QStringLiteral("It is no longer installed: %1 was removed.").arg(result.detail);
        return QStringLiteral("%1 no longer exists: it was moved or deleted.").arg(result.detail);
    case OpenFailure::noApplicationForType: {
        if (result.detail == QLatin1String("inode/directory"))
            return QStringLiteral("No application on this system opens folders.");
        static const QMimeDatabase mimeDatabase;
        const QMimeType type = mimeDatabase.mimeTypeForName(result.detail);
        if (!type.isValid())
            return QStringLiteral("No application on this system opens files of its type.");
        return QStringLiteral("No application on this system opens files of the type %1 (%2).")
            .arg(quoted(type.comment()), type.name());
    }
    case OpenFailure::noApplicationForScheme:
        return QStringLiteral("No application on this system opens %1 addresses.")
            .arg(quoted(result.detail + QLatin1Char(':')));
    case OpenFailure::notAnApplication:
        return QStringLiteral("Its desktop entry does not start an application.");
    case OpenFailure::applicationRemoved:
        return QStringLiteral("It was removed: its desktop entry is marked as deleted.");
    case OpenFailure::programMissing:
        return QStringLiteral("Its program %1 is not installed.").arg(quoted(result.detail));
    case OpenFailure::noTerminal:
        return QStringLiteral("It runs in a terminal, and no terminal program is installed.");
    case OpenFailure::serviceMissing:
        return QStringLiteral("Its D-Bus service %1 is neither running nor installed, and it names no "
                              "program to run instead.")
            .arg(quoted(result.detail));
    case OpenFailure::launchFailed:
        break;
    }
    return result.detail.isEmpty()
               ? QStringLiteral("Its program could not be started.")
               : QStringLiteral("Its program could not be started: %1.").arg(result.detail);
}

Outcome outcomeOf(const OpenResult &result, SearchResultKind kind) {
    return result ? Outcome::succeeded() : Outcome::failed(describeOpenFailure(result, kind));
}

// A "file:" address: a folder or document of this machine, handed to the handler of its type. The
// item opened is the one checked, links resolved.
Outcome openLocalDocument(Workspace &workspace, const QUrl &url) {
    if (!url.host().isEmpty() && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return Outcome::failed(QStringLiteral("It is a file on another computer (%1).").arg(url.host()));
    const QString path = url.path(QUrl::FullyDecoded);
    const QString target = QFileInfo(path).canonicalFilePath();
    if (!path.startsWith(QLatin1Char('/')))
        return Outcome::failed(
            QStringLiteral("Its address %1 names no file.").arg(quoted(url.toDisplayString())));
    if (target.isEmpty())
        return Outcome::failed(QStringLiteral("%1 no longer exists: it was moved or deleted.").arg(path));
    const QFileInfo item(target);
    if (!item.isDir() && (!item.isFile() || isProgram(item)))
        return Outcome::failed(QStringLiteral("It points to a program or device (%1), and Orvex Launcher "
                                              "opens only documents and folders from it.")
                                   .arg(target));
    return outcomeOf(workspace.open(QUrl::fromLocalFile(target)), SearchResultKind::file);
}

Outcome openAddress(Workspace &workspace, const std::optional<QString> &address,
                    const QStringList &allowedSchemes) {
    if (!address)
        return Outcome::failed(QStringLiteral("It has no address to open."));
    const QUrl url(*address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return Outcome::failed(QStringLiteral("Its address %1 is not valid.").arg(quoted(*address)));
    const QString scheme = url.scheme().toLower();
    if (!allowedSchemes.contains(scheme))
        return Outcome::failed(QStringLiteral("Orvex Launcher does not open %1 addresses from it.")
                                   .arg(quoted(scheme + QLatin1Char(':'))));
    if (scheme == QLatin1String("file"))
        return openLocalDocument(workspace, url);
    // A network address without a host names nothing to open.
    if (url.host().isEmpty() &&
        QStringList{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp")}.contains(scheme))
        return Outcome::failed(QStringLiteral("Its address %1 names no server.").arg(quoted(*address)));
    return outcomeOf(workspace.open(url), SearchResultKind::action);
}

// Tells the shell that nothing opened the row, and why, so that the user hears of it.
void reportFailure(const SearchResult &result, const QString &why) {
    if (PanelHost *host = PanelHost::current())
        host->activationFailed(result, why);
}

} // namespace

ResultActivation::ResultActivation(SearchController &search, Workspace &workspace,
                                   ResultActivationEnvironment environment)
    : search_(search), workspace_(workspace), environment_(std::move(environment)),
      notificationCenter_(environment_.notificationCenter ? environment_.notificationCenter
                                                          : &NotificationCenter::defaultCenter()) {
    if (!environment_.recordActivation)
        environment_.recordActivation = [](const SearchResult &result) {
            DatabaseManager::shared().recordActivation(result);
        };
    if (!environment_.focusBrowserTab)
        environment_.focusBrowserTab = [](const QString &bundleIdentifier, qint64 windowIndex,
                                          qint64 tabIndex) {
            return orvex::focusBrowserTab(DatabaseManager::shared(), bundleIdentifier, windowIndex, tabIndex);
        };
    if (!environment_.openSystemSettingsLink)
        environment_.openSystemSettingsLink = [](const QString &link) {
            return openSystemSettingsLink(link);
        };
    if (!environment_.reveal)
        environment_.reveal = [](const QUrl &item, Workspace &workspace) {
            FileRevealService::reveal(item, workspace);
        };
}

ResultActivation::~ResultActivation() {
    recorder_.waitForDone();
}

void ResultActivation::hidePanel() {
    hideLauncherPanel(*notificationCenter_);
}

void ResultActivation::record(const SearchResult &result) {
    recorder_.start([record = environment_.recordActivation, result] { record(result); });
}

void ResultActivation::waitForRecordings() {
    recorder_.waitForDone();
}

const QStringList &ResultActivation::webSchemes() {
    static const QStringList schemes = {QStringLiteral("https"), QStringLiteral("http")};
    return schemes;
}

const QStringList &ResultActivation::bookmarkSchemes() {
    static const QStringList schemes = {QStringLiteral("https"), QStringLiteral("http"),
                                        QStringLiteral("ftp"), QStringLiteral("file")};
    return schemes;
}

const QStringList &ResultActivation::notionPageSchemes() {
    static const QStringList schemes = {QStringLiteral("https"), QStringLiteral("http"),
                                        QStringLiteral("notion")};
    return schemes;
}

bool ResultActivation::isWebLinkShortcutFile(const QString &path) {
    static const QStringList suffixes = {QStringLiteral("webloc"), QStringLiteral("url"),
                                         QStringLiteral("gdoc"), QStringLiteral("gsheet"),
                                         QStringLiteral("gslides")};
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

// ---- Activating a row ----

void ResultActivation::activateResult(const SearchResult &result, ResultActivationMode mode) {
    const QString query = search_.query();
    const SearchResults results = search_.results();
    const bool resultsArePreview = search_.state().resultsArePreview;

    if (result.kind() == SearchResultKind::action) {
        cachePromotedSearchResultsAfterActivation(result, query, results, resultsArePreview);
        record(result);
        activateActionResult(result);
        search_.setQuery(QString());
        return;
    }

    const QUrl url = QUrl::fromLocalFile(result.fullPath());
    const bool reveal = mode == ResultActivationMode::revealInFileBrowser &&
                        (result.kind() != SearchResultKind::folder || result.isDirectPathMatch());
    hidePanel();
    search_.setQuery(QString());

    if (reveal) {
        // Revealing neither caches nor records: the item was shown, not used.
        MainQueue::post(
            [revealItem = environment_.reveal, &workspace = workspace_, url] { revealItem(url, workspace); });
        return;
    }
    cachePromotedSearchResultsAfterActivation(result, query, results, resultsArePreview);
    record(result);
    std::optional<QString> webAddress;
    if (result.kind() == SearchResultKind::file && isWebLinkShortcutFile(result.fullPath()))
        webAddress = webLinkShortcutAddress(result);
    MainQueue::post([&workspace = workspace_, url, webAddress, result] {
        // A web-link file has no handler of its own here: it opens the address it
        // holds, and only when that cannot be opened the file itself.
        std::optional<Outcome> addressOutcome;
        if (webAddress) {
            addressOutcome = openAddress(workspace, webAddress, webSchemes());
            if (addressOutcome->done)
                return;
        }
        const Outcome outcome = outcomeOf(workspace.open(url), result.kind());
        // The address is what the user meant; its failure is the one to tell.
        if (!outcome.done)
            reportFailure(result, addressOutcome ? addressOutcome->failure : outcome.failure);
    });
}

void ResultActivation::activateActionResult(const SearchResult &result) {
    const std::optional<SearchResultAction> action = result.action();
    if (!action)
        return;
    switch (*action) {
    case SearchResultAction::openSettings:
        if (PanelHost *host = PanelHost::current())
            host->showSettingsWindow();
        hidePanel();
        return;
    case SearchResultAction::openSystemSettings:
        hidePanel();
        for (const std::optional<QString> &link :
             {result.actionURLString(), result.fallbackActionURLString()})
            if (link && environment_.openSystemSettingsLink(*link))
                return;
        reportFailure(result,
                      QStringLiteral("No settings application on this desktop could open this pane."));
        return;
    case SearchResultAction::focusBrowserTab: {
        hidePanel();
        if (focusBrowserTab(result.fallbackActionURLString()))
            return;
        const Outcome outcome = openAddress(workspace_, result.actionURLString(), webSchemes());
        if (!outcome.done)
            reportFailure(result, outcome.failure);
        return;
    }
    case SearchResultAction::openBrowserFavorite: {
        hidePanel();
        const Outcome outcome = openAddress(workspace_, result.actionURLString(), bookmarkSchemes());
        if (!outcome.done)
            reportFailure(result, outcome.failure);
        return;
    }
    case SearchResultAction::copyToClipboard:
        if (const std::optional<QString> &text = result.actionURLString())
            workspace_.setClipboardText(*text);
        hidePanel();
        return;
    case SearchResultAction::openNotionPage: {
        hidePanel();
        const Outcome outcome = openAddress(workspace_, result.actionURLString(), notionPageSchemes());
        // The page's web address is the one meant; the app link is only tried after it.
        if (!outcome.done &&
            !openAddress(workspace_, result.fallbackActionURLString(), notionPageSchemes()).done)
            reportFailure(result, outcome.failure);
        return;
    }
    }
}

bool ResultActivation::openActionURL(const std::optional<QString> &address,
                                     const QStringList &allowedSchemes) {
    return openAddress(workspace_, address, allowedSchemes).done;
}

bool ResultActivation::focusBrowserTab(const std::optional<QString> &link) {
    if (!link)
        return false;
    const std::optional<BrowserTabFocusTarget> target = BrowserTabs::parseFocusLink(*link);
    if (!target)
        return false;
    // A link may only address the browsers whose tabs the launcher lists.
    const QList<BrowserAutomationTarget> &browsers = BrowserTabs::targets();
    const bool known =
        std::any_of(browsers.cbegin(), browsers.cend(), [&](const BrowserAutomationTarget &browser) {
            return browser.bundleIdentifier == target->bundleIdentifier;
        });
    if (!known)
        return false;
    return environment_.focusBrowserTab(target->bundleIdentifier, target->windowIndex, target->tabIndex);
}

void ResultActivation::cachePromotedSearchResultsAfterActivation(const SearchResult &result,
                                                                 const QString &query,
                                                                 const SearchResults &results,
                                                                 bool resultsArePreview) {
    if (resultsArePreview)
        return;
    const SearchRankingPreferences preferences = search_.rankingSettingsStore().load();
    const QString normalized = normalizedSearchQuery(query);
    if (normalized.isEmpty() || results.isEmpty())
        return;

    UserDefaults &defaults = search_.defaults();
    const TranslationCommandSettingsStore triggerStore(defaults);
    const QString trigger =
        TranslationCommandParser::normalizeTrigger(triggerStore.rawTrigger(), triggerStore.defaultTrigger);
    const QStringList codes = TranslationLanguageSettingsStore(defaults).load();
    // Translation answers depend on more than the query; they are never cached
    // here.
    if (TranslationCommandParser::parse(normalized, trigger, QSet<QString>(codes.cbegin(), codes.cend())))
        return;

    const SearchResults promoted =
        searchResultsPromotingActivatedResult(results, result, normalized, [&](const SearchResult &row) {
            return relevanceScore(row, normalized, preferences);
        });
    search_.incrementalSearchResultCache().store(promoted, normalized);
    search_.persistentQueryCacheStore().storeResults(
        promoted, normalized + QLatin1Char('|') + search_.rankingSettingsStore().load().cacheKey(),
        search_.clock().now());
}

// ---- Modifier modes ----

ResultActivationMode ResultActivation::modeForModifiers(Qt::KeyboardModifiers modifiers) {
    return modifiers.testFlag(Qt::ControlModifier) ? ResultActivationMode::revealInFileBrowser
                                                   : ResultActivationMode::open;
}

ResultActivationMode ResultActivation::activationModeForRow(const SearchResult &result,
                                                            ResultActivationMode heldMode) {
    switch (result.kind()) {
    case SearchResultKind::action:
        return ResultActivationMode::open;
    case SearchResultKind::folder:
        return heldMode == ResultActivationMode::revealInFileBrowser && result.isDirectPathMatch()
                   ? ResultActivationMode::revealInFileBrowser
                   : ResultActivationMode::open;
    case SearchResultKind::file:
    case SearchResultKind::app:
        break;
    }
    return heldMode;
}

ResultActivationMode ResultActivation::currentActivationModeForAction(const SearchResult &result,
                                                                      Qt::KeyboardModifiers modifiers) {
    return activationModeForRow(result, modeForModifiers(modifiers));
}

} // namespace orvex
