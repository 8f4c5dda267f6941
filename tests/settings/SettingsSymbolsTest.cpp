#include "settings/SettingsSymbols.h"

#include <QImage>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// Share of the image's pixels that the drawing covers in the tint.
double inkCoverage(const QImage &image, const QColor &tint) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 128 && qAbs(pixel.red() - tint.red()) < 40 &&
                qAbs(pixel.green() - tint.green()) < 40 && qAbs(pixel.blue() - tint.blue()) < 40)
                ++inked;
        }
    return double(inked) / (image.width() * image.height());
}

TEST(SettingsSymbols, EveryNamedSymbolDrawsInItsTint) {
    const QStringList expected = {"eye",
                                  "eye.slash",
                                  "arrow.triangle.2.circlepath",
                                  "xmark.circle.fill",
                                  "trash",
                                  "arrow.up",
                                  "arrow.down",
                                  "circle.dashed",
                                  "checkmark.circle.fill",
                                  "exclamationmark.triangle.fill"};
    QStringList names = SettingsSymbols::names();
    names.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    EXPECT_EQ(names, sortedExpected);
    const QColor tint(200, 40, 40);
    for (const QString &name : expected) {
        SCOPED_TRACE(name.toStdString());
        const QImage image = SettingsSymbols::pixmap(name, tint, 24, 2.0).toImage();
        EXPECT_EQ(image.size(), QSize(48, 48));
        EXPECT_GT(inkCoverage(image, tint), 0.04);
    }
    // An unknown name draws nothing.
    EXPECT_EQ(inkCoverage(SettingsSymbols::pixmap("no.such.symbol", tint, 24).toImage(), tint), 0.0);
}

} // namespace
} // namespace orvex
