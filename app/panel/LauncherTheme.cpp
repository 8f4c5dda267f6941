#include "LauncherTheme.h"

namespace orvex {
namespace {

QColor rgb(qreal red, qreal green, qreal blue) {
    return QColor::fromRgbF(red, green, blue);
}

// A fixed colour per kind of result: file, app, folder, action.
struct KindColors {
    QColor file, app, folder, action;

    QColor operator()(SearchResultKind kind) const {
        switch (kind) {
        case SearchResultKind::file:
            return file;
        case SearchResultKind::app:
            return app;
        case SearchResultKind::folder:
            return folder;
        case SearchResultKind::action:
            return action;
        }
        return file;
    }
};

bool isUnifiedVitesseTheme(LauncherThemeID theme) {
    return theme == LauncherThemeID::vitesseDarkSoftUnified ||
           theme == LauncherThemeID::vitesseDarkSoftRoseHover;
}

} // namespace

namespace LauncherNamedColor {

QColor white(qreal opacity) {
    return QColor::fromRgbF(1, 1, 1, opacity);
}
QColor black(qreal opacity) {
    return QColor::fromRgbF(0, 0, 0, opacity);
}
QColor clear() {
    return QColor::fromRgbF(0, 0, 0, 0);
}
QColor yellow(qreal opacity) {
    return QColor::fromRgbF(1.00, 0.80, 0.00, opacity);
}
QColor primaryLabel(qreal opacity) {
    return QColor::fromRgbF(1, 1, 1, 0.85 * opacity);
}
QColor secondaryLabel(qreal opacity) {
    return QColor::fromRgbF(1, 1, 1, 0.55 * opacity);
}

} // namespace LauncherNamedColor

QLinearGradient LauncherThemeGradient::linearGradient(const QRectF &rect) const {
    const auto inRect = [&rect](QPointF unit) {
        return QPointF(rect.left() + unit.x() * rect.width(), rect.top() + unit.y() * rect.height());
    };
    QLinearGradient gradient(inRect(startPoint), inRect(endPoint));
    if (colors.size() == 1)
        gradient.setColorAt(0, colors.front());
    for (qsizetype i = 0; colors.size() > 1 && i < colors.size(); ++i)
        gradient.setColorAt(qreal(i) / qreal(colors.size() - 1), colors[i]);
    return gradient;
}

bool isVitesseTheme(LauncherThemeID theme) {
    return theme == LauncherThemeID::vitesseDarkSoft || isUnifiedVitesseTheme(theme);
}

QColor LauncherTheme::primaryTextColor(const SearchResult &result, bool isSelected) const {
    if (id == LauncherThemeID::vitesseDarkSoft) {
        if (isSelected)
            return KindColors{rgb(0.88, 0.84, 0.77), rgb(0.92, 0.84, 0.55), rgb(0.88, 0.63, 0.46),
                              rgb(0.88, 0.52, 0.52)}(result.kind());
        return KindColors{unselectedPrimaryText, rgb(0.90, 0.80, 0.47), rgb(0.83, 0.59, 0.42),
                          rgb(0.80, 0.46, 0.46)}(result.kind());
    }
    if (isUnifiedVitesseTheme(id))
        return isSelected ? rgb(0.90, 0.86, 0.79) : unselectedPrimaryText;
    return isSelected ? selectedPrimaryText : unselectedPrimaryText;
}

QColor LauncherTheme::secondaryTextColor(const SearchResult &result, bool isSelected) const {
    if (id == LauncherThemeID::vitesseDarkSoft) {
        if (isSelected)
            return rgb(0.80, 0.62, 0.52);
        const QColor warm = rgb(0.79, 0.57, 0.46);
        return KindColors{rgb(0.75, 0.73, 0.67), warm, warm, warm}(result.kind());
    }
    if (isUnifiedVitesseTheme(id))
        return isSelected ? rgb(0.79, 0.67, 0.57) : unselectedSecondaryText;
    return isSelected ? selectedSecondaryText : unselectedSecondaryText;
}

QColor LauncherTheme::iconTintColor(const SearchResult &result, bool isSelected) const {
    if (id == LauncherThemeID::vitesseDarkSoft) {
        if (isSelected)
            return KindColors{rgb(0.84, 0.79, 0.70), rgb(0.92, 0.84, 0.55), rgb(0.31, 0.62, 0.49),
                              rgb(0.88, 0.52, 0.52)}(result.kind());
        return KindColors{actionIconColor, rgb(0.90, 0.80, 0.47), rgb(0.30, 0.58, 0.46),
                          rgb(0.80, 0.46, 0.46)}(result.kind());
    }
    if (isUnifiedVitesseTheme(id))
        return isSelected ? rgb(0.72, 0.65, 0.40) : actionIconColor;
    return isSelected ? selectedPrimaryText : actionIconColor;
}

} // namespace orvex
