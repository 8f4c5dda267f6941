#include "panel/ContentView.h"

#include "ContentViewTestSupport.h"
#include "PanelPaintTestSupport.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/PanelHost.h"
#include "panel/PanelNotifications.h"
#include "panel/ResultActivationModeMonitor.h"
#include "panel/ResultListView.h"
#include "panel/ResultRowView.h"
#include "panel/SearchTextField.h"
#include "panel/SessionState.h"
#include "panel/SpokenNotice.h"
#include "platform/UserDefaults.h"
#include "search/LauncherNotifications.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::PanelHarness;
using test::waitUntil;

std::optional<bool> lastHasResults(const PanelHarness &panel) {
    for (auto it = panel.notifications.crbegin(); it != panel.notifications.crend(); ++it)
        if (it->name == NotificationName::launcherResultsVisibilityChanged)
            return notificationFlag(*it, NotificationUserInfoKey::hasResults);
    return std::nullopt;
}

int postsOf(const PanelHarness &panel, QLatin1StringView name) {
    return int(std::count_if(panel.notifications.begin(), panel.notifications.end(),
                             [&](const Notification &n) { return n.name == name; }));
}

TEST(ContentView, TypingShowsRowsAndAnnouncesThem) {
    PanelHarness panel;
    EXPECT_EQ(panel.view->searchField()->placeholderText(), QStringLiteral("Search..."));
    EXPECT_EQ(lastHasResults(panel), false);
    EXPECT_FALSE(panel.view->resultList()->isVisible());

    panel.type("quarterly");
    EXPECT_TRUE(panel.shownNames().contains("Quarterly report.pdf"))
        << panel.shownNames().join(", ").toStdString();
    EXPECT_TRUE(panel.shownNames().contains("Quarterly plan.txt"));
    EXPECT_EQ(panel.view->controller().query(), QStringLiteral("quarterly"));
    EXPECT_TRUE(panel.view->resultList()->isVisible());
    EXPECT_EQ(panel.view->resultList()->model()->rowCount(), panel.shownNames().size());
    EXPECT_EQ(lastHasResults(panel), true);
    const int announcements = postsOf(panel, NotificationName::launcherResultsVisibilityChanged);

    // A different number of rows is no change of visibility.
    panel.type(" r");
    EXPECT_FALSE(panel.shownNames().isEmpty());
    EXPECT_EQ(postsOf(panel, NotificationName::launcherResultsVisibilityChanged), announcements);

    panel.replaceQuery("zzzz-nothing");
    EXPECT_TRUE(panel.shownNames().isEmpty());
    EXPECT_EQ(lastHasResults(panel), false);
    EXPECT_FALSE(panel.view->resultList()->isVisible());
}

TEST(ContentView, ArrowsMoveWithinTheListWithoutWrapping) {
    PanelHarness panel;
    // Nothing to move through and no history: both keys do nothing.
    panel.key(Qt::Key_Down);
    panel.key(Qt::Key_Up);
    EXPECT_EQ(panel.view->controller().query(), QString());

    panel.type("quar");
    const qsizetype count = panel.shownNames().size();
    ASSERT_GE(count, 3);
    EXPECT_EQ(panel.view->controller().selectedIndex(), 0);
    for (int i = 0; i < count + 3; ++i)
        panel.key(Qt::Key_Down);
    EXPECT_EQ(panel.view->controller().selectedIndex(), count - 1);
    for (qsizetype i = 0; i < count - 1; ++i)
        panel.key(Qt::Key_Up);
    EXPECT_EQ(panel.view->controller().selectedIndex(), 0);
    // Row 0 with an empty history stays row 0.
    panel.key(Qt::Key_Up);
    EXPECT_EQ(panel.view->controller().selectedIndex(), 0);
    EXPECT_EQ(panel.view->controller().query(), QStringLiteral("quar"));
    // The field's own caret keys did not move the text cursor either.
    EXPECT_EQ(panel.view->searchField()->cursorPosition(), 4);
}

TEST(ContentView, UpOnTheFirstRowRestoresThePreviousQuery) {
    PanelHarness panel;
    panel.type("quarterly");
    panel.post(QString(NotificationName::launcherWindowHidden));
    panel.view->show();
    panel.replaceQuery("quartz");
    ASSERT_FALSE(panel.shownNames().isEmpty());
    panel.key(Qt::Key_Up);
    EXPECT_EQ(panel.view->searchField()->text(), QStringLiteral("quarterly"));
    EXPECT_TRUE(panel.settle());
    EXPECT_TRUE(panel.shownNames().contains("Quarterly report.pdf"));
    // Down never steps forward through the history.
    panel.key(Qt::Key_Down);
    EXPECT_EQ(panel.view->searchField()->text(), QStringLiteral("quarterly"));
}

TEST(ContentView, CtrlVMergesTheClipboardIntoTheQuery) {
    struct Case {
        const char *name;
        QString query;
        QString clipboard;
        QString expected;
    } cases[] = {
        {"blank clipboard changes nothing", "quar", " \n\t ", "quar"},
        {"empty query takes the text", "", "  report \n", "report"},
        {"words are separated", "quar", "terly", "quar terly"},
        {"a trailing space is kept as the separator", "quar ", "plan", "quar plan"},
    };
    PanelHarness panel;
    for (const auto &c : cases) {
        panel.view->controller().setQuery(c.query);
        EXPECT_TRUE(panel.settle());
        QGuiApplication::clipboard()->setText(c.clipboard);
        panel.key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(panel.view->controller().query(), c.expected) << c.name;
        EXPECT_EQ(panel.view->searchField()->text(), c.expected) << c.name;
    }
}

// A paste gives no longer a query than typing can, however often it is repeated, and what the history
// keeps of it is that query.
TEST(ContentView, APasteIsBoundedLikeTypedTextAndSoIsItsHistory) {
    PanelHarness panel;
    const qsizetype limit = SearchState::maxQueryLength;
    EXPECT_EQ(panel.view->searchField()->maxLength(), limit);
    const struct {
        const char *name;
        QString clipboard;
        qsizetype expectedLength;
    } cases[] = {
        {"long text", QString(100000, QLatin1Char('x')), limit},
        // Surrogate pairs: the limit falls inside the last one, which is left out whole.
        {"never half a character", QString::fromUtf8("\U0001F600").repeated(20000), limit - 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        panel.view->controller().setQuery(QString());
        QGuiApplication::clipboard()->setText(c.clipboard);
        panel.key(Qt::Key_V, Qt::ControlModifier);
        const QString first = panel.view->controller().query();
        EXPECT_EQ(first.size(), c.expectedLength);
        // Pasting again fills what is left (a separator at most) and no more.
        for (int paste = 0; paste < 3; ++paste)
            panel.key(Qt::Key_V, Qt::ControlModifier);
        const QString query = panel.view->controller().query();
        EXPECT_LE(query.size(), limit);
        EXPECT_TRUE(query.startsWith(first));
        EXPECT_FALSE(query.back().isHighSurrogate());
        EXPECT_EQ(panel.view->searchField()->text(), query);

        panel.post(QString(NotificationName::launcherWindowHidden));
        const std::optional<PlistValue::Array> stored =
            panel.view->controller().defaults().arrayValue(SessionState::historyQueriesKey);
        ASSERT_TRUE(stored && !stored->isEmpty());
        EXPECT_EQ(stored->constLast().toString(), query);
    }
}

// Hiding keeps the panel as it is for the next showing; closing it for good stops what it started: the
// application-wide watch of the modifier keys and both searches.
TEST(ContentView, ClosingThePanelStopsFollowingTheKeysAndCancelsItsSearches) {
    PanelHarness panel;
    panel.type("quar");
    EXPECT_TRUE(panel.view->modifierMonitor().isInstalled());
    panel.post(QString(NotificationName::launcherWindowHidden));
    EXPECT_TRUE(panel.view->modifierMonitor().isInstalled()) << "hidden is not gone";

    // A keystroke whose search waits for its pause, and a re-run after late data.
    panel.view->controller().setQuery(QStringLiteral("quarterly"));
    panel.post(QString(NotificationName::launcherSearchDataRefreshed));
    ASSERT_TRUE(panel.view->controller().state().resultsArePreview);
    panel.view->close();
    ASSERT_TRUE(waitUntil([&] { return !panel.view->modifierMonitor().isInstalled(); }));
    QTest::qWait(300);
    ASSERT_TRUE(waitUntil([&] { return panel.view->controller().searchesInFlight() == 0; }));
    EXPECT_TRUE(panel.view->controller().state().resultsArePreview) << "no answer came in after closing";

    // Shown again, it appears afresh.
    panel.view->show();
    EXPECT_TRUE(waitUntil([&] { return panel.view->modifierMonitor().isInstalled(); }));
}

TEST(ContentView, ReturnActivatesTheSelectedRowInTheHeldMode) {
    PanelHarness panel;
    // No rows: nothing to activate.
    panel.key(Qt::Key_Return);
    EXPECT_TRUE(panel.activations.isEmpty());

    panel.type("quarterly");
    ASSERT_GE(panel.shownNames().size(), 2);
    panel.key(Qt::Key_Down);
    const SearchResult second = panel.view->controller().results().at(1);
    panel.key(Qt::Key_Return);
    panel.key(Qt::Key_Enter, Qt::KeypadModifier);
    panel.key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(panel.activations.size(), 3);
    EXPECT_EQ(panel.activations[0].first.fullPath(), second.fullPath());
    EXPECT_EQ(panel.activations[0].second, ResultActivationMode::open);
    EXPECT_EQ(panel.activations[1].second, ResultActivationMode::open);
    EXPECT_EQ(panel.activations[2].second, ResultActivationMode::revealInFileBrowser);
    // Other modifiers are not the panel's keys.
    panel.key(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(panel.activations.size(), 3);
}

TEST(ContentView, EscapeHidesThePanelAndCtrlQQuits) {
    PanelHarness panel;
    panel.key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(panel.quits, 1);
    EXPECT_EQ(panel.view->searchField()->text(), QString());
    panel.key(Qt::Key_Escape);
    EXPECT_FALSE(panel.view->isVisible());
    EXPECT_EQ(postsOf(panel, NotificationName::launcherWindowHidden), 1);
}

// Keys a keyboard user reaches the field's menu and the settings with: the Menu key and Shift+F10 ask
// for the field's context menu at the caret, Ctrl+Comma shows the settings, as the status menu says.
TEST(ContentView, MenuKeysOpenTheFieldsMenuAndCtrlCommaShowsTheSettings) {
    struct Host final : PanelHost {
        Host() { PanelHost::setCurrent(this); }
        ~Host() override { PanelHost::setCurrent(nullptr); }
        void hideWindow() override {}
        void showSettingsWindow() override { ++settings; }
        int settings = 0;
    };
    const struct {
        const char *keys;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int menus;
        int settings;
        const char *typed;
    } cases[] = {
        {"Menu", Qt::Key_Menu, Qt::NoModifier, 1, 0, ""},
        {"Shift+F10", Qt::Key_F10, Qt::ShiftModifier, 1, 0, ""},
        {"F10 alone", Qt::Key_F10, Qt::NoModifier, 0, 0, ""},
        {"Ctrl+Comma", Qt::Key_Comma, Qt::ControlModifier, 0, 1, ""},
        {"Comma alone types", Qt::Key_Comma, Qt::NoModifier, 0, 0, ","},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        PanelHarness panel;
        Host host;
        SearchTextField *field = panel.view->searchField();
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        QList<QPoint> menus;
        QObject::connect(field, &QWidget::customContextMenuRequested,
                         [&](const QPoint &position) { menus.append(position); });
        panel.type("ab");
        field->setCursorPosition(1);

        QTest::keyClick(field, c.key, c.modifiers);
        EXPECT_EQ(menus.size(), c.menus);
        if (!menus.isEmpty()) {
            EXPECT_EQ(field->cursorPositionAt(menus.constFirst()), 1) << "at the caret";
        }
        EXPECT_EQ(host.settings, c.settings);
        EXPECT_EQ(field->text(), QStringLiteral("a") + QLatin1String(c.typed) + QStringLiteral("b"));
    }
}

TEST(ContentView, ClicksActivateAndHoverFollowsThePointer) {
    PanelHarness panel;
    panel.type("quar");
    ASSERT_GE(panel.shownNames().size(), 3);
    panel.settleScreen();
    ResultListView *list = panel.view->resultList();
    const QPoint first = list->rowRect(0).center();
    const QPoint second = list->rowRect(1).center();

    QTest::mouseMove(list->viewport(), first);
    ASSERT_TRUE(waitUntil([&] { return panel.view->controller().hoveredResultIdentity().has_value(); }));
    EXPECT_EQ(panel.view->controller().hoveredResultIdentity(),
              panelRowIdentity(panel.view->controller().results().at(0)));
    QTest::mouseMove(list->viewport(), second);
    ASSERT_TRUE(waitUntil([&] {
        return panel.view->controller().hoveredResultIdentity() ==
               panelRowIdentity(panel.view->controller().results().at(1));
    }));
    // The gap between rows is no row.
    QTest::mouseMove(list->viewport(), QPoint(first.x(), list->rowRect(1).top() - 2));
    ASSERT_TRUE(waitUntil([&] { return !panel.view->controller().hoveredResultIdentity().has_value(); }));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, second);
    ASSERT_EQ(panel.activations.size(), 1);
    EXPECT_EQ(panel.activations[0].first.fullPath(), panel.view->controller().results().at(1).fullPath());
    EXPECT_EQ(panel.activations[0].second, ResultActivationMode::open);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(first.x(), list->rowRect(1).top() - 2));
    EXPECT_EQ(panel.activations.size(), 1);
}

TEST(ContentView, EachRowShowsWhatControlWouldDoToIt) {
    PanelHarness panel;
    panel.type("quar");
    ASSERT_FALSE(panel.shownNames().isEmpty());
    const auto shownModes = [&] {
        QList<ResultActivationMode> modes;
        const ResultListModel &model = panel.view->resultList()->resultModel();
        for (int i = 0; i < model.rowCount(); ++i)
            modes << model.rowView(i).activationMode;
        return modes;
    };
    for (const ResultActivationMode mode : shownModes())
        EXPECT_EQ(mode, ResultActivationMode::open);
    QTest::keyPress(panel.view->searchField(), Qt::Key_Control, Qt::ControlModifier);
    const SearchResults rows = panel.view->controller().results();
    const QList<ResultActivationMode> held = shownModes();
    for (qsizetype i = 0; i < rows.size(); ++i)
        EXPECT_EQ(held[i],
                  ResultActivation::activationModeForRow(rows[i], ResultActivationMode::revealInFileBrowser))
            << rows[i].filename().toStdString();
    EXPECT_TRUE(held.contains(ResultActivationMode::revealInFileBrowser));
    // The selected row says so in place of its location.
    EXPECT_EQ(panel.view->resultList()->resultModel().rowView(0).subtitleText(),
              rows[0].kind() == SearchResultKind::file ? QStringLiteral("Reveal in File Browser")
                                                       : rows[0].directory());
    QTest::keyRelease(panel.view->searchField(), Qt::Key_Control, Qt::NoModifier);
    for (const ResultActivationMode mode : shownModes())
        EXPECT_EQ(mode, ResultActivationMode::open);
}

TEST(ContentView, ReturnOpensThroughTheWorkspaceHidesAndClears) {
    PanelHarness panel(nullptr, /*recordActivations=*/false);
    panel.workspace.opensEverything = true;
    panel.type("quarterly plan");
    ASSERT_FALSE(panel.shownNames().isEmpty());
    const SearchResult first = panel.view->controller().results().at(0);
    panel.key(Qt::Key_Return);
    EXPECT_FALSE(panel.view->isVisible());
    EXPECT_EQ(panel.view->controller().query(), QString());
    EXPECT_EQ(panel.view->searchField()->text(), QString());
    ASSERT_TRUE(waitUntil([&] { return !panel.workspace.openedURLs.isEmpty(); }));
    EXPECT_EQ(panel.workspace.openedURLs.first(), QUrl::fromLocalFile(first.fullPath()));
    EXPECT_TRUE(waitUntil([&] { return panel.recorded == 1; }));
}

TEST(ContentView, NotificationsReloadTheDisplaySettings) {
    PanelHarness panel;
    EXPECT_EQ(panel.view->launcherThemeID(), LauncherThemeID::graphite);
    EXPECT_FALSE(panel.view->showSnippets());
    EXPECT_FALSE(panel.view->useNativeAppIcons());
    EXPECT_TRUE(panel.view->showVersionNumber());
    EXPECT_TRUE(panel.view->showSearchScores());

    UserDefaults &defaults = *panel.index.defaults;
    struct Case {
        QLatin1StringView notification;
        QString key;
        PlistValue value;
        std::function<bool(const ContentView &)> check;
    } cases[] = {
        {NotificationName::launcherShowSnippetsChanged, "showSnippets", PlistValue(true),
         [](const ContentView &v) { return v.showSnippets(); }},
        {NotificationName::launcherThemeChanged, "launcherThemeID", PlistValue(QStringLiteral("forest")),
         [](const ContentView &v) { return v.launcherThemeID() == LauncherThemeID::forest; }},
        {NotificationName::launcherThemeChanged, "launcherThemeID", PlistValue(QStringLiteral("Forest")),
         [](const ContentView &v) { return v.launcherThemeID() == LauncherThemeID::graphite; }},
        {NotificationName::launcherIconSettingsChanged, "launcherUseNativeAppIcons", PlistValue(true),
         [](const ContentView &v) { return v.useNativeAppIcons(); }},
        {NotificationName::launcherVersionVisibilityChanged, "launcherShowVersionNumber", PlistValue(false),
         [](const ContentView &v) { return !v.showVersionNumber(); }},
        {NotificationName::launcherScoreVisibilityChanged, "launcherShowSearchScores", PlistValue(false),
         [](const ContentView &v) { return !v.showSearchScores(); }},
    };
    for (const auto &c : cases) {
        defaults.set(c.key, c.value);
        EXPECT_FALSE(c.check(*panel.view) && c.key != "launcherThemeID") << c.key.toStdString();
        panel.post(QString(c.notification));
        EXPECT_TRUE(c.check(*panel.view)) << c.key.toStdString();
    }
    // The list draws with what was reloaded.
    EXPECT_TRUE(panel.view->resultList()->resultModel().display().showSnippets);
    EXPECT_FALSE(panel.view->resultList()->resultModel().display().showScore);
}

TEST(ContentView, TheFieldTakesFocusWhenThePanelAppears) {
    PanelHarness panel;
    EXPECT_TRUE(panel.view->searchField()->hasFocus());
    panel.view->searchField()->clearFocus();
    EXPECT_FALSE(panel.view->searchField()->hasFocus());
    panel.post(QString(NotificationName::launcherWindowAppeared));
    EXPECT_TRUE(waitUntil([&] { return panel.view->searchField()->hasFocus(); }));

    // Re-showing the same text leaves the caret where the user put it.
    panel.type("quarterly");
    panel.view->searchField()->setCursorPosition(3);
    panel.view->searchField()->setBoundText(QStringLiteral("quarterly"));
    EXPECT_EQ(panel.view->searchField()->cursorPosition(), 3);
    EXPECT_EQ(panel.view->searchField()->insertionPointColor(),
              LauncherThemeCatalog::theme(LauncherThemeID::graphite).uiAccent);
    panel.view->searchField()->setAccentColor(std::nullopt);
    EXPECT_EQ(panel.view->searchField()->insertionPointColor(),
              LauncherThemeCatalog::theme(LauncherThemeID::graphite).uiAccent);
}

TEST(ContentView, TheScoreBadgeExplainsItselfOnHover) {
    PanelHarness panel;
    panel.type("quarterly");
    panel.settleScreen();
    ResultListView *list = panel.view->resultList();
    const ResultRowView row = list->resultModel().rowView(0);
    const QRect badge = row.geometry(list->rowRect(0)).badge;
    ASSERT_TRUE(row.showsBadge());
    QHelpEvent onBadge(QEvent::ToolTip, badge.center(), list->viewport()->mapToGlobal(badge.center()));
    QCoreApplication::sendEvent(list->viewport(), &onBadge);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Search score"));
    const QPoint onTitle = row.geometry(list->rowRect(0)).title.center();
    QHelpEvent elsewhere(QEvent::ToolTip, onTitle, list->viewport()->mapToGlobal(onTitle));
    QCoreApplication::sendEvent(list->viewport(), &elsewhere);
    EXPECT_TRUE(waitUntil([] { return !QToolTip::isVisible(); }));
}

TEST(ContentView, RowsAreItemsForAssistiveTechnology) {
    PanelHarness panel;
    panel.type("quarterly");
    panel.key(Qt::Key_Down);
    const SearchResults rows = panel.view->controller().results();
    ASSERT_GE(rows.size(), 2);
    QAccessibleInterface *field = QAccessible::queryAccessibleInterface(panel.view->searchField());
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(QAccessible::Name), QStringLiteral("Search"));
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(panel.view->resultList());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->childCount(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QAccessibleInterface *item = list->child(i);
        ASSERT_NE(item, nullptr) << i;
        EXPECT_EQ(item->text(QAccessible::Name), rows[i].filename()) << i;
        const QString description = item->text(QAccessible::Description);
        EXPECT_TRUE(
            description.startsWith(ResultRowView::kindAccessibleLabel(rows[i]) + QStringLiteral(", ")))
            << description.toStdString();
        EXPECT_TRUE(description.contains(rows[i].directory())) << description.toStdString();
        ASSERT_TRUE(rows[i].relevanceScore().has_value());
        EXPECT_TRUE(description.contains("Search score " + QString::number(*rows[i].relevanceScore())))
            << description.toStdString();
        EXPECT_EQ(bool(item->state().selected), i == 1) << i;
    }
}

// "No results" is told once when an answer finds nothing, as a notice a screen reader speaks when it
// comes to show; the keys after it that still find nothing (a preview, then their answers) leave it as it
// is, and rows take it back.
TEST(ContentView, NoResultsIsToldOnceWhileTheListStaysEmpty) {
    PanelHarness panel;
    auto *notice = panel.view->findChild<SpokenNotice *>();
    ASSERT_NE(notice, nullptr);
    int shown = 0;
    struct ShowCounter : QObject {
        int *count;
        explicit ShowCounter(int *c) : count(c) {}
        bool eventFilter(QObject *, QEvent *event) override {
            if (event->type() == QEvent::Show)
                ++*count;
            return false;
        }
    } counter(&shown);
    notice->installEventFilter(&counter);

    panel.type("quarterly");
    EXPECT_EQ(panel.view->searchOutcome(), QString());
    panel.replaceQuery("zzqx");
    EXPECT_EQ(panel.view->searchOutcome(), QStringLiteral("No results"));
    EXPECT_EQ(shown, 1);
    QAccessibleInterface *said = QAccessible::queryAccessibleInterface(notice);
    ASSERT_NE(said, nullptr);
    EXPECT_EQ(said->role(), QAccessible::Notification);
    EXPECT_EQ(said->text(QAccessible::Name), QStringLiteral("No results"));

    panel.type("q");
    EXPECT_EQ(panel.view->searchOutcome(), QStringLiteral("No results"));
    EXPECT_EQ(shown, 1) << "told again for a key that changed nothing";

    panel.replaceQuery("quarterly");
    EXPECT_EQ(panel.view->searchOutcome(), QString());
    panel.replaceQuery("zzqx");
    EXPECT_EQ(shown, 2);
    panel.replaceQuery("");
    EXPECT_EQ(panel.view->searchOutcome(), QString());
}

} // namespace
} // namespace orvex
