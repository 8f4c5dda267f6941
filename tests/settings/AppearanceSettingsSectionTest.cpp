#include "settings/AppearanceSettingsSection.h"
#include "settings/ThemePreviewCard.h"

#include "SettingsTestSupport.h"

#include "panel/LauncherThemeCatalog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

struct AppearanceFixture {
    AppearanceFixture()
        : section(AppearanceSettingsSection::Bindings{Binding<LauncherThemeID>::over(theme),
                                                      Binding<bool>::over(nativeIcons)}) {}

    LauncherThemeID theme = LauncherThemeID::graphite;
    bool nativeIcons = false;
    AppearanceSettingsSection section;

    QList<LauncherThemeID> selectedCards() const {
        QList<LauncherThemeID> selected;
        for (const ThemePreviewCard *card : section.grid()->cards())
            if (card->isSelected())
                selected.append(card->theme().id);
        return selected;
    }
};

TEST(AppearanceSettingsSection, ThePickerAndTheCardsShowOneChoice) {
    AppearanceFixture f;
    QComboBox *picker = f.section.themePicker();
    ASSERT_EQ(picker->count(), 12);
    ASSERT_EQ(f.section.grid()->cards().size(), 12);
    for (int i = 0; i < 12; ++i) {
        const LauncherThemeID id = allLauncherThemeIDs[static_cast<size_t>(i)];
        EXPECT_EQ(picker->itemText(i), LauncherThemeCatalog::theme(id).name);
        EXPECT_EQ(f.section.grid()->cards()[i]->theme().id, id);
    }
    EXPECT_EQ(f.selectedCards(), QList<LauncherThemeID>{LauncherThemeID::graphite});
    EXPECT_EQ(f.section.blurb()->text(), LauncherThemeCatalog::theme(LauncherThemeID::graphite).blurb);

    // A card: the binding, the picker, the badge and the blurb follow in the same update.
    f.section.grid()->cards()[9]->click();
    EXPECT_EQ(f.theme, LauncherThemeID::frost);
    EXPECT_EQ(picker->currentText(), LauncherThemeCatalog::theme(LauncherThemeID::frost).name);
    EXPECT_EQ(f.selectedCards(), QList<LauncherThemeID>{LauncherThemeID::frost});
    EXPECT_EQ(f.section.blurb()->text(), LauncherThemeCatalog::theme(LauncherThemeID::frost).blurb);
    EXPECT_FALSE(f.section.grid()->cards()[9]->geometry().badge.isEmpty());
    EXPECT_TRUE(f.section.grid()->cards()[0]->geometry().badge.isEmpty());

    // The picker.
    picker->setCurrentIndex(4);
    Q_EMIT picker->activated(4);
    EXPECT_EQ(f.theme, LauncherThemeID::midnightBlue);
    EXPECT_EQ(f.selectedCards(), QList<LauncherThemeID>{LauncherThemeID::midnightBlue});

    f.section.nativeIconsToggle()->click();
    EXPECT_TRUE(f.nativeIcons);
}

TEST(AppearanceSettingsSection, TheGridAddsColumnsOf190) {
    const std::pair<int, int> cases[] = {{100, 1}, {391, 1}, {392, 2}, {593, 2},
                                         {594, 3}, {997, 4}, {998, 5}};
    for (const auto &[width, columns] : cases)
        EXPECT_EQ(ThemePreviewGrid::columnCount(width), columns) << width;

    AppearanceFixture f;
    f.section.resize(460, 700);
    f.section.show();
    QCoreApplication::processEvents();
    const ThemePreviewGrid *grid = f.section.grid();
    const int columns = ThemePreviewGrid::columnCount(grid->width());
    // Each card fills its cell; cards of one row share a top edge.
    const QList<ThemePreviewCard *> &cards = grid->cards();
    const int cellWidth = (grid->width() - (columns - 1) * ThemePreviewGrid::gap) / columns;
    for (qsizetype i = 0; i < cards.size(); ++i) {
        EXPECT_EQ(cards[i]->width(), cellWidth);
        EXPECT_EQ(cards[i]->y(), cards[i - i % columns]->y());
    }
    EXPECT_GE(f.section.gridScrollArea()->height(), 220);
}

TEST(ThemePreviewCard, CutsALongNameToOneLineAndTheBlurbToTwo) {
    LauncherTheme theme = LauncherThemeCatalog::theme(LauncherThemeID::forest);
    theme.name = QString(60, QLatin1Char('N'));
    theme.blurb = QStringLiteral("word ").repeated(80);
    ThemePreviewCard card(theme, true);
    card.resize(200, card.heightForWidth(200));
    const ThemePreviewCard::Geometry g = card.geometry();
    EXPECT_LT(g.name.height(), 2 * QFontMetrics(ThemePreviewCard::nameFont()).lineSpacing());
    EXPECT_EQ(g.blurb.height(), 2 * QFontMetrics(ThemePreviewCard::blurbFont()).lineSpacing());
    EXPECT_EQ(g.miniature.height(), ThemePreviewCard::miniatureHeight);
    // The badge keeps its room beside the cut name.
    EXPECT_LT(g.name.right(), g.badge.left());
    EXPECT_LE(g.miniature.bottom(), card.height());
}

TEST(ThemePreviewCard, SamplesAreTheThreeFixedRows) {
    const ThemeMiniLauncherPreview preview(LauncherThemeCatalog::theme(LauncherThemeID::vitesseDarkSoft));
    const std::array<ResultRowView, 3> rows = preview.previewRows();
    EXPECT_EQ(rows[0].result.id(), -101);
    // An application as Linux has it: a desktop entry's name in the applications folder.
    EXPECT_EQ(rows[0].result.filename(), "Appearance");
    EXPECT_EQ(rows[0].result.directory(), "/usr/share/applications");
    EXPECT_TRUE(rows[0].isSelected && rows[0].showsSnippet());
    EXPECT_EQ(rows[1].result.kind(), SearchResultKind::folder);
    EXPECT_TRUE(!rows[1].isSelected && rows[1].isHovered);
    EXPECT_EQ(rows[2].result.action(), SearchResultAction::openSystemSettings);
    EXPECT_TRUE(!rows[2].isSelected && !rows[2].isHovered);
    // Vitesse colours each sample by its own kind.
    QSet<QRgb> titleColours;
    for (const ResultRowView &row : rows)
        titleColours.insert(row.theme.primaryTextColor(row.result, row.isSelected).rgba());
    EXPECT_EQ(titleColours.size(), 3);
}

// What the section shows: every theme's card side by side without overlap, each painting its sample
// rows in its own theme's colours, the chosen one marked (the picture is kept for a reviewer's eye).
TEST(AppearanceSettingsSection, EveryCardShowsItsThemesColoursInTheGrid) {
    AppearanceFixture f;
    f.theme = LauncherThemeID::daylight;
    f.section.refresh();
    f.section.resize(640, 1500);
    f.section.gridScrollArea()->setMinimumHeight(1200);
    f.section.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.section));
    const QImage image = f.section.grab().toImage();
    ASSERT_TRUE(image.save(test::screenshotDirectory() + QStringLiteral("/settings-theme-cards.png")));

    EXPECT_EQ(f.selectedCards(), QList<LauncherThemeID>{LauncherThemeID::daylight});
    QList<QRect> shown;
    for (const ThemePreviewCard *card : f.section.grid()->cards()) {
        const std::string name = card->theme().name.toStdString();
        const QRect area(card->mapTo(&f.section, QPoint(0, 0)), card->size());
        EXPECT_TRUE(card->isVisible() && QRect(QPoint(0, 0), f.section.size()).contains(area)) << name;
        for (const QRect &other : shown)
            EXPECT_FALSE(other.intersects(area)) << name;
        shown.append(area);
        EXPECT_EQ(card->accessibleName(), card->theme().name);
        int sample = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y), wanted = card->theme().selectedRowBackground;
                sample += std::abs(pixel.red() - wanted.red()) <= 6 &&
                          std::abs(pixel.green() - wanted.green()) <= 6 &&
                          std::abs(pixel.blue() - wanted.blue()) <= 6;
            }
        EXPECT_GT(sample, 200) << name << ": no selected sample row in its colour";
    }
}

} // namespace
} // namespace orvex
