#include "panel/ResultRowView.h"

#include "PanelPaintTestSupport.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/SymbolImages.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::composed;
using test::makeRow;
using test::near;

// Images handed out by the test: solid squares whose colours tell which rule chose them.
class FakeIcons final : public ResultRowIcons {
public:
    QImage fileIcon(const QString &path) override {
        requested.append(path);
        return loaded ? solid(Qt::magenta) : QImage();
    }
    std::optional<QImage> remoteDocumentImage(CustomFileIconKind) override {
        if (!remoteLoaded)
            return std::nullopt;
        return solid(Qt::cyan);
    }
    QImage systemSettingsIcon() override { return solid(QColor(60, 60, 60)); }
    std::optional<QImage> notionAppIcon() override {
        if (!notionInstalled)
            return std::nullopt;
        return solid(Qt::darkBlue);
    }
    QImage pdfTypeIcon() override { return solid(Qt::darkRed); }

    static QImage solid(const QColor &color) {
        QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(color);
        return image;
    }

    bool loaded = true;
    bool remoteLoaded = true;
    bool notionInstalled = true;
    QStringList requested;
};

ResultRowView rowOf(const SearchResult &result, LauncherThemeID theme = LauncherThemeID::graphite) {
    ResultRowView row;
    row.result = result;
    row.theme = LauncherThemeCatalog::theme(theme);
    return row;
}

SearchResult actionRow(std::optional<SearchResultAction> action) {
    SearchResultFields fields;
    fields.id = -7;
    fields.filename = QStringLiteral("Action");
    fields.kind = SearchResultKind::action;
    fields.action = action;
    return SearchResult(fields);
}

const QColor base(128, 128, 128);

QImage paintRow(const ResultRowView &row, ResultRowIcons *icons, int width = 600) {
    const int height = row.heightForWidth(width);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(base);
    QPainter painter(&image);
    row.paint(painter, image.rect(), icons);
    return image;
}

// The side of the square of opaque pixels drawn in the icon frame, and their colour at its centre.
struct IconSeen {
    int side = 0;
    QColor centre;
};

IconSeen iconSeen(const ResultRowView &row, ResultRowIcons *icons) {
    const QImage image = paintRow(row, icons);
    const QRect frame = row.geometry(image.rect()).icon;
    // The row's own fill, from its empty left padding.
    const QColor fill = image.pixelColor(6, image.height() / 2);
    int top = frame.bottom(), bottom = frame.top();
    for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = frame.left(); x <= frame.right(); ++x)
            if (image.pixelColor(x, y) != fill) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return {bottom >= top ? bottom - top + 1 : 0, image.pixelColor(frame.center())};
}

TEST(ResultRowView, CustomIconsByLowercasedSuffixOfFilesOnly) {
    struct Case {
        QString name;
        SearchResultKind kind;
        std::optional<CustomFileIconKind> expected;
    } cases[] = {
        {"Budget.GSHEET", SearchResultKind::file, CustomFileIconKind::googleSheets},
        {"plan.gdoc", SearchResultKind::file, CustomFileIconKind::googleDocs},
        {"deck.gslides", SearchResultKind::file, CustomFileIconKind::googleSlides},
        {"paper.Pdf", SearchResultKind::file, CustomFileIconKind::pdf},
        {"notes.pdf.txt", SearchResultKind::file, std::nullopt},
        {"Archive.pdf", SearchResultKind::folder, std::nullopt},
        {"viewer.pdf", SearchResultKind::app, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rowOf(makeRow(c.name, c.kind)).customFileIcon(), c.expected) << c.name.toStdString();
}

TEST(ResultRowView, SymbolNamesByKindAndAction) {
    struct Case {
        SearchResult result;
        const char *symbol;
    } cases[] = {
        {makeRow("a", SearchResultKind::file), "doc.fill"},
        {makeRow("a", SearchResultKind::app), "app.fill"},
        {makeRow("a", SearchResultKind::folder), "folder.fill"},
        {actionRow(SearchResultAction::copyToClipboard), "equal.circle"},
        {actionRow(SearchResultAction::focusBrowserTab), "globe"},
        {actionRow(SearchResultAction::openBrowserFavorite), "bookmark.fill"},
        {actionRow(SearchResultAction::openSystemSettings), "gearshape.fill"},
        {actionRow(SearchResultAction::openNotionPage), "doc.richtext"},
        {actionRow(SearchResultAction::openSettings), "slider.horizontal.3"},
        {actionRow(std::nullopt), "slider.horizontal.3"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ResultRowView::symbolName(c.result), QString(c.symbol)) << c.symbol;
        EXPECT_TRUE(SymbolImages::exists(c.symbol)) << c.symbol;
    }
}

// What a screen reader says a row is, which on screen only the icon tells. The action rows are made as
// their sources make them.
TEST(ResultRowView, EveryKindOfRowIsNamedInWords) {
    const auto action = [](SearchResultAction kind, std::optional<QString> snippet,
                           std::optional<QString> address) {
        SearchResultFields fields;
        fields.id = -3;
        fields.filename = QStringLiteral("Row");
        fields.kind = SearchResultKind::action;
        fields.action = kind;
        fields.snippet = std::move(snippet);
        fields.actionURLString = std::move(address);
        return SearchResult(fields);
    };
    const QString page = QStringLiteral("https://example.org/");
    const QString dictionary = QStringLiteral("https://dict.example.org/?q=Haus#onlinedict");
    const struct {
        const char *what;
        SearchResult result;
        const char *kind;
    } cases[] = {
        {"document", makeRow("report.pdf", SearchResultKind::file), "Document"},
        {"application", makeRow("Text Editor", SearchResultKind::app), "Application"},
        {"folder", makeRow("Projects", SearchResultKind::folder), "Folder"},
        {"settings pane", action(SearchResultAction::openSystemSettings, std::nullopt, "settings://display"),
         "Settings pane"},
        {"open tab", action(SearchResultAction::focusBrowserTab, page, page), "Browser tab"},
        {"bookmark: its snippet is its address", action(SearchResultAction::openBrowserFavorite, page, page),
         "Bookmark"},
        {"dictionary look-up of a translation",
         action(SearchResultAction::openBrowserFavorite, "Haus", dictionary), "Translation"},
        {"calculator: no snippet", action(SearchResultAction::copyToClipboard, std::nullopt, "4"),
         "Calculation"},
        {"translation to copy", action(SearchResultAction::copyToClipboard, "Haus", "house"), "Translation"},
        {"translation that left the text as it was",
         action(SearchResultAction::copyToClipboard, "Haus", "Haus"), "Translation"},
        {"Notion page", action(SearchResultAction::openNotionPage, std::nullopt, page), "Notion page"},
        {"the launcher's settings", actionRow(SearchResultAction::openSettings), "Launcher settings"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ResultRowView::kindAccessibleLabel(c.result).toStdString(), c.kind) << c.what;
}

TEST(ResultRowView, IconRulesPickTheRightImageAndSize) {
    struct Case {
        const char *name;
        SearchResult result;
        LauncherThemeID theme;
        bool useNativeAppIcons;
        bool iconLoaded;
        bool remoteLoaded;
        bool notionInstalled;
        int side;
        std::optional<QColor> centre; // none: a tinted symbol
        bool looksUpFileIcon;
    } cases[] = {
        {"file, icon loaded", makeRow("a.txt"), LauncherThemeID::graphite, false, true, true, true, 32,
         QColor(Qt::magenta), true},
        {"file, icon not yet loaded", makeRow("a.txt"), LauncherThemeID::graphite, false, false, true, true,
         32, std::nullopt, true},
        {"pdf in any theme", makeRow("a.pdf"), LauncherThemeID::vitesseDarkSoft, false, true, true, true, 32,
         QColor(Qt::darkRed), false},
        {"sheet loaded", makeRow("a.gsheet"), LauncherThemeID::graphite, false, true, true, true, 24,
         QColor(Qt::cyan), false},
        {"sheet loading", makeRow("a.gsheet"), LauncherThemeID::graphite, false, true, false, true, 18,
         std::nullopt, false},
        {"settings pane", actionRow(SearchResultAction::openSystemSettings), LauncherThemeID::graphite, false,
         true, true, true, 32, QColor(60, 60, 60), false},
        {"notion with the app", actionRow(SearchResultAction::openNotionPage),
         LauncherThemeID::vitesseDarkSoft, false, true, true, true, 32, QColor(Qt::darkBlue), false},
        {"notion without the app", actionRow(SearchResultAction::openNotionPage), LauncherThemeID::graphite,
         false, true, true, false, 28, std::nullopt, false},
        {"vitesse app, native off", makeRow("Editor", SearchResultKind::app),
         LauncherThemeID::vitesseDarkSoft, false, true, true, true, 18, std::nullopt, false},
        {"vitesse app, native on", makeRow("Editor", SearchResultKind::app),
         LauncherThemeID::vitesseDarkSoftUnified, true, true, true, true, 32, QColor(Qt::magenta), true},
        {"vitesse file, native on", makeRow("a.txt"), LauncherThemeID::vitesseDarkSoftRoseHover, true, true,
         true, true, 18, std::nullopt, false},
    };
    for (const auto &c : cases) {
        FakeIcons icons;
        icons.loaded = c.iconLoaded;
        icons.remoteLoaded = c.remoteLoaded;
        icons.notionInstalled = c.notionInstalled;
        ResultRowView row = rowOf(c.result, c.theme);
        row.useNativeAppIcons = c.useNativeAppIcons;
        const IconSeen seen = iconSeen(row, &icons);
        // Symbols are drawings inside their box; allow their own margins.
        if (c.centre) {
            EXPECT_EQ(seen.side, c.side) << c.name;
            EXPECT_EQ(seen.centre.rgb(), c.centre->rgb()) << c.name;
        } else {
            EXPECT_LE(seen.side, c.side) << c.name;
            EXPECT_GE(seen.side, c.side * 3 / 4) << c.name;
        }
        EXPECT_EQ(!icons.requested.isEmpty(), c.looksUpFileIcon) << c.name;
    }
}

TEST(ResultRowView, SubtitleBadgeAndHintFollowTheFlags) {
    SearchResult scored = makeRow("report.txt", SearchResultKind::file, 10000);
    ResultRowView row = rowOf(scored);
    EXPECT_FALSE(row.showsBadge());
    row.showScore = true;
    EXPECT_TRUE(row.showsBadge());
    EXPECT_EQ(row.badgeAccessibleLabel(), QStringLiteral("Search score 10000"));
    EXPECT_FALSE(rowOf(makeRow("x")).showsBadge());

    row.activationMode = ResultActivationMode::revealInFileBrowser;
    row.isHovered = true;
    EXPECT_EQ(row.subtitleText(), scored.directory());
    row.isSelected = true;
    EXPECT_EQ(row.subtitleText(), QStringLiteral("Reveal in File Browser"));
    row.activationMode = ResultActivationMode::open;
    EXPECT_EQ(row.subtitleText(), scored.directory());
}

TEST(ResultRowView, MinimumHeightOnlyWithoutASnippet) {
    ResultRowView row =
        rowOf(makeRow("a.txt", SearchResultKind::file, std::nullopt, QString("some <mark>x</mark>")));
    EXPECT_EQ(row.heightForWidth(600), ResultRowView::minimumHeight);
    row.showSnippets = true;
    const int withSnippet = row.heightForWidth(600);
    EXPECT_NE(withSnippet, ResultRowView::minimumHeight);
    // Title, gap, location, gap, padding, one snippet line and the row's padding.
    EXPECT_GT(withSnippet, 32 + 16);
    row.result = makeRow("a.txt");
    EXPECT_EQ(row.heightForWidth(600), ResultRowView::minimumHeight);
}

TEST(ResultRowView, BackgroundsFollowSelectionAndHoverInEveryTheme) {
    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        for (const auto &[selected, hovered] :
             {std::pair{false, false}, {false, true}, {true, false}, {true, true}}) {
            ResultRowView row = rowOf(makeRow("a.txt"), theme.id);
            row.isSelected = selected;
            row.isHovered = hovered;
            const QImage image = paintRow(row, nullptr);
            const QColor fill = selected  ? theme.selectedRowBackground
                                : hovered ? theme.hoverRowBackground
                                          : theme.rowBaseBackground;
            // The left padding holds nothing but the row's fill.
            const QPoint inside(6, image.height() / 2);
            const std::string name =
                theme.name.toStdString() + (selected ? " selected" : "") + (hovered ? " hovered" : "");
            EXPECT_TRUE(near(image.pixelColor(inside), composed(base, fill))) << name;
            // Outside the rounded corner the row paints nothing.
            EXPECT_EQ(image.pixelColor(0, 0), base) << name;
        }
    }
}

TEST(ResultRowView, ALongNameIsElidedAndNeverCoversTheBadge) {
    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        for (const bool selected : {false, true}) {
            ResultRowView longRow =
                rowOf(makeRow(QString(300, QLatin1Char('W')), SearchResultKind::file, 4242), theme.id);
            longRow.showScore = true;
            longRow.isSelected = selected;
            ResultRowView emptyRow = longRow;
            emptyRow.result = makeRow(QString(), SearchResultKind::file, 4242);
            const QImage withName = paintRow(longRow, nullptr);
            const QImage withoutName = paintRow(emptyRow, nullptr);
            const auto g = longRow.geometry(withName.rect());
            const std::string name = theme.name.toStdString() + (selected ? " selected" : "");
            // From the end of the title column to the row's end (gap, badge, hint) nothing changes.
            for (int x = g.title.right() + 1; x < withName.width(); ++x)
                for (int y = 0; y < withName.height(); ++y)
                    ASSERT_EQ(withName.pixel(x, y), withoutName.pixel(x, y))
                        << name << " at " << x << "," << y;
            // The name is drawn up to near the end of its column.
            int lastInk = -1;
            for (int x = g.title.left(); x <= g.title.right(); ++x)
                if (withName.pixel(x, g.title.center().y()) != withoutName.pixel(x, g.title.center().y()))
                    lastInk = x;
            EXPECT_GT(lastInk, g.title.right() - 30) << name;
        }
    }
}

TEST(ResultRowView, ReusableForPreviewsWithoutIconSources) {
    QImage image(360, 3 * 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(base);
    QPainter painter(&image);
    const SearchResult rows[] = {makeRow("Editor", SearchResultKind::app),
                                 makeRow("Projects", SearchResultKind::folder), makeRow("notes.txt")};
    for (int i = 0; i < 3; ++i) {
        ResultRowView row = rowOf(rows[i], LauncherThemeID::daylight);
        row.isSelected = i == 0;
        row.paint(painter, QRect(0, i * 60, 360, 56), nullptr);
    }
    painter.end();
    // Something is drawn in each row's icon frame.
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(image.pixelColor(16 + 16, i * 60 + 28), base) << i;
}

} // namespace
} // namespace orvex
