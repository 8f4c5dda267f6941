#include "panel/LauncherThemeCatalog.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace orvex {
namespace {

// The theme tables in their published notation, one line per theme. #RRGGBB is an sRGB colour whose
// components are the hex values divided by 255 and rounded to two decimals; "/x" is an opacity;
// white, black, clear, yellow, primary and secondary are the named colours.
const char *const themeNameRows = R"table(
| 1 | `graphite` | "Graphite" | "Clean neutral dark theme similar to the current default." | #363638 → #262629; top → bottom |
| 2 | `vitesseDarkSoft` | "Vitesse Dark Soft (Syntax)" | "Vitesse with syntax-inspired per-result accents (yellow/rose/green)." | #212121 → #292929; top → bottom |
| 3 | `vitesseDarkSoftUnified` | "Vitesse Dark Soft (Unified)" | "Vitesse dark soft with a consistent warm text style and subtle accents." | #242424 → #1F1F1F; top → bottom |
| 4 | `vitesseDarkSoftRoseHover` | "Vitesse Dark Soft (Rose Hover)" | "Alternative hover style with a rose-tinted focus/hover emphasis." | #242424 → #1F1F1F; top → bottom |
| 5 | `midnightBlue` | "Midnight Blue" | "Deep navy shell with bright azure selection accents." | #141C2E → #0A0F1A; top leading → bottom trailing |
| 6 | `forest` | "Forest" | "Dark emerald palette inspired by green developer dashboards." | #12241C → #08140F; top leading → bottom trailing |
| 7 | `violetNoir` | "Violet Noir" | "Low-key violet base with crisp luminous purple highlights." | #1F1429 → #120D1A; top leading → bottom trailing |
| 8 | `sunset` | "Sunset" | "Warm orange-red contrast for a bold launcher look." | #331A0F → #1C0F0A; top leading → bottom |
| 9 | `roseDust` | "Rose Dust" | "Muted rose and slate tones with soft but clear selection states." | #301F26 → #1A1217; top leading → bottom trailing |
| 10 | `frost` | "Frost" | "Cool blue-green glass look inspired by classic launcher skins." | #12212E → #0D1721; top leading → bottom trailing |
| 11 | `ember` | "Ember" | "Warm dark style with amber accents and high contrast selection." | #301A14 → #170F0D; top leading → bottom |
| 12 | `daylight` | "Daylight" | "Bright neutral theme for users who prefer a lighter window style." | #F5F7FA → #EBF0F5; top → bottom |
)table";

const char *const themeColorRows = R"table(
| `graphite` | #303033 | white/0.12 | white/0.1 | #1C7DE8 | #1C7DE8/0.18 | white | white/0.82 | white/0.65 | yellow/0.32 | white/0.35 | clear | clear | #1C7DE8 | clear | clear | primary | secondary | secondary |
| `vitesseDarkSoft` | #292929 | #262626 | #2E2E2E | #2E2E2E | #292929 | #DBD6C9 | #BFBAAB | #E6CC78 | #E6CC78/0.26 | #E6CC78/0.4 | #212121/0.92 | #212121/0.88 | #4D9475 | #E6CC78/0.38 | #C99175/0.22 | #DBD6C9 | #BFBAAB | #4D9475 |
| `vitesseDarkSoftUnified` | #2B2B2B | #333333 | #383838 | #2E3033 | #292B2E | #E6DBC4 | #C9AB91 | #B8A666 | #C98A7D/0.26 | #C98A7D/0.4 | #212121/0.92 | #242424/0.88 | #4F9473 | #B8A666/0.38 | #4F9473/0.24 | #D6CFBA | #B8A891 | #B8A666 |
| `vitesseDarkSoftRoseHover` | #2B2B2B | #333333 | #383838 | #3B2B2B | #332929 | #E6DBC9 | #C9AB91 | #C98A7D | #C98A7D/0.3 | #C98A7D/0.45 | #212121/0.92 | #242424/0.88 | #C98A7D | #C98A7D/0.45 | #C98A7D/0.28 | #D6CFBA | #B8A891 | #C98A7D |
| `midnightBlue` | #12243B/0.92 | #5794FC/0.26 | #5794FC/0.24 | #2E70F5 | #2E70F5/0.22 | white | white/0.86 | white/0.74 | #5C96FC/0.3 | white/0.38 | clear | clear | #2E70F5 | clear | clear | primary | secondary | secondary |
| `forest` | #142E21/0.92 | #47C985/0.22 | #47C985/0.24 | #2EAD6E | #2EAD6E/0.22 | white | white/0.86 | white/0.74 | #69E3A8/0.3 | white/0.4 | clear | clear | #2EAD6E | clear | clear | primary | secondary | secondary |
| `violetNoir` | #261A33/0.92 | #B585F2/0.22 | #B585F2/0.24 | #8F5CE6 | #8F5CE6/0.22 | white | white/0.86 | white/0.74 | #C299FA/0.3 | white/0.38 | clear | clear | #8F5CE6 | clear | clear | primary | secondary | secondary |
| `sunset` | #3D1F14/0.92 | #FF944F/0.24 | #FF944F/0.26 | #F26B2E | #F26B2E/0.22 | white | white/0.86 | white/0.74 | #FFB059/0.3 | white/0.38 | clear | clear | #F26B2E | clear | clear | primary | secondary | secondary |
| `roseDust` | #38212B/0.92 | #F2789E/0.2 | #F2789E/0.22 | #D16191 | #D16191/0.2 | white | white/0.86 | white/0.74 | #F7A3C2/0.3 | white/0.4 | clear | clear | #D16191 | clear | clear | primary | secondary | secondary |
| `frost` | #142B38/0.92 | #66BAC4/0.24 | #66BAC4/0.22 | #3DA8B5 | #3DA8B5/0.2 | white | white/0.86 | white/0.74 | #61DBE6/0.28 | white/0.4 | clear | clear | #3DA8B5 | clear | clear | primary | secondary | secondary |
| `ember` | #3B1F17/0.9 | #FF994A/0.2 | #FF994A/0.22 | #ED6E38 | #ED6E38/0.18 | white | white/0.86 | white/0.74 | #FFB854/0.32 | white/0.38 | clear | clear | #ED6E38 | clear | clear | primary | secondary | secondary |
| `daylight` | white/0.98 | black/0.12 | black/0.14 | #D6E6F5 | #E3EDF7 | #1F2429 | #4F5969 | #3385ED | #F2D673/0.36 | #F2D673/0.48 | white/0.97 | white/0.92 | #3D7A6B | #3D7A6B/0.28 | black/0.08 | #1F2429 | #596373 | #3D7A6B |
)table";

const QStringList colorFields = {
    QStringLiteral("searchBarBackground"),
    QStringLiteral("divider"),
    QStringLiteral("border"),
    QStringLiteral("selectedRowBackground"),
    QStringLiteral("hoverRowBackground"),
    QStringLiteral("selectedPrimaryText"),
    QStringLiteral("selectedSecondaryText"),
    QStringLiteral("selectedIndicator"),
    QStringLiteral("snippetHighlight"),
    QStringLiteral("snippetHighlightSelected"),
    QStringLiteral("listBackground"),
    QStringLiteral("rowBaseBackground"),
    QStringLiteral("uiAccent"),
    QStringLiteral("selectedRowStroke"),
    QStringLiteral("hoverRowStroke"),
    QStringLiteral("unselectedPrimaryText"),
    QStringLiteral("unselectedSecondaryText"),
    QStringLiteral("actionIconColor"),
};

QColor field(const LauncherTheme &theme, const QString &name) {
    const QList<std::pair<QString, QColor>> fields = {
        {QStringLiteral("searchBarBackground"), theme.searchBarBackground},
        {QStringLiteral("divider"), theme.divider},
        {QStringLiteral("border"), theme.border},
        {QStringLiteral("selectedRowBackground"), theme.selectedRowBackground},
        {QStringLiteral("hoverRowBackground"), theme.hoverRowBackground},
        {QStringLiteral("selectedPrimaryText"), theme.selectedPrimaryText},
        {QStringLiteral("selectedSecondaryText"), theme.selectedSecondaryText},
        {QStringLiteral("selectedIndicator"), theme.selectedIndicator},
        {QStringLiteral("snippetHighlight"), theme.snippetHighlight},
        {QStringLiteral("snippetHighlightSelected"), theme.snippetHighlightSelected},
        {QStringLiteral("listBackground"), theme.listBackground},
        {QStringLiteral("rowBaseBackground"), theme.rowBaseBackground},
        {QStringLiteral("uiAccent"), theme.uiAccent},
        {QStringLiteral("selectedRowStroke"), theme.selectedRowStroke},
        {QStringLiteral("hoverRowStroke"), theme.hoverRowStroke},
        {QStringLiteral("unselectedPrimaryText"), theme.unselectedPrimaryText},
        {QStringLiteral("unselectedSecondaryText"), theme.unselectedSecondaryText},
        {QStringLiteral("actionIconColor"), theme.actionIconColor},
    };
    for (const auto &[fieldName, color] : fields)
        if (fieldName == name)
            return color;
    ADD_FAILURE() << "no field " << name.toStdString();
    return {};
}

// Two decimals, halves up, in integer arithmetic: the hex value v gives round(100 v / 255).
qreal twoDecimalFraction(const QString &hexByte) {
    bool ok = false;
    const int value = hexByte.toInt(&ok, 16);
    EXPECT_TRUE(ok) << hexByte.toStdString();
    return ((value * 200 + 255) / 510) / 100.0;
}

QColor colorFromNotation(const QString &notation) {
    const QStringList parts = notation.trimmed().split(QLatin1Char('/'));
    const qreal opacity = parts.size() > 1 ? parts[1].toDouble() : 1.0;
    const QString &base = parts[0];
    if (base.startsWith(QLatin1Char('#')) && base.size() == 7)
        return QColor::fromRgbF(twoDecimalFraction(base.mid(1, 2)), twoDecimalFraction(base.mid(3, 2)),
                                twoDecimalFraction(base.mid(5, 2)), opacity);
    if (base == QLatin1String("white"))
        return LauncherNamedColor::white(opacity);
    if (base == QLatin1String("black"))
        return LauncherNamedColor::black(opacity);
    if (base == QLatin1String("clear") && parts.size() == 1)
        return LauncherNamedColor::clear();
    if (base == QLatin1String("yellow"))
        return LauncherNamedColor::yellow(opacity);
    if (base == QLatin1String("primary"))
        return LauncherNamedColor::primaryLabel(opacity);
    if (base == QLatin1String("secondary"))
        return LauncherNamedColor::secondaryLabel(opacity);
    ADD_FAILURE() << "unreadable colour " << notation.toStdString();
    return {};
}

QPointF unitPoint(const QString &name) {
    if (name == QLatin1String("top"))
        return {0.5, 0};
    if (name == QLatin1String("bottom"))
        return {0.5, 1};
    if (name == QLatin1String("top leading"))
        return {0, 0};
    if (name == QLatin1String("bottom trailing"))
        return {1, 1};
    ADD_FAILURE() << "unknown point " << name.toStdString();
    return {};
}

// The cells of each table line, without the outer bars.
QList<QStringList> tableRows(const char *table) {
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(table).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QStringList cells = line.split(QLatin1Char('|'));
        cells = cells.mid(1, cells.size() - 2);
        for (QString &cell : cells)
            cell = cell.trimmed();
        rows.append(cells);
    }
    return rows;
}

QString unquoted(QString text) {
    return text.remove(QLatin1Char('`')).remove(QLatin1Char('"'));
}

std::string describe(const QColor &color) {
    return QStringLiteral("%1/%2/%3 a%4")
        .arg(color.redF())
        .arg(color.greenF())
        .arg(color.blueF())
        .arg(color.alphaF())
        .toStdString();
}

TEST(LauncherThemeCatalog, HoldsOneThemePerIdInTheIdsOrder) {
    const QList<LauncherTheme> &all = LauncherThemeCatalog::all();
    ASSERT_EQ(all.size(), qsizetype(allLauncherThemeIDs.size()));
    for (size_t i = 0; i < allLauncherThemeIDs.size(); ++i) {
        EXPECT_EQ(all[qsizetype(i)].id, allLauncherThemeIDs[i]) << i;
        EXPECT_EQ(LauncherThemeCatalog::theme(allLauncherThemeIDs[i]), all[qsizetype(i)]) << i;
    }
}

TEST(LauncherThemeCatalog, NamesBlurbsAndGradientsMatchTheTable) {
    const QList<QStringList> rows = tableRows(themeNameRows);
    ASSERT_EQ(rows.size(), 12);
    const QRegularExpression gradientForm(QStringLiteral("^(\\S+) → (\\S+); (.+) → (.+)$"));
    for (const QStringList &row : rows) {
        ASSERT_EQ(row.size(), 5);
        const auto id = launcherThemeIDFromRawValue(unquoted(row[1]));
        ASSERT_TRUE(id) << row[1].toStdString();
        const LauncherTheme theme = LauncherThemeCatalog::theme(*id);
        EXPECT_EQ(theme.id, *id);
        EXPECT_EQ(LauncherThemeCatalog::all().indexOf(theme) + 1, row[0].toInt()) << row[1].toStdString();
        EXPECT_EQ(theme.name, unquoted(row[2]));
        EXPECT_EQ(theme.blurb, unquoted(row[3]));
        const auto match = gradientForm.match(row[4]);
        ASSERT_TRUE(match.hasMatch()) << row[4].toStdString();
        const LauncherThemeGradient expected{
            {colorFromNotation(match.captured(1)), colorFromNotation(match.captured(2))},
            unitPoint(match.captured(3)),
            unitPoint(match.captured(4))};
        EXPECT_EQ(theme.backgroundGradient, expected) << row[1].toStdString();
    }
}

TEST(LauncherThemeCatalog, EveryColourOfEveryThemeMatchesTheTable) {
    const QList<QStringList> rows = tableRows(themeColorRows);
    ASSERT_EQ(rows.size(), 12);
    for (const QStringList &row : rows) {
        ASSERT_EQ(row.size(), 1 + colorFields.size());
        const auto id = launcherThemeIDFromRawValue(unquoted(row[0]));
        ASSERT_TRUE(id) << row[0].toStdString();
        const LauncherTheme theme = LauncherThemeCatalog::theme(*id);
        for (qsizetype i = 0; i < colorFields.size(); ++i) {
            const QColor expected = colorFromNotation(row[i + 1]);
            const QColor actual = field(theme, colorFields[i]);
            EXPECT_EQ(actual, expected) << row[0].toStdString() << " " << colorFields[i].toStdString() << ": "
                                        << describe(actual) << " instead of " << row[i + 1].toStdString();
        }
    }
    // Two of them written out, so that a misreading of the notation shared by the table's reader and the
    // catalog cannot pass: hex digits stand for fractions rounded to two decimals.
    const LauncherTheme graphite = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    EXPECT_EQ(graphite.searchBarBackground, QColor::fromRgbF(0.19, 0.19, 0.20))
        << describe(graphite.searchBarBackground);
    EXPECT_EQ(graphite.hoverRowBackground, QColor::fromRgbF(0.11, 0.49, 0.91, 0.18))
        << describe(graphite.hoverRowBackground);
}

} // namespace
} // namespace orvex
