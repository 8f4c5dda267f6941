#include "panel/ContentView.h"

#include "ContentViewTestSupport.h"
#include "PanelPaintTestSupport.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/PanelNotifications.h"
#include "panel/ResultListView.h"
#include "panel/SearchState.h"
#include "panel/SearchTextField.h"
#include "panel/SnippetView.h"
#include "support/TestEnvironment.h"

#include <QFontMetrics>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::composed;
using test::near;
using test::PanelHarness;

void useTheme(PanelHarness &panel, LauncherThemeID id) {
    panel.index.defaults->set(QStringLiteral("launcherThemeID"), rawValue(id));
    panel.post(QString(NotificationName::launcherThemeChanged));
    ASSERT_EQ(panel.view->launcherThemeID(), id);
}

// The largest step between neighbouring pixels of a row inside `area`: text makes big steps, a smooth
// gradient none.
int largestStep(const QImage &image, const QRect &area) {
    int largest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left() + 1; x <= area.right(); ++x) {
            const QColor a = image.pixelColor(x - 1, y), b = image.pixelColor(x, y);
            largest = std::max({largest, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                std::abs(a.blue() - b.blue())});
        }
    return largest;
}

QRect inView(const PanelHarness &panel, const QRect &viewportRect) {
    return viewportRect.translated(
        panel.view->resultList()->viewport()->mapTo(panel.view.get(), QPoint(0, 0)));
}

// Pixels of `area` within `tolerance` of `color` in every channel.
int pixelsNear(const QImage &image, const QRect &area, const QColor &color, int tolerance) {
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += near(image.pixelColor(x, y), color, tolerance) ? 1 : 0;
    return count;
}

double meanLightness(const QImage &image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += image.pixelColor(x, y).lightness();
    return sum / (double(image.width()) * image.height());
}

// A dark theme paints a dark panel and a light theme a light one, each row's title in the theme's own
// colour for a selected and an unselected row (the pictures are kept for a reviewer's eye).
TEST(ContentViewPaint, DarkAndLightThemesPaintThePanelAndTheTitlesInTheirColours) {
    PanelHarness panel([](UserDefaults &defaults) { defaults.set(QStringLiteral("showSnippets"), true); });
    panel.type("quarterly");
    panel.key(Qt::Key_Down);
    ASSERT_GE(panel.view->controller().results().size(), 2);
    const struct {
        LauncherThemeID id;
        bool dark;
    } cases[] = {{LauncherThemeID::graphite, true},
                 {LauncherThemeID::daylight, false},
                 {LauncherThemeID::vitesseDarkSoft, true},
                 {LauncherThemeID::midnightBlue, true}};
    for (const auto &c : cases) {
        useTheme(panel, c.id);
        const LauncherTheme theme = LauncherThemeCatalog::theme(c.id);
        const std::string name = theme.name.toStdString();
        const QImage image = panel.grab();
        test::saveScreenshot(image, "panel-" + rawValue(c.id));
        if (c.dark)
            EXPECT_LT(meanLightness(image), 90) << name;
        else
            EXPECT_GT(meanLightness(image), 170) << name;
        for (int row = 0; row < 2; ++row) {
            const ResultRowView view = panel.view->resultList()->resultModel().rowView(row);
            EXPECT_EQ(view.isSelected, row == 1) << name;
            const QRect title = view.geometry(inView(panel, panel.view->resultList()->rowRect(row))).title;
            const QColor ink = theme.primaryTextColor(view.result, view.isSelected);
            EXPECT_GE(pixelsNear(image, title, ink, 40), 15)
                << name << ": the title of row " << row << " is not drawn in " << ink.name().toStdString();
        }
    }
    // The empty panel with its version footer.
    panel.replaceQuery("");
    useTheme(panel, LauncherThemeID::graphite);
    panel.view->resize(720, 76);
    test::saveScreenshot(panel.grab(), "panel-empty-graphite");
}

TEST(ContentViewPaint, SelectedRowAndItsHighlightInEveryTheme) {
    PanelHarness panel([](UserDefaults &defaults) { defaults.set(QStringLiteral("showSnippets"), true); });
    panel.type("quarterly");
    const SearchResults rows = panel.view->controller().results();
    // Select a row that carries a snippet with a highlighted word.
    qsizetype withSnippet = -1;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i].snippet() && rows[i].snippet()->contains("<mark>"))
            withSnippet = i;
    ASSERT_GE(withSnippet, 0);
    panel.view->controller().setSelectedIndex(withSnippet);

    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        useTheme(panel, theme.id);
        const QImage image = panel.grab();
        const ResultRowView row = panel.view->resultList()->resultModel().rowView(int(withSnippet));
        ASSERT_TRUE(row.isSelected);
        const QRect rowRect = inView(panel, panel.view->resultList()->rowRect(int(withSnippet)));
        const std::string name = theme.name.toStdString();
        EXPECT_TRUE(
            near(image.pixelColor(rowRect.left() + 6, rowRect.center().y()), theme.selectedRowBackground))
            << name;

        const QRect snippet = row.geometry(rowRect).snippet;
        const auto runs = SnippetView{*row.result.snippet(), row.result, true, theme}.runs();
        ASSERT_GE(runs.size(), 2);
        const QFontMetrics metrics(SnippetView::font());
        const bool startsHighlighted = runs[0].background.has_value();
        const int start = snippet.left() + (startsHighlighted ? 0 : metrics.horizontalAdvance(runs[0].text));
        const int end = start + metrics.horizontalAdvance(runs[startsHighlighted ? 0 : 1].text);
        const QColor highlight = composed(theme.selectedRowBackground, theme.snippetHighlightSelected);
        EXPECT_TRUE(near(image.pixelColor((start + end) / 2, snippet.top()), highlight)) << name;
        EXPECT_TRUE(near(image.pixelColor(end + 6, snippet.top()), theme.selectedRowBackground)) << name;
    }
}

// The hover look eases in and out over 0.08 s: when the pointer arrives the row is not yet in its hover
// look, a little later it shows the hover background; leaving fades it back.
TEST(ContentViewPaint, TheHoverLookFadesInAndOut) {
    PanelHarness panel;
    panel.type("quarterly");
    ASSERT_GE(panel.view->controller().results().size(), 2);
    panel.settleScreen();
    // Graphite's rows have a clear base: the list's background shows through.
    const LauncherTheme theme = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    const QRect row = inView(panel, panel.view->resultList()->rowRect(1));
    const QPoint inside(row.left() + 6, row.center().y());
    const QColor base = panel.grab().pixelColor(inside);
    const QColor hovered = composed(base, theme.hoverRowBackground);
    ASSERT_FALSE(near(base, hovered, 4)) << "the theme's hover must show";
    const QString identity = panelRowIdentity(panel.view->controller().results().at(1));

    const ResultListModel &model = panel.view->resultList()->resultModel();
    panel.view->controller().setHoveredResultIdentity(identity);
    EXPECT_LT(model.rowView(1).hoverAmount.value_or(1), 1.0) << "not at once";
    ASSERT_TRUE(test::waitUntil([&] { return near(panel.grab().pixelColor(inside), hovered, 3); },
                                std::chrono::milliseconds(1000)));

    panel.view->controller().setHoveredResultIdentity(std::nullopt);
    EXPECT_GT(model.rowView(1).hoverAmount.value_or(0), 0.0) << "not gone at once";
    EXPECT_TRUE(test::waitUntil([&] { return near(panel.grab().pixelColor(inside), base, 3); },
                                std::chrono::milliseconds(1000)));
}

// The fade's course: eased out over its 80 ms, from wherever the row's look was when the pointer moved.
TEST(RowHoverFade, EasesOutFromWhereTheLookWas) {
    using namespace std::chrono_literals;
    RowHoverFade fade;
    const RowHoverFade::Clock::time_point start{};
    const QString a = QStringLiteral("/a"), b = QStringLiteral("/b");
    fade.setHovered(a, start);
    EXPECT_EQ(fade.amount(a, start), 0.0);
    const qreal halfway = fade.amount(a, start + 40ms);
    EXPECT_GT(halfway, 0.5) << "easing out: more than half of the way in half of the time";
    EXPECT_LT(halfway, 1.0);
    EXPECT_EQ(fade.amount(a, start + 80ms), 1.0);
    EXPECT_TRUE(fade.isFading(start + 79ms));
    EXPECT_FALSE(fade.isFading(start + 80ms));

    // Moving on halfway through: one row fades out from where it was, the other in.
    fade.setHovered(b, start + 120ms);
    fade.setHovered(a, start + 160ms);
    const qreal bWhenLeft = fade.amount(b, start + 160ms);
    EXPECT_GT(bWhenLeft, 0.5);
    EXPECT_LT(fade.amount(b, start + 170ms), bWhenLeft);
    EXPECT_EQ(fade.amount(b, start + 240ms), 0.0);
    EXPECT_GT(fade.amount(a, start + 160ms), 0.0) << "fading in from its fading-out look";
    EXPECT_EQ(fade.amount(a, start + 240ms), 1.0);
    EXPECT_EQ(fade.amount(QStringLiteral("/other"), start + 160ms), 0.0);
}

TEST(ContentViewPaint, FooterOnlyForAnExactlyEmptyQueryWithoutRows) {
    struct Case {
        const char *name;
        bool versionOn;
        QString query;
        bool shown;
    } cases[] = {
        {"empty query", true, "", true},
        {"setting off", false, "", false},
        {"one space", true, " ", false},
        {"rows shown", true, "quarterly", false},
        {"no rows for the query", true, "zzzz-nothing", false},
    };
    for (const auto &c : cases) {
        PanelHarness panel([&](UserDefaults &defaults) {
            defaults.set(QStringLiteral("launcherShowVersionNumber"), c.versionOn);
        });
        if (!c.query.isEmpty())
            panel.type(c.query);
        EXPECT_EQ(panel.view->shouldShowVersionFooter(), c.shown) << c.name;
        const QImage image = panel.grab();
        const QRect area(image.width() - 16 - 200, image.height() - 8 - 12, 200, 12);
        if (c.shown) {
            EXPECT_GT(largestStep(image, area), 20) << c.name;
        } else if (panel.shownNames().isEmpty()) {
            EXPECT_LT(largestStep(image, area), 6) << c.name;
        }
    }
    PanelHarness panel;
    EXPECT_EQ(panel.view->versionFooterText(), QString::fromUtf8("v1.4.2 (abc123def456) \u2022 build ") +
                                                   QDateTime::fromSecsSinceEpoch(1709640000, QTimeZone::utc())
                                                       .toTimeZone(QTimeZone::systemTimeZone())
                                                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

TEST(ContentViewPaint, TheCaretIsDrawnInTheAccentColour) {
    PanelHarness panel;
    panel.type("quar");
    const LauncherTheme theme = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    SearchTextField *field = panel.view->searchField();
    ASSERT_TRUE(test::waitUntil([&] { return field->isCaretShown(); }));
    const QImage image = field->grab().toImage();
    int accent = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixelColor(x, y), theme.uiAccent, 3))
                ++accent;
    // A caret about two pixels wide and a line high.
    EXPECT_GE(accent, 2 * 20);
    EXPECT_LE(accent, 4 * QFontMetrics(field->font()).height());
}

} // namespace
} // namespace orvex
