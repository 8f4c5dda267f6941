#include "shell/WindowPositionStore.h"

#include "settings/WindowSizeStore.h"

#include <algorithm>
#include <cmath>

namespace orvex {

WindowPositionStore::WindowPositionStore(UserDefaults &defaults, QString xKey, QString topYKey)
    : defaults(&defaults), xKey(std::move(xKey)), topYKey(std::move(topYKey)) {}

WindowPositionStore WindowPositionStore::launcherPanel(UserDefaults &defaults) {
    return WindowPositionStore(defaults, QStringLiteral("launcherWindowX"),
                               QStringLiteral("launcherWindowTopY"));
}

std::optional<WindowPositionStore::SavedValues> WindowPositionStore::savedValues() const {
    const std::optional<double> x = storedFiniteNumber(*defaults, xKey);
    const std::optional<double> topY = storedFiniteNumber(*defaults, topYKey);
    if (!x || !topY)
        return std::nullopt;
    return SavedValues{*x, *topY};
}

std::optional<QPoint> WindowPositionStore::load(QSize windowSize, const QRect &within) const {
    const std::optional<SavedValues> saved = savedValues();
    if (!saved)
        return std::nullopt;
    return clamped(saved->x, saved->topY, windowSize, within);
}

void WindowPositionStore::save(const QRect &frame) const {
    defaults->set(xKey, PlistValue(static_cast<double>(frame.x())));
    defaults->set(topYKey, PlistValue(static_cast<double>(frame.y())));
}

QPoint WindowPositionStore::clamped(double x, double y, QSize windowSize, const QRect &within) {
    const double left = within.x();
    const double top = within.y();
    const double maxX = left + within.width() - windowSize.width();
    const double maxY = top + within.height() - windowSize.height();
    // The left and top bounds are applied last, so they win over the right and bottom ones.
    const double clampedX = std::max(left, std::min(maxX, x));
    const double clampedY = std::max(top, std::min(maxY, y));
    return QPoint(static_cast<int>(std::lround(clampedX)), static_cast<int>(std::lround(clampedY)));
}

} // namespace orvex
