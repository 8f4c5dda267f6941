#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace orvex {

// The panel's named symbols ("doc.fill", "magnifyingglass", ...): drawings of our own, rendered at a size
// and tinted in one colour. Rendered images are kept, so painting a row costs a lookup. GUI thread only.
namespace SymbolImages {

// Whether a drawing of that name exists.
bool exists(const QString &name);

// The symbol scaled to fit `size` (logical pixels) at `devicePixelRatio`, drawn in `tint`; a null image
// for an unknown name or an empty size.
QImage image(const QString &name, QSize size, const QColor &tint, qreal devicePixelRatio = 1.0);

} // namespace SymbolImages

} // namespace orvex
