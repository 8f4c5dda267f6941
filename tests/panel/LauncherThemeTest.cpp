#include "panel/LauncherTheme.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/ResultRowView.h"

#include <gtest/gtest.h>

#include <string>

namespace orvex {
namespace {

SearchResult row(SearchResultKind kind) {
    return SearchResult(SearchResultFields{.filename = QStringLiteral("name"), .kind = kind});
}

constexpr SearchResultKind kinds[] = {SearchResultKind::file, SearchResultKind::app, SearchResultKind::folder,
                                      SearchResultKind::action};

const char *kindName(SearchResultKind kind) {
    switch (kind) {
    case SearchResultKind::file:
        return "file";
    case SearchResultKind::app:
        return "app";
    case SearchResultKind::folder:
        return "folder";
    case SearchResultKind::action:
        return "action";
    }
    return "?";
}

QColor rgb(qreal red, qreal green, qreal blue) {
    return QColor::fromRgbF(red, green, blue);
}

// What one theme gives a row of one kind: title, location line and icon tint.
struct RowColors {
    QColor title, location, icon;
};

// The rules of the three Vitesse themes, kind by kind; `field` stands for "the theme's own field".
struct VitesseCase {
    LauncherThemeID theme;
    SearchResultKind kind;
    bool selected;
    RowColors expected;
};

TEST(LauncherThemeColorRules, VitesseThemesFollowTheirOwnTable) {
    const LauncherTheme syntax = LauncherThemeCatalog::theme(LauncherThemeID::vitesseDarkSoft);
    const LauncherTheme unified = LauncherThemeCatalog::theme(LauncherThemeID::vitesseDarkSoftUnified);
    const LauncherTheme rose = LauncherThemeCatalog::theme(LauncherThemeID::vitesseDarkSoftRoseHover);
    using K = SearchResultKind;
    const QColor warmLocation = rgb(0.79, 0.57, 0.46);
    QList<VitesseCase> cases = {
        {syntax.id, K::file, true, {rgb(0.88, 0.84, 0.77), rgb(0.80, 0.62, 0.52), rgb(0.84, 0.79, 0.70)}},
        {syntax.id, K::app, true, {rgb(0.92, 0.84, 0.55), rgb(0.80, 0.62, 0.52), rgb(0.92, 0.84, 0.55)}},
        {syntax.id, K::folder, true, {rgb(0.88, 0.63, 0.46), rgb(0.80, 0.62, 0.52), rgb(0.31, 0.62, 0.49)}},
        {syntax.id, K::action, true, {rgb(0.88, 0.52, 0.52), rgb(0.80, 0.62, 0.52), rgb(0.88, 0.52, 0.52)}},
        {syntax.id,
         K::file,
         false,
         {syntax.unselectedPrimaryText, rgb(0.75, 0.73, 0.67), syntax.actionIconColor}},
        {syntax.id, K::app, false, {rgb(0.90, 0.80, 0.47), warmLocation, rgb(0.90, 0.80, 0.47)}},
        {syntax.id, K::folder, false, {rgb(0.83, 0.59, 0.42), warmLocation, rgb(0.30, 0.58, 0.46)}},
        {syntax.id, K::action, false, {rgb(0.80, 0.46, 0.46), warmLocation, rgb(0.80, 0.46, 0.46)}},
    };
    // The unified and rose-hover themes use one style for every kind.
    for (const LauncherTheme &theme : {unified, rose}) {
        for (const K kind : kinds) {
            cases.append({theme.id,
                          kind,
                          true,
                          {rgb(0.90, 0.86, 0.79), rgb(0.79, 0.67, 0.57), rgb(0.72, 0.65, 0.40)}});
            cases.append(
                {theme.id,
                 kind,
                 false,
                 {theme.unselectedPrimaryText, theme.unselectedSecondaryText, theme.actionIconColor}});
        }
    }
    for (const VitesseCase &c : cases) {
        const LauncherTheme theme = LauncherThemeCatalog::theme(c.theme);
        const SearchResult result = row(c.kind);
        const std::string label = rawValue(c.theme).toStdString() + " " + kindName(c.kind) +
                                  (c.selected ? " selected" : " unselected");
        EXPECT_EQ(theme.primaryTextColor(result, c.selected), c.expected.title) << label;
        EXPECT_EQ(theme.secondaryTextColor(result, c.selected), c.expected.location) << label;
        EXPECT_EQ(theme.iconTintColor(result, c.selected), c.expected.icon) << label;
    }
}

TEST(LauncherThemeColorRules, OtherThemesTakeEveryColourFromTheirFields) {
    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        if (isVitesseTheme(theme.id))
            continue;
        for (const SearchResultKind kind : kinds) {
            const SearchResult result = row(kind);
            const std::string label = rawValue(theme.id).toStdString() + " " + kindName(kind);
            EXPECT_EQ(theme.primaryTextColor(result, true), theme.selectedPrimaryText) << label;
            EXPECT_EQ(theme.secondaryTextColor(result, true), theme.selectedSecondaryText) << label;
            EXPECT_EQ(theme.iconTintColor(result, true), theme.selectedPrimaryText) << label;
            EXPECT_EQ(theme.primaryTextColor(result, false), theme.unselectedPrimaryText) << label;
            EXPECT_EQ(theme.secondaryTextColor(result, false), theme.unselectedSecondaryText) << label;
            EXPECT_EQ(theme.iconTintColor(result, false), theme.actionIconColor) << label;
        }
    }
}

// What sets the three Vitesse themes apart in a row: a file is drawn as a tinted symbol instead of the
// file's own icon, and an app keeps its own icon only when real app icons are asked for.
TEST(LauncherThemeID, OnlyTheThreeVitesseThemesDrawRowsWithTintedSymbols) {
    const QList<LauncherThemeID> vitesse = {LauncherThemeID::vitesseDarkSoft,
                                            LauncherThemeID::vitesseDarkSoftUnified,
                                            LauncherThemeID::vitesseDarkSoftRoseHover};
    for (const LauncherThemeID id : allLauncherThemeIDs) {
        const std::string name = rawValue(id).toStdString();
        ResultRowView row;
        row.theme = LauncherThemeCatalog::theme(id);
        row.result = SearchResult(SearchResultFields{.filename = QStringLiteral("notes.txt"),
                                                     .directory = QStringLiteral("/home/u/Documents")});
        EXPECT_EQ(row.shouldUseSymbolIcon(), vitesse.contains(id)) << name;
        EXPECT_EQ(row.shouldUseNativeIcon(), !vitesse.contains(id)) << name;
        row.result = SearchResult(SearchResultFields{.filename = QStringLiteral("Editor"),
                                                     .directory = QStringLiteral("/usr/share/applications"),
                                                     .kind = SearchResultKind::app});
        EXPECT_EQ(row.shouldUseSymbolIcon(), vitesse.contains(id)) << name;
        row.useNativeAppIcons = true;
        EXPECT_TRUE(row.shouldUseNativeIcon()) << name;
    }
}

TEST(LauncherThemeGradient, LaysItsUnitPointsOverTheArea) {
    const LauncherThemeGradient diagonal{{Qt::red, Qt::blue}, {0, 0}, {1, 1}};
    const QLinearGradient gradient = diagonal.linearGradient(QRectF(10, 20, 200, 100));
    EXPECT_EQ(gradient.start(), QPointF(10, 20));
    EXPECT_EQ(gradient.finalStop(), QPointF(210, 120));
    ASSERT_EQ(gradient.stops().size(), 2);
    EXPECT_EQ(gradient.stops()[0], QGradientStop(0.0, QColor(Qt::red)));
    EXPECT_EQ(gradient.stops()[1], QGradientStop(1.0, QColor(Qt::blue)));

    const LauncherThemeGradient vertical{{Qt::red, Qt::blue}, {0.5, 0}, {0.5, 1}};
    EXPECT_EQ(vertical.linearGradient(QRectF(0, 0, 40, 30)).finalStop(), QPointF(20, 30));
}

} // namespace
} // namespace orvex
