#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace orvex {

// The named symbols of the settings and onboarding windows, drawn by us as small SVGs and tinted with one
// colour: "eye", "eye.slash", "arrow.triangle.2.circlepath", "xmark.circle.fill", "trash", "arrow.up",
// "arrow.down", "circle.dashed", "checkmark.circle.fill", "exclamationmark.triangle.fill".
namespace SettingsSymbols {

QStringList names();
// The symbol at `size` logical pixels in `color` (a transparent pixmap for an unknown name).
QPixmap pixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio = 1.0);
// The same as an icon whose disabled form is drawn at reduced opacity.
QIcon icon(const QString &name, const QColor &color, int size);

} // namespace SettingsSymbols
} // namespace orvex
