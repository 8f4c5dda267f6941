#include "settings/AppearanceSettingsSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"
#include "settings/ThemePreviewCard.h"

#include "panel/LauncherThemeCatalog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

namespace orvex {

ThemePreviewGrid::ThemePreviewGrid(QWidget *parent) : QWidget(parent) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ThemePreviewGrid::setCards(const QList<ThemePreviewCard *> &cards) {
    cards_ = cards;
    for (ThemePreviewCard *card : cards_)
        card->setParent(this);
    layoutCards(width(), true);
    updateGeometry();
}

int ThemePreviewGrid::columnCount(int width) {
    return std::max(1, (width + gap) / (minimumColumnWidth + gap));
}

int ThemePreviewGrid::layoutCards(int width, bool place) const {
    const int columns = columnCount(width);
    const int cellWidth = std::max(1, (width - (columns - 1) * gap) / columns);
    int top = 4;
    for (qsizetype first = 0; first < cards_.size(); first += columns) {
        int rowHeight = 0;
        for (qsizetype i = first; i < std::min<qsizetype>(first + columns, cards_.size()); ++i)
            rowHeight = std::max(rowHeight, cards_[i]->heightForWidth(cellWidth));
        if (place) {
            for (qsizetype i = first; i < std::min<qsizetype>(first + columns, cards_.size()); ++i) {
                const int column = static_cast<int>(i - first);
                cards_[i]->setGeometry(column * (cellWidth + gap), top, cellWidth,
                                       cards_[i]->heightForWidth(cellWidth));
            }
        }
        top += rowHeight + gap;
    }
    return cards_.isEmpty() ? 8 : top - gap + 4;
}

int ThemePreviewGrid::heightForWidth(int width) const {
    return layoutCards(width, false);
}

QSize ThemePreviewGrid::sizeHint() const {
    return QSize(minimumColumnWidth, heightForWidth(minimumColumnWidth));
}

void ThemePreviewGrid::resizeEvent(QResizeEvent *event) {
    layoutCards(event->size().width(), true);
    QWidget::resizeEvent(event);
}

void ThemePreviewGrid::keyPressEvent(QKeyEvent *event) {
    const bool home = event->key() == Qt::Key_Home;
    if ((!home && event->key() != Qt::Key_End) || event->modifiers() != Qt::NoModifier || cards_.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    ThemePreviewCard *card = home ? cards_.first() : cards_.last();
    card->setFocus(home ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    card->click();
}

namespace {

// A scroll area whose content keeps the viewport's width and takes the height it needs at that width.
class GridScrollArea : public QScrollArea {
public:
    explicit GridScrollArea(QWidget *parent) : QScrollArea(parent) {
        // A gutter, so that the last column of cards does not touch the scroll bar.
        setViewportMargins(0, 0, 6, 0);
    }

protected:
    void resizeEvent(QResizeEvent *event) override {
        QScrollArea::resizeEvent(event);
        fitContent();
    }
    bool viewportEvent(QEvent *event) override {
        if (event->type() == QEvent::Resize)
            fitContent();
        return QScrollArea::viewportEvent(event);
    }

private:
    void fitContent() {
        if (QWidget *content = widget()) {
            const int width = viewport()->width();
            content->resize(width, std::max(content->heightForWidth(width), viewport()->height()));
        }
    }
};

} // namespace

AppearanceSettingsSection::AppearanceSettingsSection(Bindings bindings, QWidget *parent)
    : SettingsFormSection(QStringLiteral("Appearance"), parent), bindings_(std::move(bindings)) {
    auto *pickerRow = new QHBoxLayout;
    auto *pickerLabel = new QLabel(QStringLiteral("Launcher Theme"), this);
    pickerRow->addWidget(pickerLabel);
    pickerRow->addStretch(1);
    themePicker_ = new QComboBox(this);
    themePicker_->setAccessibleName(QStringLiteral("Launcher Theme"));
    for (const LauncherThemeID id : allLauncherThemeIDs)
        themePicker_->addItem(LauncherThemeCatalog::theme(id).name, rawValue(id));
    pickerLabel->setBuddy(themePicker_);
    themePicker_->installEventFilter(this);
    pickerRow->addWidget(themePicker_);
    addRow(pickerRow);

    nativeIconsToggle_ = new QCheckBox(QStringLiteral("Show Real App Icons"), this);
    addRow(nativeIconsToggle_);
    blurb_ = SettingsStyle::makeHelpText(QString(), this);
    addRow(blurb_);

    gridScroll_ = new GridScrollArea(this);
    gridScroll_->setFrameShape(QFrame::NoFrame);
    gridScroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gridScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridScroll_->setMinimumHeight(220);
    gridScroll_->setAccessibleName(QStringLiteral("Theme previews"));
    // The chosen card is the Tab stop; the area around it is none.
    gridScroll_->setFocusPolicy(Qt::NoFocus);
    gridScroll_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    gridScroll_->viewport()->setAutoFillBackground(false);
    grid_ = new ThemePreviewGrid;
    QList<ThemePreviewCard *> cards;
    for (const LauncherTheme &theme : LauncherThemeCatalog::all()) {
        auto *card = new ThemePreviewCard(theme, false, grid_);
        // Toggled, not clicked: the arrow keys and assistive technology check a card without a click.
        connect(card, &QAbstractButton::toggled, this, [this, id = theme.id](bool checked) {
            if (!checked)
                return;
            bindings_.launcherThemeID(id);
            refresh();
        });
        cards.append(card);
    }
    grid_->setCards(cards);
    gridScroll_->setWidget(grid_);
    KeyboardAccess::keepFocusVisible(gridScroll_);
    rows()->addWidget(gridScroll_, 1);

    connect(themePicker_, &QComboBox::activated, this, [this](int index) {
        if (const auto id = launcherThemeIDFromRawValue(themePicker_->itemData(index).toString()))
            bindings_.launcherThemeID(*id);
        refresh();
    });
    connect(nativeIconsToggle_, &QCheckBox::toggled, this, [this](bool on) {
        bindings_.useNativeAppIcons(on);
        refresh();
    });
    refresh();
}

bool AppearanceSettingsSection::eventFilter(QObject *watched, QEvent *event) {
    if (watched == themePicker_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool browses = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                             key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown ||
                             key->key() == Qt::Key_Home || key->key() == Qt::Key_End;
        // A closed list would change the theme unheard (Qt tells a screen reader nothing it reads): the
        // keys open it instead, with the current theme highlighted.
        if (browses && key->modifiers() == Qt::NoModifier) {
            themePicker_->showPopup();
            return true;
        }
    }
    return SettingsFormSection::eventFilter(watched, event);
}

void AppearanceSettingsSection::refresh() {
    const LauncherThemeID chosen = bindings_.launcherThemeID.value();
    {
        const QSignalBlocker blocker(themePicker_);
        themePicker_->setCurrentIndex(themePicker_->findData(rawValue(chosen)));
        // Qt gives a combo box no value a screen reader reads (its name is the value, hidden behind its
        // label): the description carries it.
        const QString chosenName = LauncherThemeCatalog::theme(chosen).name;
        if (themePicker_->accessibleDescription() != chosenName)
            themePicker_->setAccessibleDescription(chosenName);
        const QSignalBlocker toggleBlocker(nativeIconsToggle_);
        nativeIconsToggle_->setChecked(bindings_.useNativeAppIcons.value());
    }
    blurb_->setText(LauncherThemeCatalog::theme(chosen).blurb);
    for (ThemePreviewCard *card : grid_->cards()) {
        const QSignalBlocker cardBlocker(card);
        const bool selected = card->theme().id == chosen;
        card->setSelected(selected);
        // Tab stops at the chosen card alone; the arrow keys, Home and End move between them.
        card->setFocusPolicy(selected ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

} // namespace orvex
