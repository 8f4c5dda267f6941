#pragma once

#include "platform/UserDefaults.h"

#include <QSize>
#include <QString>

#include <optional>

namespace orvex {

// The measure stored under `key` (a window's size or place): an integer, or a finite real; anything else
// (NaN, an infinity, another type, nothing) gives nothing, so that the caller falls back to its default.
std::optional<double> storedFiniteNumber(const UserDefaults &defaults, const QString &key);

// A window's size in the defaults database, kept within per-axis limits. Stored as two real numbers in
// logical pixels; the measure is the window's content size (without the window manager's frame), the
// same one that is handed back to resize() when the window is made again.
struct WindowSizeStore {
    WindowSizeStore(UserDefaults &defaults, QString widthKey, QString heightKey, double minWidth,
                    double maxWidth, double minHeight, double maxHeight);

    // The settings window's store: "launcherSettingsWindowWidth"/"launcherSettingsWindowHeight",
    // width 460–1200, height 420–900.
    static WindowSizeStore settingsWindow(UserDefaults &defaults);

    // Each axis: the stored number, else the default's; then clamped. A stored value that is not a finite
    // number counts as absent.
    QSize load(QSize defaultSize) const;
    // Each axis raised to its minimum, then lowered to its maximum (the maximum wins when they cross).
    QSize clamped(QSize size) const;
    // Writes the clamped size.
    void save(QSize size) const;

    UserDefaults *defaults;
    QString widthKey;
    QString heightKey;
    double minWidth;
    double maxWidth;
    double minHeight;
    double maxHeight;
};

} // namespace orvex
