// The panel window as the user handles it: showing and hiding, growing with results, resizing by hand,
// dragging with snap-to-grid, its outline and the search field's context menu.
#include "ShellTestSupport.h"

#include "panel/PanelNotifications.h"
#include "panel/SearchTextField.h"
#include "search/LauncherNotifications.h"
#include "shell/SettingsFieldEditor.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::DelegateHarness;

QRect screenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Presses, moves and releases the left button as the pointer would, in global coordinates.
class Pointer {
public:
    explicit Pointer(QWidget &window) : window_(window) {}
    void press(QPoint global) {
        widget_ = window_.childAt(window_.mapFromGlobal(global));
        if (!widget_)
            widget_ = &window_;
        QTest::mousePress(widget_, Qt::LeftButton, {}, widget_->mapFromGlobal(global));
    }
    void moveTo(QPoint global) { QTest::mouseMove(widget_, widget_->mapFromGlobal(global)); }
    void release(QPoint global) {
        QTest::mouseRelease(widget_, Qt::LeftButton, {}, widget_->mapFromGlobal(global));
    }

private:
    QWidget &window_;
    QWidget *widget_ = nullptr;
};

TEST(PanelWindow, ShowHideAndToggleAnnounceThemselvesAndFocusTheField) {
    DelegateHarness harness;
    harness.launch();
    AppDelegate &delegate = *harness.delegate;
    CustomWindow *window = delegate.window();
    SearchTextField *field = delegate.contentView()->searchField();

    harness.type(QStringLiteral("abc"));
    delegate.toggleWindow();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(harness.posted(QString(NotificationName::launcherWindowHidden)).size(), 1);
    // Another window takes the focus meanwhile (the offscreen platform reports no loss of focus when a
    // window hides, as a window system does).
    {
        QWidget other;
        other.show();
        ASSERT_TRUE(test::waitUntil([&] { return other.isActiveWindow(); }));
    }

    delegate.toggleWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(harness.posted(QString(NotificationName::launcherWindowAppeared)).size(), 2);
    ASSERT_TRUE(test::waitUntil([&] { return field->hasFocus(); }));
    // After 50 ms the previous query is selected, so typing replaces it.
    ASSERT_TRUE(test::waitUntil([&] { return field->selectedText() == QStringLiteral("abc"); }));
    harness.type(QStringLiteral("x"));
    EXPECT_EQ(field->text(), QStringLiteral("x"));

    // Escape in the field hides through the delegate.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(harness.posted(QString(NotificationName::launcherWindowHidden)).size(), 2);
}

// Keys that come right after the hot key, before the delayed selection of the previous query, are
// neither appended to it nor selected and overwritten by the next key.
TEST(PanelWindow, KeysTypedRightAfterShowingReplaceThePreviousQueryWhole) {
    DelegateHarness harness;
    harness.launch();
    AppDelegate &delegate = *harness.delegate;
    SearchTextField *field = delegate.contentView()->searchField();
    harness.type(QStringLiteral("abc"));
    delegate.hideWindow();

    delegate.showWindow();
    harness.type(QStringLiteral("x"));
    EXPECT_EQ(field->text(), QStringLiteral("x")) << "typed before the event loop ran once";
    test::waitUntil([] { return false; }, std::chrono::milliseconds(150));
    harness.type(QStringLiteral("y"));
    EXPECT_EQ(field->text(), QStringLiteral("xy")) << "the delayed selection left the typed text alone";

    // Nothing typed: the query is selected, also once the delayed pass has run.
    delegate.hideWindow();
    delegate.showWindow();
    test::waitUntil([] { return false; }, std::chrono::milliseconds(150));
    EXPECT_EQ(field->selectedText(), QStringLiteral("xy"));
}

TEST(PanelWindow, ResultsGrowThePanelWithItsTopEdgeKeptAndTheCompactHeightIsNeverStored) {
    DelegateHarness harness;
    harness.launch();
    CustomWindow *window = harness.delegate->window();
    const QRect compact = window->geometry();
    ASSERT_EQ(compact.height(), 76);

    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(460));
    EXPECT_EQ(window->geometry(), QRect(compact.topLeft(), QSize(600, 460)));
    EXPECT_TRUE(harness.delegate->isShowingResults());
    EXPECT_EQ(window->minimumHeight(), 120);

    harness.clearQuery();
    ASSERT_TRUE(harness.waitForHeight(76));
    EXPECT_EQ(window->geometry(), compact);
    EXPECT_EQ(window->maximumHeight(), 76) << "the compact panel cannot be made taller";
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowHeight")), 460.0);

    // A report without its flag counts as no results.
    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(460));
    harness.center.post(QString(NotificationName::launcherResultsVisibilityChanged));
    EXPECT_TRUE(harness.waitForHeight(76));
}

// A size saved on a larger screen (or written by hand) is bounded by the area of this one: the whole
// panel, its search field and its rows stay on screen.
TEST(PanelWindow, APanelSavedLargerThanTheScreenIsBoundedByItsArea) {
    const QRect area = screenArea();
    DelegateHarness harness([&](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherWindowHeight"), PlistValue(1200.0));
        defaults.set(QStringLiteral("launcherWindowWidth"), PlistValue(1400.0));
        defaults.set(QStringLiteral("launcherWindowX"), PlistValue(double(area.x() + 20)));
        defaults.set(QStringLiteral("launcherWindowTopY"), PlistValue(double(area.y() + area.height() / 2)));
    });
    ASSERT_LT(area.height(), 1200) << "the offscreen screen is smaller than the saved panel";
    harness.launch();
    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(std::max(area.height(), AppDelegate::minExpandedWindowHeight)));
    CustomWindow *window = harness.delegate->window();
    EXPECT_TRUE(area.contains(window->geometry()))
        << "at " << window->x() << "," << window->y() << " " << window->width() << "x" << window->height();
    EXPECT_LE(window->maximumHeight(), area.height()) << "nor can it be made taller by hand";
    EXPECT_LE(window->maximumWidth(), std::max(area.width(), AppDelegate::minWindowWidth));
}

TEST(PanelWindow, ResizingByHandKeepsTheLimitsAndTheExpandedHeightSurvivesARestart) {
    DelegateHarness harness;
    harness.launch();
    CustomWindow *window = harness.delegate->window();
    Pointer pointer(*window);

    // Compact: only the width changes, within its limits.
    const QRect start = window->geometry();
    const QPoint rightStrip =
        window->mapToGlobal(window->resizeStripRect(CustomWindow::Edge::right).center());
    pointer.press(rightStrip);
    pointer.moveTo(rightStrip + QPoint(-100, 40));
    pointer.release(rightStrip + QPoint(-100, 40));
    EXPECT_EQ(window->geometry(), QRect(start.topLeft(), QSize(560, 76))) << "not below 560, height kept";
    EXPECT_FALSE(window->isVerticalResizeEnabled());
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowHeight")), 460.0);
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowWidth")), 560.0);

    // The left strip moves the left edge and keeps the right one.
    const QRect beforeLeft = window->geometry();
    const QPoint leftStrip = window->mapToGlobal(window->resizeStripRect(CustomWindow::Edge::left).center());
    pointer.press(leftStrip);
    pointer.moveTo(leftStrip + QPoint(-30, 0));
    pointer.release(leftStrip + QPoint(-30, 0));
    EXPECT_EQ(window->geometry(), QRect(beforeLeft.x() - 30, beforeLeft.y(), 590, 76));

    // Expanded: the bottom strip sets the height that later results and later launches use.
    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(460));
    ASSERT_TRUE(window->isVerticalResizeEnabled());
    const QPoint bottomStrip =
        window->mapToGlobal(window->resizeStripRect(CustomWindow::Edge::bottom).center());
    const int growth = std::min(60, screenArea().bottom() - window->geometry().bottom());
    pointer.press(bottomStrip);
    pointer.moveTo(bottomStrip + QPoint(0, growth));
    pointer.release(bottomStrip + QPoint(0, growth));
    const int expanded = 460 + growth;
    EXPECT_EQ(window->height(), expanded);
    harness.clearQuery();
    ASSERT_TRUE(harness.waitForHeight(76));
    harness.type(QStringLiteral("row"));
    ASSERT_TRUE(harness.waitForHeight(expanded));

    harness.restart();
    harness.launch();
    EXPECT_EQ(harness.delegate->lastExpandedWindowHeight(), expanded);
    EXPECT_EQ(harness.delegate->window()->width(), 590);
}

TEST(PanelWindow, OnlyADragOnTheBackgroundMovesThePanelPastTheThreshold) {
    DelegateHarness harness([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherSnapToGrid"), PlistValue(false));
    });
    harness.launch();
    CustomWindow *window = harness.delegate->window();
    int began = 0, ended = 0;
    auto moved = window->onDragMoved;
    auto beganHook = window->onDragBegan;
    auto endedHook = window->onDragEnded;
    window->onDragBegan = [&] {
        ++began;
        beganHook();
    };
    window->onDragEnded = [&] {
        ++ended;
        endedHook();
    };
    Pointer pointer(*window);
    // The search bar's padding left of the magnifier: background, not a control.
    const QPoint background = window->mapToGlobal(QPoint(14, 38));
    ASSERT_TRUE(window->shouldStartManualDrag(QPoint(14, 38), Qt::LeftButton));
    EXPECT_FALSE(window->shouldStartManualDrag(QPoint(14, 38), Qt::RightButton));
    EXPECT_FALSE(window->shouldStartManualDrag(QPoint(4, 38), Qt::LeftButton)) << "a resize strip";
    SearchTextField *field = harness.delegate->contentView()->searchField();
    const QPoint fieldPoint = field->mapTo(window, field->rect().center());
    EXPECT_FALSE(window->shouldStartManualDrag(fieldPoint, Qt::LeftButton)) << "the search field";

    // A click, or a wobble of at most half a pixel, moves nothing and calls no hook.
    const QRect start = window->geometry();
    pointer.press(background);
    pointer.release(background);
    EXPECT_EQ(window->geometry(), start);
    EXPECT_EQ(began + ended, 0);

    pointer.press(background);
    pointer.moveTo(background + QPoint(40, 25));
    pointer.moveTo(background + QPoint(41, 26));
    pointer.moveTo(background + QPoint(90, 50));
    pointer.release(background + QPoint(90, 50));
    EXPECT_EQ(window->geometry().topLeft(), start.topLeft() + QPoint(90, 50));
    EXPECT_EQ(began, 1);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowX")), double(start.x() + 90));
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowTopY")), double(start.y() + 50));
    EXPECT_FALSE(harness.delegate->snapOverlayWindow()) << "no overlay while snapping is off";

    // A press on the field never drags.
    const QPoint onField = window->mapToGlobal(fieldPoint);
    const QRect before = window->geometry();
    pointer.press(onField);
    pointer.moveTo(onField + QPoint(50, 50));
    pointer.release(onField + QPoint(50, 50));
    EXPECT_EQ(window->geometry(), before);
    EXPECT_EQ(began, 1);
}

TEST(PanelWindow, ADragSnapsToTheCentreWithTheOverlayShowingTheHighlightedLine) {
    DelegateHarness harness;
    harness.launch();
    CustomWindow *window = harness.delegate->window();
    const QRect area = screenArea();
    // Start away from the centre, then come within a few pixels of it.
    window->move(area.x() + 20, area.y() + 20);
    const int centredX = area.x() + (area.width() - window->width()) / 2;
    Pointer pointer(*window);
    const QPoint grip = window->mapToGlobal(QPoint(14, 38));
    pointer.press(grip);
    pointer.moveTo(grip + QPoint(centredX - window->x() - 30, 0));
    pointer.moveTo(grip + QPoint(centredX - (area.x() + 20) + 6, 3));
    EXPECT_EQ(window->x(), centredX);
    SnapGridOverlayView *overlay = harness.delegate->snapOverlayWindow();
    ASSERT_TRUE(overlay);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), area);
    EXPECT_TRUE(overlay->isShapedToLines()) << "no compositing manager in this harness";
    ASSERT_TRUE(harness.delegate->snapOverlayHighlightedVerticalLine());
    EXPECT_DOUBLE_EQ(*overlay->highlightedVerticalLine(), area.width() / 2.0);
    EXPECT_EQ(overlay->verticalLines().size(), 3);
    EXPECT_EQ(overlay->horizontalLines().size(), 4);

    pointer.release(grip + QPoint(centredX - (area.x() + 20) + 6, 3));
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_FALSE(harness.delegate->snapOverlayHighlightedVerticalLine());
    EXPECT_EQ(harness.defaults.realValue(QStringLiteral("launcherWindowX")), double(centredX));

    // Switching snapping off while dragging hides the overlay at once.
    const QPoint again = window->mapToGlobal(QPoint(14, 38));
    pointer.press(again);
    pointer.moveTo(again + QPoint(3, 3));
    ASSERT_TRUE(overlay->isVisible());
    harness.defaults.set(QStringLiteral("launcherSnapToGrid"), PlistValue(false));
    harness.center.post(QString(NotificationName::launcherWindowSnapChanged));
    EXPECT_TRUE(test::waitUntil([&] { return !overlay->isVisible(); }));
    EXPECT_FALSE(harness.delegate->snapWindowToGrid());
    pointer.release(again + QPoint(3, 3));
}

TEST(PanelWindow, WithoutACompositorTheWindowIsCutToItsRoundedOutline) {
    for (const bool compositing : {false, true}) {
        SCOPED_TRACE(compositing ? "compositing" : "no compositing");
        DelegateHarness harness({}, compositing);
        harness.launch();
        CustomWindow *window = harness.delegate->window();
        EXPECT_EQ(window->isTranslucent(), compositing);
        EXPECT_EQ(window->hasRoundedShape(), !compositing);
        if (compositing)
            continue;
        const QRegion mask = window->mask();
        EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "the corner is cut";
        EXPECT_FALSE(mask.contains(QPoint(window->width() - 1, window->height() - 1)));
        EXPECT_TRUE(mask.contains(QPoint(window->width() / 2, 0)));
        EXPECT_TRUE(mask.contains(QPoint(0, window->height() / 2)));
        // The outline follows the height.
        harness.type(QStringLiteral("row"));
        ASSERT_TRUE(harness.waitForHeight(460));
        EXPECT_TRUE(window->mask().contains(QPoint(0, 400)));
        EXPECT_FALSE(window->mask().contains(QPoint(0, 459)));
    }
}

TEST(PanelWindow, TheFieldsContextMenuEndsWithTheLauncherCommands) {
    DelegateHarness harness;
    harness.launch();
    SettingsFieldEditor *editor = harness.delegate->window()->settingsFieldEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(harness.delegate->window()->settingsFieldEditor(), editor) << "made once";
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "icon shown" : "icon hidden");
        std::unique_ptr<QMenu> menu(editor->menu());
        const QList<QAction *> actions = menu->actions();
        ASSERT_GE(actions.size(), 4) << "the field's own commands stay above";
        EXPECT_TRUE(actions[actions.size() - 3]->isSeparator());
        EXPECT_EQ(actions[actions.size() - 2]->text(), QStringLiteral("Show Tray Icon"));
        EXPECT_EQ(actions[actions.size() - 2]->isChecked(), shown);
        EXPECT_EQ(actions.last()->text(), QStringLiteral("Settings\u2026"));
        actions[actions.size() - 2]->trigger();
        EXPECT_EQ(harness.defaults.boolValue(QStringLiteral("launcherShowMenuBarIcon")), !shown);
        ASSERT_TRUE(test::waitUntil([&] { return (harness.delegate->statusItem() != nullptr) == !shown; }));
    }
    EXPECT_EQ(harness.posted(QString(NotificationName::launcherMenuBarIconVisibilityChanged)).size(), 2);

    std::unique_ptr<QMenu> menu(editor->menu());
    menu->actions().last()->trigger();
    QWidget *settings = harness.delegate->settingsWindow();
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(harness.delegate->window()->isVisible()) << "the settings window hides the panel";
}

} // namespace
} // namespace orvex
