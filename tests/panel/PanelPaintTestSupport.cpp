#include "PanelPaintTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>

namespace orvex::test {

SearchResult makeRow(const QString &filename, SearchResultKind kind, std::optional<qint64> score,
                     std::optional<QString> snippet) {
    SearchResultFields fields;
    fields.id = -1 - qHash(filename);
    fields.filename = filename;
    fields.directory = QStringLiteral("/home/user/Documents");
    fields.kind = kind;
    fields.relevanceScore = score;
    fields.snippet = std::move(snippet);
    return SearchResult(fields);
}

QColor composed(const QColor &base, const QColor &color) {
    QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    pixel.fill(Qt::transparent);
    QPainter painter(&pixel);
    painter.fillRect(pixel.rect(), base);
    painter.fillRect(pixel.rect(), color);
    painter.end();
    return pixel.pixelColor(0, 0);
}

QByteArray pngOf(const QColor &color, int side) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool near(const QColor &a, const QColor &b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

QString saveScreenshot(const QImage &image, const QString &name) {
    const QString folder = QStringLiteral(ORVEX_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    image.save(path);
    return path;
}

} // namespace orvex::test
