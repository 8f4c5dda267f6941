#include "settings/WindowSizeStore.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace orvex {

std::optional<double> storedFiniteNumber(const UserDefaults &defaults, const QString &key) {
    const std::optional<PlistValue> value = defaults.value(key);
    if (!value)
        return std::nullopt;
    if (const auto integer = value->toInteger())
        return static_cast<double>(*integer);
    if (const auto real = value->toReal(); real && std::isfinite(*real))
        return *real;
    return std::nullopt;
}

namespace {

int clampedAxis(double value, double minimum, double maximum) {
    return static_cast<int>(std::lround(std::min(maximum, std::max(minimum, value))));
}

} // namespace

WindowSizeStore::WindowSizeStore(UserDefaults &defaults, QString widthKey, QString heightKey, double minWidth,
                                 double maxWidth, double minHeight, double maxHeight)
    : defaults(&defaults), widthKey(std::move(widthKey)), heightKey(std::move(heightKey)), minWidth(minWidth),
      maxWidth(maxWidth), minHeight(minHeight), maxHeight(maxHeight) {}

WindowSizeStore WindowSizeStore::settingsWindow(UserDefaults &defaults) {
    return WindowSizeStore(defaults, QStringLiteral("launcherSettingsWindowWidth"),
                           QStringLiteral("launcherSettingsWindowHeight"), 460, 1200, 420, 900);
}

QSize WindowSizeStore::load(QSize defaultSize) const {
    const double width = storedFiniteNumber(*defaults, widthKey).value_or(defaultSize.width());
    const double height = storedFiniteNumber(*defaults, heightKey).value_or(defaultSize.height());
    return QSize(clampedAxis(width, minWidth, maxWidth), clampedAxis(height, minHeight, maxHeight));
}

QSize WindowSizeStore::clamped(QSize size) const {
    return QSize(clampedAxis(size.width(), minWidth, maxWidth),
                 clampedAxis(size.height(), minHeight, maxHeight));
}

void WindowSizeStore::save(QSize size) const {
    const QSize limited = clamped(size);
    defaults->set(widthKey, PlistValue(static_cast<double>(limited.width())));
    defaults->set(heightKey, PlistValue(static_cast<double>(limited.height())));
}

} // namespace orvex
