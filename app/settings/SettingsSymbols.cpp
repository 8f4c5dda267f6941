#include "settings/SettingsSymbols.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace orvex::SettingsSymbols {

namespace {

// 24 x 24 drawings; "C" stands for the tint and "K" for the colour of a cut-out mark.
const QHash<QString, QString> &drawings() {
    static const QHash<QString, QString> table{
        {QStringLiteral("eye"),
         QStringLiteral(R"(<path d="M2 12c2.5-4.6 6-7 10-7s7.5 2.4 10 7c-2.5 4.6-6 7-10 7s-7.5-2.4-10-7z" )"
                        R"(fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/>)"
                        R"(<circle cx="12" cy="12" r="3.3" fill="C"/>)")},
        {QStringLiteral("eye.slash"),
         QStringLiteral(R"(<path d="M2 12c2.5-4.6 6-7 10-7s7.5 2.4 10 7c-2.5 4.6-6 7-10 7s-7.5-2.4-10-7z" )"
                        R"(fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/>)"
                        R"(<circle cx="12" cy="12" r="3.3" fill="C"/>)"
                        R"(<path d="M4 3.5l16 17" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)")},
        {QStringLiteral("arrow.triangle.2.circlepath"),
         QStringLiteral(R"(<g fill="none" stroke="C" stroke-width="2" stroke-linecap="round" )"
                        R"(stroke-linejoin="round"><path d="M4.5 11a7.5 7.5 0 0 1 13-4.2"/>)"
                        R"(<path d="M18.5 2.8v4.6h-4.6"/><path d="M19.5 13a7.5 7.5 0 0 1-13 4.2"/>)"
                        R"(<path d="M5.5 21.2v-4.6h4.6"/></g>)")},
        {QStringLiteral("xmark.circle.fill"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="10" fill="C"/>)"
                        R"(<path d="M8.5 8.5l7 7M15.5 8.5l-7 7" stroke="K" stroke-width="2" )"
                        R"(stroke-linecap="round"/>)")},
        {QStringLiteral("trash"),
         QStringLiteral(R"(<g fill="none" stroke="C" stroke-width="1.7" stroke-linecap="round" )"
                        R"(stroke-linejoin="round"><path d="M3.5 6h17"/><path d="M9 6V3.5h6V6"/>)"
                        R"(<path d="M5.5 6l1.1 14.5h10.8L18.5 6"/><path d="M10 10v7M14 10v7"/></g>)")},
        {QStringLiteral("arrow.up"),
         QStringLiteral(R"(<path d="M12 20V4.5M5.5 11L12 4.5 18.5 11" fill="none" stroke="C" )"
                        R"(stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("arrow.down"),
         QStringLiteral(R"(<path d="M12 4v15.5M5.5 13l6.5 6.5 6.5-6.5" fill="none" stroke="C" )"
                        R"(stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("circle.dashed"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="9" fill="none" stroke="C" stroke-width="2" )"
                        R"(stroke-dasharray="3.3 2.6"/>)")},
        {QStringLiteral("checkmark.circle.fill"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="10" fill="C"/>)"
                        R"(<path d="M7.3 12.4l3.1 3.1 6.3-6.6" fill="none" stroke="K" stroke-width="2.2" )"
                        R"(stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("exclamationmark.triangle.fill"),
         QStringLiteral(R"(<path d="M10.3 3.2a2 2 0 0 1 3.4 0l8.4 15a2 2 0 0 1-1.7 3H3.6a2 2 0 0 1-1.7-3z" )"
                        R"(fill="C"/><path d="M12 8.5v5.5" stroke="K" stroke-width="2.2" )"
                        R"(stroke-linecap="round"/><circle cx="12" cy="17.4" r="1.3" fill="K"/>)")},
    };
    return table;
}

QByteArray svgDocument(const QString &drawing, const QColor &color) {
    QString body = drawing;
    body.replace(QStringLiteral("\"C\""), QStringLiteral("\"%1\"").arg(color.name(QColor::HexRgb)));
    // Cut-out marks are white on a coloured shape.
    body.replace(QStringLiteral("\"K\""), QStringLiteral("\"#ffffff\""));
    return QStringLiteral(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" width="24" )"
                          R"(height="24">%1</svg>)")
        .arg(body)
        .toUtf8();
}

} // namespace

QStringList names() {
    return drawings().keys();
}

QPixmap pixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    const auto drawing = drawings().constFind(name);
    if (drawing != drawings().constEnd()) {
        QSvgRenderer renderer(svgDocument(*drawing, color));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // The colour's own alpha tints the whole drawing.
        painter.setOpacity(color.alphaF());
        renderer.render(&painter);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon icon(const QString &name, const QColor &color, int size) {
    QIcon result;
    result.addPixmap(pixmap(name, color, size, 1.0), QIcon::Normal);
    result.addPixmap(pixmap(name, color, size, 2.0), QIcon::Normal);
    QColor faint = color;
    faint.setAlphaF(color.alphaF() * 0.35);
    result.addPixmap(pixmap(name, faint, size, 1.0), QIcon::Disabled);
    result.addPixmap(pixmap(name, faint, size, 2.0), QIcon::Disabled);
    return result;
}

} // namespace orvex::SettingsSymbols
