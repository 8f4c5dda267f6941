#pragma once

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <optional>

namespace orvex {

// Where a dragged panel may snap within a visible screen area, and the grid lines drawn for it. Screen
// coordinates in logical pixels, y growing downwards.
struct LauncherSnapState {
    // The x origins the panel may snap to: horizontally centred (one).
    QList<double> candidateXOrigins;
    // The y origins the panel may snap to, its vertical centre on each horizontal guide line (four).
    QList<double> candidateYOrigins;
    // The vertical grid lines: the edges of the guide width and the centre (three).
    QList<double> verticalGuideLines;
    // The horizontal grid lines at 1/3, 1/2, 2/3 and 5/6 of the height counted from the bottom, in that
    // order (four).
    QList<double> horizontalGuideLines;

    bool operator==(const LauncherSnapState &) const = default;
};

// A screen as placement sees it: its whole frame and the part that windows may use.
struct ScreenArea {
    QRect frame;
    QRect available;
};

// Placement and snap-to-grid arithmetic of the launcher panel, free of windows so that it can be tested.
namespace WindowSnapping {

// How near a candidate the proposed origin must come to snap.
inline constexpr double snapThreshold = 10;
// How far the proposed origin must move from a locked origin to release it.
inline constexpr double snapReleaseThreshold = 22;
// What the vertical guide width takes off the panel's width.
inline constexpr double snapSearchBarHorizontalInset = 16;
// The area used when no screen exists.
inline constexpr QRect fallbackVisibleFrame{0, 0, 1920, 1080};

LauncherSnapState snapState(const QRectF &panelFrame, const QRectF &visibleFrame);

// The candidate nearest `currentValue` (the first of equally near ones) when it lies within `threshold`.
std::optional<double> nearestSnapCandidate(double currentValue, const QList<double> &candidates,
                                           double threshold);

// The guide line that belongs to the candidate nearest `value`: with one candidate the first line, with
// several the line at the nearest candidate's index.
std::optional<double> matchedGuideLine(std::optional<double> value, const QList<double> &candidateOrigins,
                                       const QList<double> &guideLines);

// The visible area of the screen the panel belongs to: with a visible panel the screen holding its
// centre (else the one it overlaps most); otherwise the screen holding the saved top-left corner; else
// the primary screen's (index `primary`), the first screen's, or fallbackVisibleFrame without screens.
QRect preferredVisibleFrame(const QList<ScreenArea> &screens, int primary,
                            const std::optional<QRect> &visiblePanelFrame,
                            const std::optional<QPointF> &savedTopLeft);

// The screen whose frame overlaps `rect` most (the first of equal ones); none when it touches none.
std::optional<qsizetype> screenWithGreatestOverlap(const QList<ScreenArea> &screens, const QRect &rect);

// One step of a drag: the proposed origin, snapped while snapping is on and near a candidate, then kept
// inside the visible area. The locks hold a snapped origin per axis until the pointer pulls more than
// snapReleaseThreshold away.
struct DragSnapLocks {
    std::optional<double> x;
    std::optional<double> y;
};
struct DragStep {
    QPoint origin;
    // The lines to highlight while the overlay shows; shown only while snapping is on.
    std::optional<double> highlightedVerticalLine;
    std::optional<double> highlightedHorizontalLine;
    bool showsOverlay = false;
    LauncherSnapState snapState;
};
DragStep dragMoved(QPointF proposedOrigin, QSize panelSize, const QRect &visibleFrame, bool snapping,
                   DragSnapLocks &locks);

} // namespace WindowSnapping

} // namespace orvex
