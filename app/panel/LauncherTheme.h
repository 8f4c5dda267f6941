#pragma once

#include "panel/LauncherThemeID.h"
#include "search/DatabaseTypes.h"

#include <QColor>
#include <QLinearGradient>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace orvex {

// The desktop's named colours, as fixed sRGB values of our own so that every theme looks the same on
// every desktop: white 1/1/1, black 0/0/0, clear 0/0/0 at opacity 0, yellow 1.00/0.80/0.00, and the
// label colours of a dark panel: primary white at 0.85, secondary white at 0.55. The opacity given
// multiplies the colour's own.
namespace LauncherNamedColor {
QColor white(qreal opacity = 1);
QColor black(qreal opacity = 1);
QColor clear();
QColor yellow(qreal opacity = 1);
QColor primaryLabel(qreal opacity = 1);
QColor secondaryLabel(qreal opacity = 1);
} // namespace LauncherNamedColor

// A linear gradient between two unit points of the area it fills ((0, 0) is the top-left corner,
// (1, 1) the bottom-right one).
struct LauncherThemeGradient {
    QList<QColor> colors;
    QPointF startPoint;
    QPointF endPoint;

    // The gradient laid over `rect`, colours spread evenly from start to end.
    QLinearGradient linearGradient(const QRectF &rect) const;

    bool operator==(const LauncherThemeGradient &other) const = default;
};

// True for the three Vitesse themes, whose rows colour text and icons by their own rules.
bool isVitesseTheme(LauncherThemeID theme);

// One colour theme of the panel: a plain value, built by the theme catalog and never changed.
struct LauncherTheme {
    LauncherThemeID id = LauncherThemeID::graphite;
    QString name;
    QString blurb;
    LauncherThemeGradient backgroundGradient;
    QColor searchBarBackground;
    QColor divider;
    QColor border;
    QColor selectedRowBackground;
    QColor hoverRowBackground;
    QColor selectedPrimaryText;
    QColor selectedSecondaryText;
    QColor selectedIndicator;
    QColor snippetHighlight;
    QColor snippetHighlightSelected;
    QColor listBackground;
    QColor rowBaseBackground;
    QColor uiAccent;
    QColor selectedRowStroke;
    QColor hoverRowStroke;
    QColor unselectedPrimaryText;
    QColor unselectedSecondaryText;
    QColor actionIconColor;

    // A row's title colour; only the result's kind is read.
    QColor primaryTextColor(const SearchResult &result, bool isSelected) const;
    // A row's location-line colour.
    QColor secondaryTextColor(const SearchResult &result, bool isSelected) const;
    // The tint of a row's symbol icon.
    QColor iconTintColor(const SearchResult &result, bool isSelected) const;

    bool operator==(const LauncherTheme &other) const = default;
};

} // namespace orvex
