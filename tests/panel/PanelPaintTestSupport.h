#pragma once

#include "search/DatabaseTypes.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

namespace orvex::test {

// A row of the given kind and name in a fixed folder.
SearchResult makeRow(const QString &filename, SearchResultKind kind = SearchResultKind::file,
                     std::optional<qint64> score = std::nullopt,
                     std::optional<QString> snippet = std::nullopt);

// What `color` looks like painted over `base` (both possibly translucent), as QPainter composes it.
QColor composed(const QColor &base, const QColor &color);

// Whether two colours differ by at most `tolerance` in each channel.
bool near(const QColor &a, const QColor &b, int tolerance = 2);

// The bytes of a PNG file: a square of one colour.
QByteArray pngOf(const QColor &color, int side = 32);

// Saves the image under the build folder's screenshots/ and returns the path.
QString saveScreenshot(const QImage &image, const QString &name);

} // namespace orvex::test
