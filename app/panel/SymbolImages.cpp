#include "panel/SymbolImages.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <memory>

namespace orvex::SymbolImages {

namespace {

QString resourcePath(const QString &name) {
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

QSvgRenderer *renderer(const QString &name) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    auto found = renderers.constFind(name);
    if (found != renderers.constEnd())
        return found->get();
    std::shared_ptr<QSvgRenderer> made;
    // Names are single path components of the symbol folder.
    const bool plainName =
        !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.'));
    if (plainName && QFile::exists(resourcePath(name))) {
        made = std::make_shared<QSvgRenderer>(resourcePath(name));
        if (!made->isValid())
            made.reset();
    }
    renderers.insert(name, made);
    return made.get();
}

} // namespace

bool exists(const QString &name) {
    return renderer(name) != nullptr;
}

QImage image(const QString &name, QSize size, const QColor &tint, qreal devicePixelRatio) {
    QSvgRenderer *svg = renderer(name);
    if (!svg || size.isEmpty())
        return {};
    const QString key = name + QLatin1Char('|') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height()) + QLatin1Char('|') +
                        QString::number(tint.rgba64(), 16) + QLatin1Char('|') +
                        QString::number(devicePixelRatio);
    static QHash<QString, QImage> rendered;
    if (auto found = rendered.constFind(key); found != rendered.constEnd())
        return *found;

    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    {
        // Fit the drawing's own aspect inside the box, centred.
        const QSizeF drawn = QSizeF(svg->defaultSize()).scaled(QSizeF(pixels), Qt::KeepAspectRatio);
        const QRectF target(
            QPointF((pixels.width() - drawn.width()) / 2, (pixels.height() - drawn.height()) / 2), drawn);
        QPainter painter(&out);
        painter.setRenderHint(QPainter::Antialiasing);
        svg->render(&painter, target);
        // The drawing's own colour is irrelevant: its coverage becomes the tint.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(out.rect(), tint);
    }
    out.setDevicePixelRatio(devicePixelRatio);
    // Symbols come in a few sizes and theme colours; bound the cache anyway.
    if (rendered.size() > 512)
        rendered.clear();
    rendered.insert(key, out);
    return out;
}

} // namespace orvex::SymbolImages
