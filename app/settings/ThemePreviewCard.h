#pragma once

#include "panel/LauncherTheme.h"
#include "panel/ResultRowView.h"

#include <QAbstractButton>

#include <array>

namespace orvex {

// A miniature of the launcher in one theme: the theme's background, a search bar with the sample query
// "app", the divider and three sample rows (selected with a snippet, hovered, plain) painted by the
// panel's own row painter at a reduced scale. A plain value.
struct ThemeMiniLauncherPreview {
    explicit ThemeMiniLauncherPreview(LauncherTheme theme);

    LauncherTheme theme;
    SearchResult selectedPreviewResult;
    SearchResult hoveredPreviewResult;
    SearchResult plainPreviewResult;

    // The three sample rows as the panel would paint them, top to bottom.
    std::array<ResultRowView, 3> previewRows() const;
    // Paints the miniature into `rect` (the caller clips it).
    void paint(QPainter &painter, const QRect &rect) const;
};

// One cell of the theme grid: the theme's name with an "Active" badge on the chosen theme, its blurb in
// at most two lines and the miniature, on a rounded card outlined in the theme's selection colour when
// chosen. Pressing it chooses the theme; the chosen card is the checked one.
class ThemePreviewCard : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int miniatureHeight = 136;

    ThemePreviewCard(LauncherTheme theme, bool isSelected, QWidget *parent = nullptr);

    const LauncherTheme &theme() const { return theme_; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    // Where the parts go inside the card (also what the pixel tests look at).
    struct Geometry {
        QRect name;
        QRect badge; // empty unless selected
        QRect blurb;
        QRect miniature;
    };
    Geometry geometry() const;

    static QFont nameFont();
    static QFont badgeFont();
    static QFont blurbFont();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int blurbHeight(int width) const;

    LauncherTheme theme_;
};

} // namespace orvex
