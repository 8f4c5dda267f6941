#pragma once

#include "platform/UserDefaults.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace orvex {

// A window's place in the defaults database as its left edge and its top edge (screen coordinates in
// logical pixels, y growing downwards), so that a window that grows or shrinks keeps its top where the
// user put it. Loading pulls the place into the visible area it is given.
struct WindowPositionStore {
    struct SavedValues {
        double x;
        double topY;
        bool operator==(const SavedValues &) const = default;
    };

    WindowPositionStore(UserDefaults &defaults, QString xKey, QString topYKey);

    // The launcher panel's: "launcherWindowX", "launcherWindowTopY".
    static WindowPositionStore launcherPanel(UserDefaults &defaults);

    // Present only when both keys hold finite numbers; anything else counts as absent.
    std::optional<SavedValues> savedValues() const;
    // The saved top-left corner for a window of this size, clamped into `within`; none when nothing is
    // saved.
    std::optional<QPoint> load(QSize windowSize, const QRect &within) const;
    // Writes the frame's left edge and top edge.
    void save(const QRect &frame) const;

    // The origin pulled into `within`: a window wider than the area sits at its left edge, one taller
    // than the area at its top edge, so that the top of the window (and the search field there) always
    // stays on screen.
    static QPoint clamped(double x, double y, QSize windowSize, const QRect &within);
    static QPoint clamped(QPoint origin, QSize windowSize, const QRect &within) {
        return clamped(origin.x(), origin.y(), windowSize, within);
    }

    UserDefaults *defaults;
    QString xKey;
    QString topYKey;
};

} // namespace orvex
