#pragma once

#include "settings/SettingsBinding.h"
#include "settings/SettingsFormSection.h"

#include "panel/LauncherThemeID.h"

#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QScrollArea;

namespace orvex {

class ThemePreviewCard;

// The theme cards in an adaptive grid: as many columns of at least 190 px as the width holds, 12 px
// apart, each card filling its cell; rows top-aligned, each as tall as its tallest card. Home and End
// choose the first and the last card, as in any set of radio buttons (the arrow keys are the cards').
class ThemePreviewGrid : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumColumnWidth = 190;
    static constexpr int gap = 12;

    explicit ThemePreviewGrid(QWidget *parent = nullptr);

    void setCards(const QList<ThemePreviewCard *> &cards);
    const QList<ThemePreviewCard *> &cards() const { return cards_; }
    // The number of columns for a width.
    static int columnCount(int width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Places the cards for `width`; answers the height they take.
    int layoutCards(int width, bool place) const;

    QList<ThemePreviewCard *> cards_;
};

// The "Appearance" section: the theme picker, the real-icons toggle, the chosen theme's blurb and the
// grid of preview cards; the picker and the cards are two views of one theme choice. The picker is
// labelled "Launcher Theme" and describes itself with the chosen theme, so that a screen reader reads
// the value with it; its arrow keys open its list, where each theme is read as it is reached.
class AppearanceSettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    struct Bindings {
        Binding<LauncherThemeID> launcherThemeID;
        Binding<bool> useNativeAppIcons;
    };

    explicit AppearanceSettingsSection(Bindings bindings, QWidget *parent = nullptr);

    void refresh();

    QComboBox *themePicker() const { return themePicker_; }
    QCheckBox *nativeIconsToggle() const { return nativeIconsToggle_; }
    QLabel *blurb() const { return blurb_; }
    QScrollArea *gridScrollArea() const { return gridScroll_; }
    ThemePreviewGrid *grid() const { return grid_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Bindings bindings_;
    QComboBox *themePicker_;
    QCheckBox *nativeIconsToggle_;
    QLabel *blurb_;
    QScrollArea *gridScroll_;
    ThemePreviewGrid *grid_;
};

} // namespace orvex
