#include "shell/SnapGridOverlayView.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>

namespace orvex {

namespace {

constexpr double dash = 6;
constexpr double highlightWidth = 1.8;

// A grid line lying on the highlighted line is drawn once, as the highlight.
bool coincides(double line, const std::optional<double> &highlighted) {
    return highlighted && std::abs(line - *highlighted) <= 0.5;
}

} // namespace

SnapGridOverlayView::SnapGridOverlayView()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint) {
    setObjectName(QStringLiteral("SnapGridOverlay"));
    setWindowTitle(QStringLiteral("Orvex Launcher Grid"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
}

void SnapGridOverlayView::setLines(QList<double> verticalLines, QList<double> horizontalLines,
                                   std::optional<double> highlightedVerticalLine,
                                   std::optional<double> highlightedHorizontalLine) {
    verticalLines_ = std::move(verticalLines);
    horizontalLines_ = std::move(horizontalLines);
    highlightedVerticalLine_ = highlightedVerticalLine;
    highlightedHorizontalLine_ = highlightedHorizontalLine;
    updateShape();
    update();
}

void SnapGridOverlayView::setShapedToLines(bool shaped) {
    if (shaped_ == shaped)
        return;
    shaped_ = shaped;
    updateShape();
    update();
}

QColor SnapGridOverlayView::gridColor() const {
    return shaped_ ? QColor(200, 200, 200) : QColor::fromRgbF(1, 1, 1, 0.28f);
}

QColor SnapGridOverlayView::highlightColor() const {
    QColor yellow(255, 204, 0);
    if (!shaped_)
        yellow.setAlphaF(0.82f);
    return yellow;
}

void SnapGridOverlayView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateShape();
}

void SnapGridOverlayView::updateShape() {
    if (!shaped_) {
        clearMask();
        return;
    }
    // The dashes and the highlight as pixel rectangles: without compositing, only they are shown.
    QRegion region;
    const int width = this->width();
    const int height = this->height();
    for (const double line : std::as_const(verticalLines_)) {
        if (coincides(line, highlightedVerticalLine_))
            continue;
        const int x = static_cast<int>(std::floor(line));
        for (int y = 0; y < height; y += 2 * int(dash))
            region += QRect(x, y, 1, int(dash));
    }
    for (const double line : std::as_const(horizontalLines_)) {
        if (coincides(line, highlightedHorizontalLine_))
            continue;
        const int y = static_cast<int>(std::floor(line));
        for (int x = 0; x < width; x += 2 * int(dash))
            region += QRect(x, y, int(dash), 1);
    }
    if (highlightedVerticalLine_)
        region += QRect(static_cast<int>(std::floor(*highlightedVerticalLine_ - 1)), 0, 2, height);
    if (highlightedHorizontalLine_)
        region += QRect(0, static_cast<int>(std::floor(*highlightedHorizontalLine_ - 1)), width, 2);
    // An empty mask would show the whole window.
    setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}

void SnapGridOverlayView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QRectF bounds(rect());

    QPen grid(gridColor(), 1.0);
    grid.setDashPattern({dash, dash});
    grid.setDashOffset(0);
    grid.setCapStyle(Qt::FlatCap);
    QPainterPath gridPath;
    for (const double line : std::as_const(verticalLines_)) {
        if (coincides(line, highlightedVerticalLine_))
            continue;
        gridPath.moveTo(line, bounds.top());
        gridPath.lineTo(line, bounds.bottom());
    }
    for (const double line : std::as_const(horizontalLines_)) {
        if (coincides(line, highlightedHorizontalLine_))
            continue;
        gridPath.moveTo(bounds.left(), line);
        gridPath.lineTo(bounds.right(), line);
    }
    painter.strokePath(gridPath, grid);

    QPen highlight(highlightColor(), highlightWidth);
    highlight.setCapStyle(Qt::FlatCap);
    QPainterPath highlightPath;
    if (highlightedVerticalLine_) {
        highlightPath.moveTo(*highlightedVerticalLine_, bounds.top());
        highlightPath.lineTo(*highlightedVerticalLine_, bounds.bottom());
    }
    if (highlightedHorizontalLine_) {
        highlightPath.moveTo(bounds.left(), *highlightedHorizontalLine_);
        highlightPath.lineTo(bounds.right(), *highlightedHorizontalLine_);
    }
    painter.strokePath(highlightPath, highlight);
}

} // namespace orvex
