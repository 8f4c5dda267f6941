#include "shell/WindowSnapping.h"

#include "shell/WindowPositionStore.h"

#include <algorithm>
#include <cmath>

namespace orvex::WindowSnapping {

LauncherSnapState snapState(const QRectF &panelFrame, const QRectF &visibleFrame) {
    const double width = panelFrame.width();
    const double height = panelFrame.height();
    const QRectF &frame = visibleFrame;
    const double midX = frame.x() + frame.width() / 2;
    const double guideWidth = std::min(std::max(width - snapSearchBarHorizontalInset, 200.0), frame.width());

    LauncherSnapState state;
    state.candidateXOrigins = {midX - width / 2};
    state.verticalGuideLines = {midX - guideWidth / 2, midX, midX + guideWidth / 2};
    // 1/3, 1/2, 2/3 and 5/6 of the height counted from the bottom edge, as the grid is defined.
    const double bottom = frame.y() + frame.height();
    for (const auto &[numerator, denominator] :
         {std::pair(1, 3), std::pair(1, 2), std::pair(2, 3), std::pair(5, 6)})
        state.horizontalGuideLines.append(bottom - frame.height() * numerator / denominator);
    for (const double line : std::as_const(state.horizontalGuideLines))
        state.candidateYOrigins.append(line - height / 2);
    return state;
}

namespace {

std::optional<qsizetype> nearestIndex(double value, const QList<double> &candidates) {
    std::optional<qsizetype> best;
    double bestDistance = 0;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const double distance = std::abs(candidates[i] - value);
        if (!best || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

std::optional<double> nearestSnapCandidate(double currentValue, const QList<double> &candidates,
                                           double threshold) {
    const std::optional<qsizetype> index = nearestIndex(currentValue, candidates);
    if (!index || std::abs(candidates[*index] - currentValue) > threshold)
        return std::nullopt;
    return candidates[*index];
}

std::optional<double> matchedGuideLine(std::optional<double> value, const QList<double> &candidateOrigins,
                                       const QList<double> &guideLines) {
    if (!value || candidateOrigins.isEmpty())
        return std::nullopt;
    if (candidateOrigins.size() == 1)
        return guideLines.isEmpty() ? std::nullopt : std::optional<double>(guideLines.first());
    const std::optional<qsizetype> index = nearestIndex(*value, candidateOrigins);
    if (!index || *index >= guideLines.size())
        return std::nullopt;
    return guideLines[*index];
}

std::optional<qsizetype> screenWithGreatestOverlap(const QList<ScreenArea> &screens, const QRect &rect) {
    std::optional<qsizetype> best;
    qint64 bestArea = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRect overlap = screens[i].frame.intersected(rect);
        const qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

QRect preferredVisibleFrame(const QList<ScreenArea> &screens, int primary,
                            const std::optional<QRect> &visiblePanelFrame,
                            const std::optional<QPointF> &savedTopLeft) {
    if (visiblePanelFrame && visiblePanelFrame->width() > 0 && visiblePanelFrame->height() > 0) {
        const QPoint centre = visiblePanelFrame->center();
        for (const ScreenArea &screen : screens)
            if (screen.frame.contains(centre))
                return screen.available;
        if (const auto index = screenWithGreatestOverlap(screens, *visiblePanelFrame))
            return screens[*index].available;
    } else if (savedTopLeft && std::isfinite(savedTopLeft->x()) && std::isfinite(savedTopLeft->y()) &&
               std::abs(savedTopLeft->x()) < 1e9 && std::abs(savedTopLeft->y()) < 1e9) {
        // The saved top edge is the window's first row of pixels, so a window whose top edge equals a
        // screen's top edge belongs to that screen.
        const QPoint corner(static_cast<int>(std::floor(savedTopLeft->x())),
                            static_cast<int>(std::floor(savedTopLeft->y())));
        for (const ScreenArea &screen : screens)
            if (screen.frame.contains(corner))
                return screen.available;
    }
    if (primary >= 0 && primary < screens.size())
        return screens[primary].available;
    if (!screens.isEmpty())
        return screens.first().available;
    return fallbackVisibleFrame;
}

DragStep dragMoved(QPointF proposedOrigin, QSize panelSize, const QRect &visibleFrame, bool snapping,
                   DragSnapLocks &locks) {
    DragStep step;
    double x = proposedOrigin.x();
    double y = proposedOrigin.y();
    if (snapping) {
        step.snapState = snapState(QRectF(proposedOrigin, QSizeF(panelSize)), QRectF(visibleFrame));
        const LauncherSnapState &state = step.snapState;
        auto snapAxis = [](double proposed, std::optional<double> &lock, const QList<double> &candidates) {
            if (lock && std::abs(proposed - *lock) <= snapReleaseThreshold)
                return *lock;
            lock = nearestSnapCandidate(proposed, candidates, snapThreshold);
            return lock.value_or(proposed);
        };
        x = snapAxis(x, locks.x, state.candidateXOrigins);
        y = snapAxis(y, locks.y, state.candidateYOrigins);
        if (locks.x && state.verticalGuideLines.size() >= 2)
            step.highlightedVerticalLine = state.verticalGuideLines[1];
        step.highlightedHorizontalLine =
            matchedGuideLine(locks.y, state.candidateYOrigins, state.horizontalGuideLines);
        step.showsOverlay = true;
    } else {
        locks = {};
    }
    step.origin = WindowPositionStore::clamped(x, y, panelSize, visibleFrame);
    return step;
}

} // namespace orvex::WindowSnapping
