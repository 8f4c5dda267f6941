#pragma once

#include <QList>
#include <QWidget>

#include <optional>

namespace orvex {

// The transparent window drawn over the visible screen area while the panel snaps: dashed grid lines and
// the line the panel is aligned to highlighted in yellow. Above every other window, never focused and
// transparent to the mouse. Without a compositing manager the window is shaped to its lines, because
// translucency needs one.
class SnapGridOverlayView : public QWidget {
    Q_OBJECT

public:
    SnapGridOverlayView();

    // Lines in the view's own coordinates.
    void setLines(QList<double> verticalLines, QList<double> horizontalLines,
                  std::optional<double> highlightedVerticalLine,
                  std::optional<double> highlightedHorizontalLine);
    // Shaped to the lines, drawn opaque (no compositing manager runs).
    void setShapedToLines(bool shaped);
    bool isShapedToLines() const { return shaped_; }

    const QList<double> &verticalLines() const { return verticalLines_; }
    const QList<double> &horizontalLines() const { return horizontalLines_; }
    std::optional<double> highlightedVerticalLine() const { return highlightedVerticalLine_; }
    std::optional<double> highlightedHorizontalLine() const { return highlightedHorizontalLine_; }

    // The grid's colours; opaque stand-ins when shaped.
    QColor gridColor() const;
    QColor highlightColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateShape();

    QList<double> verticalLines_;
    QList<double> horizontalLines_;
    std::optional<double> highlightedVerticalLine_;
    std::optional<double> highlightedHorizontalLine_;
    bool shaped_ = false;
};

} // namespace orvex
