// Where the panel is placed, how it is kept on its screen and how a drag snaps: the arithmetic alone.
#include "shell/WindowPositionStore.h"
#include "shell/WindowSnapping.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvex {
namespace {

using namespace WindowSnapping;

const QRect screenArea(0, 0, 1920, 1080);

TEST(WindowPositionStore, SavedValuesNeedTwoFiniteNumbers) {
    struct Case {
        const char *name;
        std::optional<PlistValue> x;
        std::optional<PlistValue> topY;
        std::optional<WindowPositionStore::SavedValues> expected;
    } cases[] = {
        {"reals", PlistValue(12.5), PlistValue(40.0), WindowPositionStore::SavedValues{12.5, 40}},
        {"integers", PlistValue(qint64(-300)), PlistValue(qint64(20)),
         WindowPositionStore::SavedValues{-300, 20}},
        {"only x", PlistValue(12.0), std::nullopt, std::nullopt},
        {"only the top edge", std::nullopt, PlistValue(12.0), std::nullopt},
        {"a text", PlistValue(QStringLiteral("12")), PlistValue(40.0), std::nullopt},
        {"not a number", PlistValue(std::nan("")), PlistValue(40.0), std::nullopt},
        {"an infinity", PlistValue(10.0), PlistValue(HUGE_VAL), std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults defaults;
        if (c.x)
            defaults.set(QStringLiteral("launcherWindowX"), *c.x);
        if (c.topY)
            defaults.set(QStringLiteral("launcherWindowTopY"), *c.topY);
        const WindowPositionStore store = WindowPositionStore::launcherPanel(defaults);
        EXPECT_EQ(store.savedValues(), c.expected);
        EXPECT_EQ(store.load(QSize(600, 460), screenArea).has_value(), c.expected.has_value());
    }
}

TEST(WindowPositionStore, ClampKeepsTheWindowAndItsTopEdgeInsideTheArea) {
    const QRect area(100, 50, 1000, 700); // right edge 1100, bottom edge 750
    struct Case {
        const char *name;
        QPointF origin;
        QSize size;
        QPoint expected;
    } cases[] = {
        {"inside", {200, 100}, {600, 460}, {200, 100}},
        {"past the right edge", {900, 100}, {600, 460}, {500, 100}},
        {"left of the area", {-400, 100}, {600, 460}, {100, 100}},
        {"above the area", {200, -20}, {600, 460}, {200, 50}},
        {"past the bottom: moved up", {200, 600}, {600, 460}, {200, 290}},
        {"wider than the area: left edge", {300, 100}, {1400, 460}, {100, 100}},
        // A panel taller than the area keeps its top edge, and the search field there, on screen.
        {"taller than the area: top edge", {200, 400}, {600, 1200}, {200, 50}},
        {"a saved place on a screen that is gone", {5000, 3000}, {600, 460}, {500, 290}},
        {"fractions round", {200.4, 100.6}, {600, 460}, {200, 101}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowPositionStore::clamped(c.origin.x(), c.origin.y(), c.size, area), c.expected);
    }
}

TEST(WindowPositionStore, SaveThenLoadGivesTheSameOriginAndTheTopEdgeSurvivesAHeightChange) {
    UserDefaults defaults;
    const WindowPositionStore store = WindowPositionStore::launcherPanel(defaults);
    store.save(QRect(300, 200, 600, 76));
    EXPECT_EQ(defaults.realValue(QStringLiteral("launcherWindowX")), 300.0);
    EXPECT_EQ(defaults.realValue(QStringLiteral("launcherWindowTopY")), 200.0);
    EXPECT_EQ(store.load(QSize(600, 76), screenArea), QPoint(300, 200));
    EXPECT_EQ(store.load(QSize(600, 460), screenArea), QPoint(300, 200)) << "the top edge is what is kept";
}

TEST(WindowSnapping, SnapStateCentresOnTheAreaWithFourHeightsCountedFromTheBottom) {
    const QRectF area(100, 0, 1200, 900);
    const LauncherSnapState state = snapState(QRectF(0, 0, 600, 76), area);
    EXPECT_EQ(state.candidateXOrigins, QList<double>{700 - 300});
    EXPECT_EQ(state.verticalGuideLines, (QList<double>{700 - 292, 700, 700 + 292}));
    // 1/3, 1/2, 2/3 and 5/6 of the height from the bottom edge.
    EXPECT_EQ(state.horizontalGuideLines, (QList<double>{600, 450, 300, 150}));
    EXPECT_EQ(state.candidateYOrigins, (QList<double>{562, 412, 262, 112}));

    // The guide width is at least 200 and at most the area's width.
    EXPECT_EQ(snapState(QRectF(0, 0, 150, 76), area).verticalGuideLines, (QList<double>{600, 700, 800}));
    EXPECT_EQ(snapState(QRectF(0, 0, 1400, 76), area).verticalGuideLines, (QList<double>{100, 700, 1300}));
}

TEST(WindowSnapping, NearestCandidateAndMatchedGuideLine) {
    EXPECT_EQ(nearestSnapCandidate(5, {}, 10), std::nullopt);
    EXPECT_EQ(nearestSnapCandidate(95, {100, 300}, 10), 100.0);
    EXPECT_EQ(nearestSnapCandidate(110, {100, 300}, 10), 100.0) << "at the threshold";
    EXPECT_EQ(nearestSnapCandidate(111, {100, 300}, 10), std::nullopt);
    EXPECT_EQ(nearestSnapCandidate(200, {190, 210}, 10), 190.0) << "the first of equally near ones";

    EXPECT_EQ(matchedGuideLine(std::nullopt, {1, 2}, {10, 20}), std::nullopt);
    EXPECT_EQ(matchedGuideLine(5.0, {}, {10}), std::nullopt);
    EXPECT_EQ(matchedGuideLine(5.0, {99}, {10, 20}), 10.0) << "one candidate: the first line";
    EXPECT_EQ(matchedGuideLine(5.0, {99}, {}), std::nullopt);
    EXPECT_EQ(matchedGuideLine(19.0, {0, 20, 40}, {100, 200, 300}), 200.0);
    EXPECT_EQ(matchedGuideLine(39.0, {0, 20, 40}, {100, 200}), std::nullopt) << "no line at that index";
}

TEST(WindowSnapping, PreferredVisibleFrameFollowsThePanelThenTheSavedPlaceThenThePrimaryScreen) {
    const QList<ScreenArea> screens{
        {QRect(0, 0, 1920, 1080), QRect(0, 30, 1920, 1050)},
        {QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 990)},
    };
    struct Case {
        const char *name;
        QList<ScreenArea> screens;
        int primary;
        std::optional<QRect> panel;
        std::optional<QPointF> saved;
        QRect expected;
    } cases[] = {
        {"the panel's centre", screens, 0, QRect(2000, 100, 600, 76), std::nullopt, screens[1].available},
        {"a centre off every screen: greatest overlap", screens, 0, QRect(1800, 1000, 600, 200), std::nullopt,
         screens[1].available},
        {"a panel on no screen: the primary", screens, 1, QRect(9000, 9000, 600, 76), std::nullopt,
         screens[1].available},
        {"a hidden panel: the saved place's screen", screens, 0, std::nullopt, QPointF(2100, 300),
         screens[1].available},
        {"a saved top edge on a screen's top edge", screens, 1, std::nullopt, QPointF(100, 0),
         screens[0].available},
        {"a saved place on a screen that is gone", screens, 1, std::nullopt, QPointF(5000, 300),
         screens[1].available},
        {"a saved place of no use", screens, 0, std::nullopt, QPointF(std::nan(""), 1e300),
         screens[0].available},
        {"no primary: the first", screens, -1, std::nullopt, std::nullopt, screens[0].available},
        {"no screen at all", {}, -1, std::nullopt, std::nullopt, QRect(0, 0, 1920, 1080)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(preferredVisibleFrame(c.screens, c.primary, c.panel, c.saved), c.expected);
    }
    EXPECT_EQ(screenWithGreatestOverlap(screens, QRect(5000, 5000, 10, 10)), std::nullopt);
}

TEST(WindowSnapping, ADragSnapsNearTheCentreAndHoldsUntilPulledAway) {
    const QRect area(0, 0, 1200, 900);
    const QSize panel(600, 76);
    DragSnapLocks locks;
    // Centred x is 300; 8 points off snaps and highlights the centre line.
    DragStep step = dragMoved(QPointF(308, 500), panel, area, true, locks);
    EXPECT_EQ(step.origin.x(), 300);
    EXPECT_EQ(locks.x, 300.0);
    EXPECT_EQ(step.highlightedVerticalLine, 600.0);
    EXPECT_TRUE(step.showsOverlay);
    // Held while within 22 points of the lock...
    step = dragMoved(QPointF(322, 500), panel, area, true, locks);
    EXPECT_EQ(step.origin.x(), 300);
    // ...and released beyond.
    step = dragMoved(QPointF(323, 500), panel, area, true, locks);
    EXPECT_EQ(step.origin.x(), 323);
    EXPECT_EQ(locks.x, std::nullopt);
    EXPECT_EQ(step.highlightedVerticalLine, std::nullopt);
}

TEST(WindowSnapping, VerticalSnapsPutThePanelsCentreOnTheLinesAndTiesGoToTheFirst) {
    const QRect area(0, 0, 1200, 900);
    // Lines at 600 (1/3 from the bottom), 450, 300 and 150; a panel 160 high has the candidates 520, 370,
    // 220 and 70.
    struct Case {
        const char *name;
        QSize panel;
        double proposedY;
        int expectedY;
        std::optional<double> highlighted;
    } cases[] = {
        {"1/2 of the height", {600, 160}, 365, 370, 450},
        {"5/6 of the height", {600, 160}, 79, 70, 150},
        {"1/3 of the height", {600, 160}, 515, 520, 600},
        {"between lines", {600, 160}, 300, 300, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DragSnapLocks locks;
        const DragStep step = dragMoved(QPointF(10, c.proposedY), c.panel, area, true, locks);
        EXPECT_EQ(step.origin.y(), c.expectedY);
        EXPECT_EQ(step.highlightedHorizontalLine, c.highlighted);
    }
    // A true tie between two candidates: equally near, the first in line order wins.
    DragSnapLocks locks;
    const LauncherSnapState state = snapState(QRectF(0, 0, 600, 160), QRectF(area));
    const double middle = (state.candidateYOrigins[0] + state.candidateYOrigins[1]) / 2;
    EXPECT_EQ(nearestSnapCandidate(middle, state.candidateYOrigins, 1000), state.candidateYOrigins[0]);
}

TEST(WindowSnapping, WithoutSnappingADragOnlyKeepsThePanelInsideTheArea) {
    const QRect area(0, 0, 1200, 900);
    DragSnapLocks locks{300.0, 100.0};
    const DragStep step = dragMoved(QPointF(1000, -50), QSize(600, 76), area, false, locks);
    EXPECT_EQ(step.origin, QPoint(600, 0));
    EXPECT_FALSE(step.showsOverlay);
    EXPECT_EQ(locks.x, std::nullopt);
    EXPECT_EQ(locks.y, std::nullopt);
    EXPECT_EQ(step.highlightedVerticalLine, std::nullopt);
}

} // namespace
} // namespace orvex
