// The snap grid's drawing: dashed guides, the aligned line highlighted once.
#include "support/DesktopSession.h"

#include "shell/SnapGridOverlayView.h"

#include <QImage>

#include <gtest/gtest.h>

namespace orvex {
namespace {

QImage draw(SnapGridOverlayView &view) {
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST(SnapGridOverlayView, DashedGuidesWithTheAlignedLinesHighlightedOnce) {
    SnapGridOverlayView view;
    view.resize(400, 300);
    view.setLines({100, 200, 300}, {50, 150, 250}, 200.0, 150.0);
    const QImage image = draw(view);
    test::DesktopSession::saveScreenshot(image, QStringLiteral("shell-snap-grid"));

    // A dash, then a gap of six pixels, along a plain guide.
    const QColor dash = image.pixelColor(100, 2);
    EXPECT_GT(dash.alpha(), 40);
    EXPECT_LT(dash.alpha(), 100) << "white at 0.28";
    EXPECT_EQ(image.pixelColor(100, 8).alpha(), 0) << "the gap";
    EXPECT_EQ(image.pixelColor(100, 14).alpha(), dash.alpha()) << "the next dash";

    // The highlighted lines are solid yellow; the guides they cover are not drawn under them.
    for (const QPoint point : {QPoint(200, 8), QPoint(200, 290), QPoint(8, 150), QPoint(390, 150)}) {
        SCOPED_TRACE(point.x());
        const QColor highlight = image.pixelColor(point);
        EXPECT_GT(highlight.red(), 200);
        EXPECT_GT(highlight.green(), 150);
        EXPECT_LT(highlight.blue(), 60);
        EXPECT_NEAR(highlight.alphaF(), 0.82, 0.03) << "nothing drawn beneath";
    }
    EXPECT_EQ(image.pixelColor(150, 100).alpha(), 0) << "between the lines: transparent";
}

TEST(SnapGridOverlayView, WithoutCompositingTheWindowIsShapedToItsLines) {
    SnapGridOverlayView view;
    view.resize(400, 300);
    view.setShapedToLines(true);
    view.setLines({100, 200, 300}, {50, 150, 250}, 200.0, std::nullopt);
    const QRegion mask = view.mask();
    EXPECT_TRUE(mask.contains(QPoint(100, 2)));
    EXPECT_FALSE(mask.contains(QPoint(100, 8))) << "a gap between dashes";
    EXPECT_TRUE(mask.contains(QPoint(200, 8))) << "the highlight is solid";
    EXPECT_TRUE(mask.contains(QPoint(2, 150)));
    EXPECT_FALSE(mask.contains(QPoint(150, 100)));
    EXPECT_EQ(view.highlightColor().alpha(), 255) << "opaque without compositing";

    view.setShapedToLines(false);
    EXPECT_TRUE(view.mask().isEmpty());
}

} // namespace
} // namespace orvex
