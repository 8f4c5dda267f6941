#include "panel/SnippetView.h"

#include "PanelPaintTestSupport.h"
#include "panel/LauncherThemeCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::composed;
using test::makeRow;
using test::near;

struct Piece {
    QString text;
    bool highlighted;
};

QList<Piece> pieces(const QList<SnippetView::Run> &runs) {
    QList<Piece> out;
    for (const auto &run : runs)
        out.append({run.text, run.background.has_value()});
    return out;
}

bool operator==(const Piece &a, const Piece &b) {
    return a.text == b.text && a.highlighted == b.highlighted;
}

void PrintTo(const Piece &piece, std::ostream *out) {
    *out << (piece.highlighted ? "[" : "'") << piece.text.toStdString() << (piece.highlighted ? "]" : "'");
}

TEST(SnippetView, RunsFollowTheMarksAndStayPlainText) {
    struct Case {
        const char *name;
        QString snippet;
        QList<Piece> expected;
    } cases[] = {
        {"three runs",
         "alpha <mark>beta</mark> gamma",
         {{"alpha ", false}, {"beta", true}, {" gamma", false}}},
        {"no tags", "just text", {{"just text", false}}},
        {"empty", "", {}},
        {"tags only", "<mark></mark>", {}},
        {"line breaks become spaces",
         "one\ntwo\r\nthree\u2028four\u2029five\rsix",
         {{"one two  three four five six", false}}},
        {"unclosed mark runs to the next one",
         "a <mark>b c <mark>d</mark> e",
         {{"a ", false}, {"b c ", true}, {"d", true}, {" e", false}}},
        {"stray closing tags stay",
         "x</mark> <mark>y</mark> z</mark>",
         {{"x</mark> ", false}, {"y", true}, {" z</mark>", false}}},
        {"other markup is text",
         "<b>bold</b> &amp; <mark><i>it</i></mark>",
         {{"<b>bold</b> &amp; ", false}, {"<i>it</i>", true}}},
    };
    const LauncherTheme theme = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    for (const auto &c : cases) {
        const SnippetView view{c.snippet, makeRow("doc.txt"), false, theme};
        EXPECT_EQ(pieces(view.runs()), c.expected) << c.name;
    }
}

TEST(SnippetView, ColoursComeFromTheThemeForEverySelectionState) {
    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        for (const auto kind : {SearchResultKind::file, SearchResultKind::app}) {
            const SearchResult row = makeRow("doc.txt", kind);
            for (const bool selected : {false, true}) {
                const SnippetView view{"a <mark>b</mark>", row, selected, theme};
                const auto runs = view.runs();
                ASSERT_EQ(runs.size(), 2);
                const std::string name = theme.name.toStdString() + (selected ? " selected" : "");
                EXPECT_EQ(runs[0].foreground, theme.secondaryTextColor(row, selected)) << name;
                EXPECT_FALSE(runs[0].background.has_value()) << name;
                EXPECT_EQ(runs[1].foreground, theme.primaryTextColor(row, selected)) << name;
                EXPECT_EQ(runs[1].background,
                          selected ? theme.snippetHighlightSelected : theme.snippetHighlight)
                    << name;
            }
        }
    }
}

TEST(SnippetView, NeverMoreThanTwoLines) {
    const LauncherTheme theme = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    const qreal line = QFontMetricsF(SnippetView::font()).height();
    QString longText;
    for (int i = 0; i < 80; ++i)
        longText += QStringLiteral("word%1 <mark>hit</mark> ").arg(i);
    struct Case {
        const char *name;
        QString snippet;
        qreal height;
    } cases[] = {
        {"short", "short <mark>one</mark>", line},
        {"long", longText, 2 * line},
        {"long without spaces", QString(600, QLatin1Char('x')), 2 * line},
        {"many line breaks", QString("a\n").repeated(50), 2 * line},
        {"empty", "", 0},
    };
    for (const auto &c : cases) {
        const SnippetView view{c.snippet, makeRow("doc.txt"), false, theme};
        EXPECT_DOUBLE_EQ(view.heightForWidth(300), c.height) << c.name;
    }
}

// Paints the snippet over an opaque base and reads the colour in the top row of the line box, which
// glyphs do not reach, so only backgrounds show there.
TEST(SnippetView, OnlyTheHighlightedWordHasABackground) {
    const QColor base(128, 128, 128);
    const QString prefix = QStringLiteral("plain words ");
    const QString word = QStringLiteral("MATCH");
    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        for (const bool selected : {false, true}) {
            const SnippetView view{prefix + "<mark>" + word + "</mark> after", makeRow("a.txt"), selected,
                                   theme};
            QImage image(400, 30, QImage::Format_ARGB32_Premultiplied);
            image.fill(base);
            QPainter painter(&image);
            view.paint(painter, QRectF(0, 0, 400, 30));
            painter.end();
            const QFontMetricsF metrics(SnippetView::font());
            const int start = int(std::ceil(metrics.horizontalAdvance(prefix)));
            const int end = int(metrics.horizontalAdvance(prefix + word));
            const QColor highlight =
                composed(base, selected ? theme.snippetHighlightSelected : theme.snippetHighlight);
            const std::string name = theme.name.toStdString() + (selected ? " selected" : "");
            EXPECT_TRUE(near(image.pixelColor((start + end) / 2, 0), highlight)) << name;
            EXPECT_TRUE(near(image.pixelColor(start + 1, 0), highlight)) << name;
            EXPECT_TRUE(near(image.pixelColor(2, 0), base)) << name;
            EXPECT_TRUE(near(image.pixelColor(end + 8, 0), base)) << name;
        }
    }
}

} // namespace
} // namespace orvex
