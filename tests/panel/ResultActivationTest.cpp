// Activating rows: the action table and its fallbacks, the addresses each action may open, tab-focus
// links, opening and revealing files, promotion caching and the modifier modes.
#include "ResultActivationTestSupport.h"

#include "panel/PanelNotifications.h"
#include "panel/ResultActivationModeMonitor.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex::test::panelmodel {
namespace {

const QString edgeTabLink = QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=1&tab=2");

TEST(ResultActivation, EveryActionTriesExactlyTheFallbacksOfItsRowWhenOpensFail) {
    const struct {
        const char *name;
        std::optional<SearchResultAction> action;
        std::optional<QString> address;
        std::optional<QString> fallback;
        QStringList expected;
    } cases[] = {
        {"settings without a shell",
         SearchResultAction::openSettings,
         std::nullopt,
         std::nullopt,
         {QStringLiteral("hidden")}},
        {"settings pane",
         SearchResultAction::openSystemSettings,
         QStringLiteral("x-apple.systempreferences:com.apple.Network-Settings.extension"),
         QStringLiteral("x-apple.systempreferences:com.apple.preference.network"),
         {QStringLiteral("hidden"),
          QStringLiteral("settings-link:x-apple.systempreferences:com.apple.Network-Settings.extension"),
          QStringLiteral("settings-link:x-apple.systempreferences:com.apple.preference.network")}},
        {"browser tab",
         SearchResultAction::focusBrowserTab,
         QStringLiteral("https://example.com/page"),
         edgeTabLink,
         {QStringLiteral("hidden"), QStringLiteral("focus:com.microsoft.edgemac/1/2"),
          QStringLiteral("open:https://example.com/page")}},
        {"bookmark has no fallback",
         SearchResultAction::openBrowserFavorite,
         QStringLiteral("https://example.org/"),
         QStringLiteral("https://fallback.example/"),
         {QStringLiteral("hidden"), QStringLiteral("open:https://example.org/")}},
        {"copy",
         SearchResultAction::copyToClipboard,
         QStringLiteral("42"),
         std::nullopt,
         {QStringLiteral("clipboard:42"), QStringLiteral("hidden")}},
        {"copy without text",
         SearchResultAction::copyToClipboard,
         std::nullopt,
         std::nullopt,
         {QStringLiteral("hidden")}},
        {"notion page",
         SearchResultAction::openNotionPage,
         QStringLiteral("https://www.notion.so/Plan-0123456789abcdef0123456789abcdef"),
         QStringLiteral("notion://page/0123456789abcdef0123456789abcdef"),
         {QStringLiteral("hidden"),
          QStringLiteral("open:https://www.notion.so/Plan-0123456789abcdef0123456789abcdef"),
          QStringLiteral("open:notion://page/0123456789abcdef0123456789abcdef")}},
        {"no action keeps the panel shown",
         std::nullopt,
         QStringLiteral("https://example.net/"),
         std::nullopt,
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        const SearchResult row = actionRow(QStringLiteral("Row"), c.action, c.address, c.fallback);
        a.show(QStringLiteral("row"), {row});

        a.activation->activateResult(row, ResultActivationMode::revealInFileBrowser);
        a.finish();

        EXPECT_EQ(a.log, c.expected);
        EXPECT_EQ(a.recordedNames(), QStringList{QStringLiteral("Row")});
        EXPECT_EQ(a.h.controller->query(), QString());
    }
}

TEST(ResultActivation, AFallbackIsNotTriedOnceTheFirstAddressOpened) {
    ActivationHarness a;
    a.workspace.opensEverything = true;
    a.settingsLinksOpen = true;
    a.tabFocusSucceeds = true;
    const SearchResult rows[] = {
        actionRow(QStringLiteral("Pane"), SearchResultAction::openSystemSettings, QStringLiteral("pane:one"),
                  QStringLiteral("pane:two")),
        actionRow(QStringLiteral("Tab"), SearchResultAction::focusBrowserTab,
                  QStringLiteral("https://tab.example/"), edgeTabLink),
        actionRow(QStringLiteral("Page"), SearchResultAction::openNotionPage,
                  QStringLiteral("https://notion.so/p"), QStringLiteral("notion://page/p")),
    };
    for (const SearchResult &row : rows)
        a.activation->activateActionResult(row);
    EXPECT_EQ(a.log, (QStringList{QStringLiteral("hidden"), QStringLiteral("settings-link:pane:one"),
                                  QStringLiteral("hidden"), QStringLiteral("focus:com.microsoft.edgemac/1/2"),
                                  QStringLiteral("hidden"), QStringLiteral("open:https://notion.so/p")}));
}

TEST(ResultActivation, OpenSettingsGoesThroughTheShellWhenOneIsInstalled) {
    ActivationHarness a;
    RecordingHost host(a.log);
    a.activation->activateActionResult(
        actionRow(QStringLiteral("Settings"), SearchResultAction::openSettings, {}));
    EXPECT_EQ(a.log, (QStringList{QStringLiteral("host-settings"), QStringLiteral("host-hide")}));
}

// Addresses come from bookmark files, servers and caches: only what the action can carry is opened.
TEST(ResultActivation, ActionAddressesOpenOnlyTheSchemesTheirActionMayCarry) {
    const struct {
        const char *address;
        bool web;
        bool notionPage;
    } cases[] = {
        {"https://example.com/a?b=c", true, true},
        {"HTTP://Example.com/", true, true},
        {"notion://page/0123", false, true},
        {"javascript:alert(1)", false, false},
        {"JavaScript:alert(1)", false, false},
        {"file:///etc/passwd", false, false},
        {"data:text/html,<b>hi</b>", false, false},
        {"ftp://files.example/", false, false},
        {"x-unknown://thing", false, false},
        {"browser-tab-focus://com.microsoft.edgemac?window=1&tab=1", false, false},
        {"http:///no-host", false, false},
        {"https://exa mple.com/", false, false},
        {"relative/path", false, false},
        {"", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        ActivationHarness a;
        a.workspace.opensEverything = true;
        EXPECT_EQ(a.activation->openActionURL(QString::fromUtf8(c.address), ResultActivation::webSchemes()),
                  c.web);
        EXPECT_EQ(
            a.activation->openActionURL(QString::fromUtf8(c.address), ResultActivation::notionPageSchemes()),
            c.notionPage);
        EXPECT_EQ(a.log.size(), int(c.web) + int(c.notionPage))
            << "refused addresses never reach the workspace";
    }
    ActivationHarness a;
    a.workspace.opensEverything = true;
    EXPECT_FALSE(a.activation->openActionURL(std::nullopt, ResultActivation::webSchemes()));
}

// A bookmark may be the user's own file or an ftp address: opened with its handler, as the browser would
// show it. Nothing a bookmark names is ever run: programs and desktop entries are refused, and so are
// scripts, inline data and unknown schemes.
TEST(ResultActivation, BookmarksOpenFilesAndFtpWithTheirHandlerAndNeverRunAProgram) {
    const QString folder = homePath() + QStringLiteral("/Bookmarked");
    const QString folderURL = QUrl::fromLocalFile(folder).toString();
    writeFile(folder + QStringLiteral("/notes.txt"), "notes\n");
    writeFile(folder + QStringLiteral("/my plan.txt"), "plan\n");
    writeFile(folder + QStringLiteral("/run.sh"), "#!/bin/sh\ntouch ran\n");
    QFile::setPermissions(folder + QStringLiteral("/run.sh"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(folder + QStringLiteral("/tool.desktop"),
              "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
    // A program's image without its executable bit.
    writeFile(folder + QStringLiteral("/tool"), QByteArray("\x7f"
                                                           "ELF\x02\x01\x01",
                                                           7) +
                                                    QByteArray(57, '\0'));
    QFile::link(folder + QStringLiteral("/notes.txt"), folder + QStringLiteral("/link to notes"));
    QFile::link(folder + QStringLiteral("/run.sh"), folder + QStringLiteral("/link to script"));

    const struct {
        const char *name;
        QString address;
        // What the workspace is asked to open; empty when the bookmark is refused.
        QString opened;
    } cases[] = {
        {"document", folderURL + QStringLiteral("/notes.txt"), folderURL + QStringLiteral("/notes.txt")},
        {"encoded name", folderURL + QStringLiteral("/my%20plan.txt"),
         folderURL + QStringLiteral("/my plan.txt")},
        {"this machine by name", QStringLiteral("file://localhost") + folder + QStringLiteral("/notes.txt"),
         folderURL + QStringLiteral("/notes.txt")},
        {"folder", folderURL, folderURL},
        {"link: what it names", folderURL + QStringLiteral("/link%20to%20notes"),
         folderURL + QStringLiteral("/notes.txt")},
        {"ftp", QStringLiteral("ftp://files.example/pub/list.txt"),
         QStringLiteral("ftp://files.example/pub/list.txt")},
        {"script", folderURL + QStringLiteral("/run.sh"), {}},
        {"link to a script", folderURL + QStringLiteral("/link%20to%20script"), {}},
        {"desktop entry", folderURL + QStringLiteral("/tool.desktop"), {}},
        {"program image", folderURL + QStringLiteral("/tool"), {}},
        {"missing file", folderURL + QStringLiteral("/gone.txt"), {}},
        {"another machine", QStringLiteral("file://server") + folder + QStringLiteral("/notes.txt"), {}},
        {"ftp without a host", QStringLiteral("ftp:///pub/list.txt"), {}},
        {"script address", QStringLiteral("javascript:alert(1)"), {}},
        {"inline data", QStringLiteral("data:text/plain,hello"), {}},
        {"unknown scheme", QStringLiteral("x-unknown://thing"), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        a.workspace.opensEverything = true;
        a.activation->activateActionResult(
            actionRow(QStringLiteral("Bookmark"), SearchResultAction::openBrowserFavorite, c.address));
        QStringList expected{QStringLiteral("hidden")};
        if (!c.opened.isEmpty())
            expected.append(QStringLiteral("open:") + c.opened);
        EXPECT_EQ(a.log, expected);
    }
}

TEST(ResultActivation, ARefusedAddressCountsAsAFailedOpenSoTheFallbackIsTried) {
    ActivationHarness a;
    a.workspace.opensEverything = true;
    a.activation->activateActionResult(actionRow(QStringLiteral("Page"), SearchResultAction::openNotionPage,
                                                 QStringLiteral("file:///home/user/.bashrc"),
                                                 QStringLiteral("notion://page/abc")));
    a.activation->activateActionResult(actionRow(
        QStringLiteral("Tab"), SearchResultAction::focusBrowserTab, QStringLiteral("javascript:alert(1)"),
        QStringLiteral("browser-tab-focus://com.evil.App?window=1&tab=1")));
    a.activation->activateActionResult(actionRow(QStringLiteral("Bookmark"),
                                                 SearchResultAction::openBrowserFavorite,
                                                 QStringLiteral("data:text/html,x")));
    EXPECT_EQ(a.log, (QStringList{QStringLiteral("hidden"), QStringLiteral("open:notion://page/abc"),
                                  QStringLiteral("hidden"), QStringLiteral("hidden")}));
}

// When nothing opens the row, fallbacks included, the shell hears why, in words a user understands.
TEST(ResultActivation, AFailureTellsTheShellWhatHappened) {
    const QString script = homePath() + QStringLiteral("/Failures/run.sh");
    writeFile(script, "#!/bin/sh\ntouch ran\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString entry = QStringLiteral("/usr/share/applications/gone.desktop");
    const struct {
        const char *name;
        SearchResult row;
        // What the workspace answers to every open.
        OpenResult answer;
        QString reason;
    } cases[] = {
        {"an app whose entry was deleted", appRow(QStringLiteral("gone")),
         OpenResult::failed(OpenFailure::itemMissing, entry),
         QStringLiteral("It is no longer installed: %1 was removed.").arg(entry)},
        {"a terminal app without a terminal", appRow(QStringLiteral("console")),
         OpenResult::failed(OpenFailure::noTerminal),
         QStringLiteral("It runs in a terminal, and no terminal program is installed.")},
        {"an app whose program was removed", appRow(QStringLiteral("tool")),
         OpenResult::failed(OpenFailure::programMissing, QStringLiteral("/usr/bin/tool")),
         QStringLiteral("Its program \u201c/usr/bin/tool\u201d is not installed.")},
        {"an app whose service is missing", appRow(QStringLiteral("org.example.Silent")),
         OpenResult::failed(OpenFailure::serviceMissing, QStringLiteral("org.example.Silent")),
         QStringLiteral("Its D-Bus service \u201corg.example.Silent\u201d is neither running nor installed, "
                        "and it names no program to run instead.")},
        {"a document no application opens", fileRow(QStringLiteral("Plan.pdf")),
         OpenResult::failed(OpenFailure::noApplicationForType, QStringLiteral("application/pdf")),
         QStringLiteral("No application on this system opens files of the type \u201cPDF document\u201d "
                        "(application/pdf).")},
        {"a document that is gone", fileRow(QStringLiteral("Plan.pdf")),
         OpenResult::failed(OpenFailure::itemMissing, QStringLiteral("/home/user/Documents/Plan.pdf")),
         QStringLiteral("/home/user/Documents/Plan.pdf no longer exists: it was moved or deleted.")},
        {"a folder without a file manager", folderRow(QStringLiteral("/home/user/Projects"), false),
         OpenResult::failed(OpenFailure::noApplicationForType, QStringLiteral("inode/directory")),
         QStringLiteral("No application on this system opens folders.")},
        {"a program that would not start", appRow(QStringLiteral("broken")),
         OpenResult::failed(OpenFailure::launchFailed, QStringLiteral("Permission denied")),
         QStringLiteral("Its program could not be started: Permission denied.")},
        {"a bookmark to a program",
         actionRow(QStringLiteral("Script"), SearchResultAction::openBrowserFavorite,
                   QUrl::fromLocalFile(script).toString()),
         OpenResult::opened(),
         QStringLiteral("It points to a program or device (%1), and Orvex Launcher opens only documents and "
                        "folders from it.")
             .arg(script)},
        {"a bookmark to a file that is gone",
         actionRow(QStringLiteral("Notes"), SearchResultAction::openBrowserFavorite,
                   QStringLiteral("file:///home/user/gone.txt")),
         OpenResult::opened(),
         QStringLiteral("/home/user/gone.txt no longer exists: it was moved or deleted.")},
        {"a bookmark without a browser",
         actionRow(QStringLiteral("Site"), SearchResultAction::openBrowserFavorite,
                   QStringLiteral("https://example.org/")),
         OpenResult::failed(OpenFailure::noApplicationForScheme, QStringLiteral("https")),
         QStringLiteral("No application on this system opens \u201chttps:\u201d addresses.")},
        {"a bookmark of a refused kind",
         actionRow(QStringLiteral("Script"), SearchResultAction::openBrowserFavorite,
                   QStringLiteral("javascript:alert(1)")),
         OpenResult::opened(),
         QStringLiteral("Orvex Launcher does not open \u201cjavascript:\u201d addresses from it.")},
        {"a tab whose browser is gone, and no browser",
         actionRow(QStringLiteral("Tab"), SearchResultAction::focusBrowserTab,
                   QStringLiteral("https://tab.example/"), edgeTabLink),
         OpenResult::failed(OpenFailure::noApplicationForScheme, QStringLiteral("https")),
         QStringLiteral("No application on this system opens \u201chttps:\u201d addresses.")},
        {"a Notion page: the web address's reason",
         actionRow(QStringLiteral("Plan"), SearchResultAction::openNotionPage,
                   QStringLiteral("https://www.notion.so/Plan-0123"), QStringLiteral("notion://page/0123")),
         OpenResult::failed(OpenFailure::noApplicationForScheme, QStringLiteral("https")),
         QStringLiteral("No application on this system opens \u201chttps:\u201d addresses.")},
        {"a settings pane",
         actionRow(QStringLiteral("Sound"), SearchResultAction::openSystemSettings,
                   QStringLiteral("x-apple.systempreferences:com.apple.Sound-Settings.extension")),
         OpenResult::opened(),
         QStringLiteral("No settings application on this desktop could open this pane.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        RecordingHost host(a.log);
        a.workspace.failure = c.answer;
        a.show(QStringLiteral("x"), {c.row});
        a.activation->activateResult(c.row, ResultActivationMode::open);
        a.finish();
        const QStringList failures = a.log.filter(QRegularExpression(QStringLiteral("^failed:")));
        EXPECT_EQ(failures.join(QLatin1Char('\n')).toStdString(),
                  QStringLiteral("failed:%1: %2").arg(c.row.filename(), c.reason).toStdString());
    }
}

TEST(ResultActivation, TabFocusLinksNameAKnownBrowserAndTwoNumbers) {
    const struct {
        const char *name;
        std::optional<QString> link;
        std::optional<QString> expectedFocus;
    } cases[] = {
        {"edge", edgeTabLink, QStringLiteral("focus:com.microsoft.edgemac/1/2")},
        {"brave keeps its letter case",
         QStringLiteral("browser-tab-focus://com.brave.Browser?window=3&tab=14"),
         QStringLiteral("focus:com.brave.Browser/3/14")},
        {"plus sign", QStringLiteral("browser-tab-focus://com.brave.Browser?tab=+4&window=2"),
         QStringLiteral("focus:com.brave.Browser/2/4")},
        {"repeated name: first wins",
         QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=1&window=9&tab=2"),
         QStringLiteral("focus:com.microsoft.edgemac/1/2")},
        {"unknown browser", QStringLiteral("browser-tab-focus://com.apple.Terminal?window=1&tab=1"),
         std::nullopt},
        {"browser id in other case", QStringLiteral("browser-tab-focus://com.brave.browser?window=1&tab=1"),
         std::nullopt},
        {"other scheme", QStringLiteral("https://com.microsoft.edgemac?window=1&tab=2"), std::nullopt},
        {"scheme in other case", QStringLiteral("Browser-Tab-Focus://com.microsoft.edgemac?window=1&tab=2"),
         std::nullopt},
        {"no host", QStringLiteral("browser-tab-focus://?window=1&tab=2"), std::nullopt},
        {"no tab", QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=1"), std::nullopt},
        {"empty number", QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=&tab=2"),
         std::nullopt},
        {"not a number", QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=one&tab=2"),
         std::nullopt},
        {"overflow",
         QStringLiteral("browser-tab-focus://com.microsoft.edgemac?window=99999999999999999999&tab=2"),
         std::nullopt},
        {"not a link", QStringLiteral("browser tab"), std::nullopt},
        {"absent", std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        a.tabFocusSucceeds = true;
        EXPECT_EQ(a.activation->focusBrowserTab(c.link), c.expectedFocus.has_value());
        EXPECT_EQ(a.log, c.expectedFocus ? QStringList{*c.expectedFocus} : QStringList{});
    }
}

// ---- Files, apps and folders ----

TEST(ResultActivation, OpenOrRevealFollowsTheModeTheKindAndTheDirectPathMatch) {
    const SearchResult file = fileRow(QStringLiteral("Plan.pdf"), QStringLiteral("/home/user/Documents"));
    const SearchResult app = appRow(QStringLiteral("firefox"));
    const SearchResult crawledFolder = folderRow(QStringLiteral("/home/user/Projects"), false);
    const SearchResult typedFolder = folderRow(QStringLiteral("/home/user/Projects"), true);
    const struct {
        const char *name;
        SearchResult row;
        ResultActivationMode mode;
        QString expectedAction;
        bool recorded;
    } cases[] = {
        {"Return on a file opens it", file, ResultActivationMode::open,
         QStringLiteral("open:file:///home/user/Documents/Plan.pdf"), true},
        {"Ctrl+Return on a file reveals it", file, ResultActivationMode::revealInFileBrowser,
         QStringLiteral("reveal:file:///home/user/Documents/Plan.pdf"), false},
        {"Ctrl+Return on an app reveals it", app, ResultActivationMode::revealInFileBrowser,
         QStringLiteral("reveal:file:///usr/share/applications/firefox.desktop"), false},
        {"Ctrl+Return on a crawled folder opens it", crawledFolder, ResultActivationMode::revealInFileBrowser,
         QStringLiteral("open:file:///home/user/Projects"), true},
        {"Ctrl+Return on a typed folder path reveals it", typedFolder,
         ResultActivationMode::revealInFileBrowser, QStringLiteral("reveal:file:///home/user/Projects"),
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        a.show(QStringLiteral("p"), {c.row, fileRow(QStringLiteral("Other"))});
        const SearchResults cachedBefore =
            a.h.controller->incrementalSearchResultCache().entries().value(QStringLiteral("p"));

        a.activation->activateResult(c.row, c.mode);
        // Hidden and cleared at once; the item itself only on the next turn of the event loop.
        EXPECT_EQ(a.log, QStringList{QStringLiteral("hidden")});
        EXPECT_EQ(a.h.controller->query(), QString());
        a.finish();

        EXPECT_EQ(a.log, (QStringList{QStringLiteral("hidden"), c.expectedAction}));
        EXPECT_EQ(a.recordedNames(), c.recorded ? QStringList{c.row.filename()} : QStringList{});
        const SearchResults cachedAfter =
            a.h.controller->incrementalSearchResultCache().entries().value(QStringLiteral("p"));
        if (c.recorded) {
            EXPECT_EQ(cachedAfter.first().filename(), c.row.filename());
            EXPECT_TRUE(cachedAfter.first().isRecentActivation());
        } else {
            EXPECT_EQ(filenames(cachedAfter), filenames(cachedBefore)) << "revealing caches nothing";
            EXPECT_FALSE(
                a.h.store
                    ->cachedSearchResults(QStringLiteral("p|") +
                                              SearchRankingSettingsStore(a.h.defaults).load().cacheKey(),
                                          a.h.clock->now(), true)
                    .has_value());
        }
    }
}

TEST(ResultActivation, AWebLinkShortcutFileOpensTheAddressItHolds) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    writeFile(folder.filePath(QStringLiteral("Wiki.url")),
              "[InternetShortcut]\r\nURL=https://wiki.example/start\r\n");
    const QString fileURL = QUrl::fromLocalFile(folder.filePath(QStringLiteral("Wiki.url"))).toString();
    const auto shortcut = [&](std::optional<QString> usageKey) {
        return SearchResult({.id = 7,
                             .filename = QStringLiteral("Wiki.url"),
                             .directory = folder.path(),
                             .usageKey = std::move(usageKey),
                             .relevanceScore = 100});
    };
    const struct {
        const char *name;
        SearchResult row;
        bool addressOpens;
        QStringList expected;
    } cases[] = {
        {"the address it holds",
         shortcut(QStringLiteral("https://docs.example/d/1")),
         true,
         {QStringLiteral("open:https://docs.example/d/1")}},
        {"read from the file when the row lacks it",
         shortcut(std::nullopt),
         true,
         {QStringLiteral("open:https://wiki.example/start")}},
        {"the file itself when the address cannot be opened",
         shortcut(QStringLiteral("https://docs.example/d/1")),
         false,
         {QStringLiteral("open:https://docs.example/d/1"), QStringLiteral("open:") + fileURL}},
        {"never an address of another scheme",
         shortcut(QStringLiteral("file:///usr/share/applications/x.desktop")),
         true,
         {QStringLiteral("open:") + fileURL}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        a.workspace.opensEverything = c.addressOpens;
        a.show(QStringLiteral("wiki"), {c.row});
        a.activation->activateResult(c.row, ResultActivationMode::open);
        a.finish();
        a.log.removeAll(QStringLiteral("hidden"));
        EXPECT_EQ(a.log, c.expected);
    }
    for (const char *name : {"a.webloc", "b.URL", "c.gdoc", "d.gsheet", "e.gslides"})
        EXPECT_TRUE(ResultActivation::isWebLinkShortcutFile(QStringLiteral("/x/") + QString::fromUtf8(name)))
            << name;
    EXPECT_FALSE(ResultActivation::isWebLinkShortcutFile(QStringLiteral("/x/url")));
    EXPECT_FALSE(ResultActivation::isWebLinkShortcutFile(QStringLiteral("/x/a.urls")));
}

// ---- Promotion caching ----

TEST(ResultActivation, PromotionPutsTheActivatedRowFirstInBothCaches) {
    ActivationHarness a;
    const SearchResult first = fileRow(QStringLiteral("Alpha notes"), QStringLiteral("/d"), 300);
    const SearchResult second = fileRow(QStringLiteral("Beta notes"), QStringLiteral("/d"), 200);
    a.show(QStringLiteral("Notes"), {first, second});

    a.activation->activateResult(second, ResultActivationMode::open);
    a.finish();

    const SearchResults incremental =
        a.h.controller->incrementalSearchResultCache().entries().value(QStringLiteral("notes"));
    ASSERT_EQ(filenames(incremental).value(0), QStringLiteral("Beta notes"));
    EXPECT_EQ(incremental.first().openCount(), 1);
    const auto persistent = a.h.store->cachedSearchResults(
        QStringLiteral("notes|") + SearchRankingSettingsStore(a.h.defaults).load().cacheKey(),
        a.h.clock->now(), false);
    ASSERT_TRUE(persistent);
    EXPECT_EQ(filenames(persistent->results), filenames(incremental));
}

TEST(ResultActivation, NothingIsCachedForAPreviewABlankQueryOrATranslationCommand) {
    const struct {
        const char *name;
        std::function<void(ActivationHarness &, const SearchResult &)> setUp;
    } cases[] = {
        {"rows of the persistent entry under other rules",
         [](ActivationHarness &a, const SearchResult &row) {
             a.h.store->storeResults({row}, QStringLiteral("report|other-rules"), a.h.clock->now());
             a.h.controller->setQuery(QStringLiteral("report"));
         }},
        {"rows kept from an earlier query",
         [](ActivationHarness &a, const SearchResult &row) {
             a.show(QStringLiteral("earlier"), {row});
             a.h.controller->setQuery(QStringLiteral("report"));
         }},
        {"translation command",
         [](ActivationHarness &a, const SearchResult &row) { a.show(QStringLiteral("cc Haus"), {row}); }},
        {"blank query",
         [](ActivationHarness &a, const SearchResult &row) {
             a.h.controller->applySearchResults({row}, false, false);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ActivationHarness a;
        const SearchResult row = fileRow(QStringLiteral("Report.pdf"), QStringLiteral("/d"));
        c.setUp(a, row);
        const QStringList cachedKeys = a.h.controller->incrementalSearchResultCache().insertionOrder();

        a.activation->activateResult(row, ResultActivationMode::open);
        a.finish();

        EXPECT_EQ(a.recordedNames(), QStringList{QStringLiteral("Report.pdf")})
            << "the use is still recorded";
        EXPECT_EQ(a.h.controller->incrementalSearchResultCache().insertionOrder(), cachedKeys);
        for (const QString &query : {QStringLiteral("report"), QStringLiteral("cc haus")})
            EXPECT_FALSE(
                a.h.store
                    ->cachedSearchResults(query + QLatin1Char('|') +
                                              SearchRankingSettingsStore(a.h.defaults).load().cacheKey(),
                                          a.h.clock->now(), false)
                    .has_value())
                << query.toStdString();
    }
}

TEST(ResultActivation, ThePromotedListSurvivesARestart) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString defaultsFile = folder.filePath(QStringLiteral("defaults.plist"));
    const SearchResult first = fileRow(QStringLiteral("Alpha plan"), QStringLiteral("/d"), 300);
    const SearchResult second = fileRow(QStringLiteral("Beta plan"), QStringLiteral("/d"), 200);
    const auto clock = std::make_shared<ManualClock>();
    const auto makeController = [&](UserDefaults &defaults, FakeSearch &search) {
        SearchControllerEnvironment environment;
        environment.defaults = &defaults;
        environment.clock = clock;
        environment.search = search.function();
        environment.debounceTimer = std::make_unique<ManualDebounceTimer>(clock);
        environment.notificationCenter = &NotificationCenter::defaultCenter();
        return std::make_unique<SearchController>(std::move(environment));
    };
    {
        UserDefaults defaults(defaultsFile);
        FakeSearch search;
        search.answer(QStringLiteral("plan"), {first, second});
        auto controller = makeController(defaults, search);
        ResultActivationEnvironment environment;
        ActivationLog log;
        RecordingWorkspace workspace(log);
        environment.recordActivation = [](const SearchResult &) {};
        ResultActivation activation(*controller, workspace, std::move(environment));
        controller->setQuery(QStringLiteral("plan"));
        controller->refreshResultsAfterBackgroundCacheRefresh();
        ASSERT_TRUE(waitUntil([&] { return controller->results().size() == 2; }));

        activation.activateResult(second, ResultActivationMode::open);
        QCoreApplication::sendPostedEvents();
        ASSERT_TRUE(defaults.flush());
    }
    // A new process: new defaults over the same file, a new store, a new panel.
    UserDefaults defaults(defaultsFile);
    FakeSearch search;
    auto controller = makeController(defaults, search);
    controller->setQuery(QStringLiteral("Plan"));
    EXPECT_EQ(filenames(controller->results()),
              (QStringList{QStringLiteral("Beta plan"), QStringLiteral("Alpha plan")}));
    EXPECT_FALSE(controller->state().resultsArePreview);
}

// ---- Modifier modes ----

TEST(ResultActivation, ControlHeldRevealsWhereTheRowAllowsIt) {
    const SearchResult file = fileRow(QStringLiteral("f"));
    const SearchResult app = appRow(QStringLiteral("a"));
    const SearchResult action = actionRow(QStringLiteral("x"), SearchResultAction::openBrowserFavorite, {});
    const SearchResult crawledFolder = folderRow(QStringLiteral("/p/q"), false);
    const SearchResult typedFolder = folderRow(QStringLiteral("/p/q"), true);
    constexpr auto open = ResultActivationMode::open;
    constexpr auto reveal = ResultActivationMode::revealInFileBrowser;
    const struct {
        const SearchResult &row;
        Qt::KeyboardModifiers modifiers;
        ResultActivationMode expected;
    } cases[] = {
        {file, Qt::NoModifier, open},
        {file, Qt::ControlModifier, reveal},
        {file, Qt::ControlModifier | Qt::ShiftModifier, reveal},
        {file, Qt::MetaModifier, open},
        {file, Qt::AltModifier, open},
        {app, Qt::ControlModifier, reveal},
        {action, Qt::ControlModifier, open},
        {crawledFolder, Qt::ControlModifier, open},
        {typedFolder, Qt::ControlModifier, reveal},
        {typedFolder, Qt::NoModifier, open},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.row.filename().toStdString() + " " + std::to_string(c.modifiers.toInt()));
        EXPECT_EQ(ResultActivation::currentActivationModeForAction(c.row, c.modifiers), c.expected);
    }
}

TEST(ResultActivation, TheModifierMonitorFollowsTheControlKeyWhileInstalled) {
    NotificationCenter center;
    ResultActivationModeMonitor monitor(center);
    QObject target;
    const auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(type, key, modifiers);
        QCoreApplication::sendEvent(&target, &event);
    };
    send(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::open) << "not installed yet";

    monitor.install();
    // X11 reports the state before the key: Control's own press lacks Control, its release has it.
    send(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::revealInFileBrowser);
    send(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::revealInFileBrowser);
    send(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::open);
    send(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::open);

    monitor.remove();
    send(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::open);
}

// The hot key's grab takes the Control release for itself: the panel gets no key event for it and
// must read the keyboard again to stop showing the reveal hint.
TEST(ResultActivation, TheModifierMonitorReadsTheKeyboardAgainUntilAHeldControlIsUp) {
    NotificationCenter center;
    Qt::KeyboardModifiers held = Qt::ControlModifier;
    ResultActivationModeMonitor monitor(center, nullptr, [&] { return held; });
    EXPECT_FALSE(monitor.isWatchingHeldKey()) << "not before the panel shows";

    monitor.install();
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::revealInFileBrowser);
    EXPECT_TRUE(monitor.isWatchingHeldKey());
    held = Qt::NoModifier;
    EXPECT_TRUE(waitUntil([&] { return monitor.activeModifierMode() == ResultActivationMode::open; }))
        << "a release that came as no event";
    EXPECT_FALSE(monitor.isWatchingHeldKey()) << "nothing more to wait for";

    // Held again when the panel shows once more; hiding it ends the watch, the mode stays as read.
    held = Qt::ControlModifier | Qt::ShiftModifier;
    center.post(NotificationName::launcherWindowAppeared);
    ASSERT_TRUE(waitUntil([&] { return monitor.isWatchingHeldKey(); }));
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::revealInFileBrowser);
    center.post(NotificationName::launcherWindowHidden);
    ASSERT_TRUE(waitUntil([&] { return !monitor.isWatchingHeldKey(); }));
    held = Qt::NoModifier;
    QTest::qWait(3 * int(ResultActivationModeMonitor::heldKeyInterval.count()));
    EXPECT_EQ(monitor.activeModifierMode(), ResultActivationMode::revealInFileBrowser);

    center.post(NotificationName::launcherWindowAppeared);
    ASSERT_TRUE(waitUntil([&] { return monitor.activeModifierMode() == ResultActivationMode::open; }));
    held = Qt::ControlModifier;
    monitor.refresh();
    monitor.remove();
    EXPECT_FALSE(monitor.isWatchingHeldKey()) << "removed with the panel";
}

} // namespace
} // namespace orvex::test::panelmodel
