#include "panel/ContentView.h"

#include "ContentViewTestSupport.h"
#include "PanelPaintTestSupport.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/ResultListView.h"
#include "panel/SearchTextField.h"
#include "panel/SnippetView.h"
#include "search/LauncherNotifications.h"
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

TEST(ContentViewPaint, PicturesInADarkAndALightTheme) {
    PanelHarness panel([](UserDefaults &defaults) { defaults.set(QStringLiteral("showSnippets"), true); });
    panel.type("quarterly");
    panel.key(Qt::Key_Down);
    for (const LauncherThemeID id : {LauncherThemeID::graphite, LauncherThemeID::daylight,
                                     LauncherThemeID::vitesseDarkSoft, LauncherThemeID::midnightBlue}) {
        useTheme(panel, id);
        const QImage image = panel.grab();
        test::saveScreenshot(image, "panel-" + rawValue(id));
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
