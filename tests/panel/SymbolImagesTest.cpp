#include "panel/SymbolImages.h"

#include "PanelPaintTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace orvex {
namespace {

const QStringList symbolNames = {
    "magnifyingglass", "doc.fill",
    "app.fill",        "folder.fill",
    "equal.circle",    "globe",
    "bookmark.fill",   "gearshape.fill",
    "doc.richtext",    "slider.horizontal.3",
    "return",          "tablecells.fill",
    "doc.text.fill",   "rectangle.on.rectangle",
};

TEST(SymbolImages, EveryNamedSymbolIsDrawnInTheTintOnly) {
    const QColor tint(0x1C, 0x7D, 0xE8);
    QImage sheet(symbolNames.size() * 40, 40, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (qsizetype i = 0; i < symbolNames.size(); ++i) {
        const QString &name = symbolNames.at(i);
        ASSERT_TRUE(SymbolImages::exists(name)) << name.toStdString();
        const QImage image = SymbolImages::image(name, QSize(32, 32), tint);
        ASSERT_EQ(image.size(), QSize(32, 32)) << name.toStdString();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255) {
                    ++opaque;
                    EXPECT_EQ(pixel.rgb(), tint.rgb()) << name.toStdString();
                }
            }
        }
        // Something substantial is drawn, and not a filled square.
        EXPECT_GT(opaque, 20) << name.toStdString();
        EXPECT_LT(opaque, 32 * 32) << name.toStdString();
        painter.drawImage(int(i) * 40 + 4, 4, image);
    }
    painter.end();
    test::saveScreenshot(sheet, QStringLiteral("panel-symbols"));
}

TEST(SymbolImages, UnknownNamesAndEmptySizesGiveNothing) {
    EXPECT_FALSE(SymbolImages::exists("no.such.symbol"));
    EXPECT_TRUE(SymbolImages::image("no.such.symbol", QSize(18, 18), Qt::red).isNull());
    EXPECT_TRUE(SymbolImages::image("doc.fill", QSize(0, 18), Qt::red).isNull());
    // A path outside the symbol folder is no symbol.
    EXPECT_FALSE(SymbolImages::exists("../symbols/doc.fill"));
}

TEST(SymbolImages, HighDensityImagesKeepTheirLogicalSize) {
    const QImage image = SymbolImages::image("globe", QSize(24, 24), Qt::black, 2.0);
    EXPECT_EQ(image.size(), QSize(48, 48));
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(24, 24));
}

} // namespace
} // namespace orvex
