#pragma once

#include "panel/LauncherTheme.h"
#include "panel/ResultActivationMode.h"
#include "panel/ResultRowView.h"
#include "search/DatabaseTypes.h"

#include <QAbstractListModel>
#include <QHash>
#include <QListView>
#include <QPointer>
#include <QStyledItemDelegate>

#include <chrono>
#include <optional>

class QTimer;
class QVariantAnimation;

namespace orvex {

// How every row of the list is drawn, apart from the rows themselves.
struct ResultListDisplay {
    LauncherTheme theme;
    bool showSnippets = false;
    bool useNativeAppIcons = false;
    bool showScore = true;
    // What Return would do by the held keys; each row shows its own reading of it
    // (ResultActivation::activationModeForRow).
    ResultActivationMode activeModifierMode = ResultActivationMode::open;
    std::optional<qsizetype> selectedIndex;
    std::optional<QString> hoveredResultIdentity;
};

// The hover look of the rows fading in and out (0.08 s, easing out), followed by row identity, so that
// a row keeps its fade while the list moves.
class RowHoverFade {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds duration{80};

    // The pointer is now over the row of `identity` (none: over no row).
    void setHovered(const std::optional<QString> &identity, Clock::time_point now = Clock::now());
    // How far the row's hover look has come, 0 to 1.
    qreal amount(const QString &identity, Clock::time_point now = Clock::now()) const;
    bool isFading(Clock::time_point now = Clock::now()) const;

private:
    struct Fade {
        qreal from = 0;
        qreal to = 0;
        Clock::time_point start;
    };
    std::optional<QString> hovered_;
    QHash<QString, Fade> fades_;
};

// The rows as items for the list and for assistive technology: name = title, description = the row's
// kind, its location (or the reveal hint) and the score badge's label.
class ResultListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void setRows(const SearchResults &rows);
    void setDisplay(const ResultListDisplay &display);
    const SearchResults &rows() const { return rows_; }
    const ResultListDisplay &display() const { return display_; }
    // The painted row value of one position.
    ResultRowView rowView(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const RowHoverFade &hoverFade() const { return hoverFade_; }

private:
    SearchResults rows_;
    ResultListDisplay display_;
    RowHoverFade hoverFade_;
};

// The scrolling result list: every row painted by ResultRowView in one view, 6 points apart, with 8
// points of padding, the selected row scrolled to the centre. Takes no keyboard focus (the search field
// keeps it) and reports clicks and hovering rather than acting on them.
class ResultListView : public QListView {
    Q_OBJECT

public:
    static constexpr int rowSpacing = 6;
    static constexpr int padding = 8;

    explicit ResultListView(QWidget *parent = nullptr);

    void setRows(const SearchResults &rows);
    void setDisplay(const ResultListDisplay &display);
    ResultListModel &resultModel() { return model_; }
    // Icons come from here (the launcher's own sources by default).
    void setIcons(ResultRowIcons *icons);
    ResultRowIcons *icons() const { return icons_; }
    // Painting is clipped to `ancestor`'s rounded outline, so rows never cover the panel's corners.
    void setClipOutline(QWidget *ancestor, qreal radius);

    // Where the row at `row` is painted, in viewport coordinates (no spacing or padding).
    QRect rowRect(int row) const;
    // The row under a viewport point; gaps between rows are none.
    std::optional<int> rowAt(const QPoint &viewportPoint) const;
    QPainterPath clipOutline() const;
    // Whether the centring scroll is still moving.
    bool isScrolling() const;
    // Assistive technology pressed the row: rowActivated() follows from the event loop, for the row that
    // was there then, when it is still in the list.
    void activateRowLater(int row);

Q_SIGNALS:
    void rowClicked(int row);
    // Assistive technology selected the row.
    void rowChosen(int row);
    // Assistive technology pressed the row: open it as Return would.
    void rowActivated(int row);
    void rowHoverEntered(const QString &identity);
    void rowHoverLeft(const QString &identity);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void updateHover(const QPoint &viewportPoint);
    void centreSelectedRow();
    void syncSelection();
    void announceSelectedRow();

    ResultListModel model_;
    ResultRowIcons *icons_;
    QPointer<QWidget> clipAncestor_;
    qreal clipRadius_ = 0;
    std::optional<QString> pointerIdentity_;
    std::optional<int> pressedRow_;
    // Set while the view copies the panel's selection into its own.
    bool mirroringSelection_ = false;
    // The identity of the selected row assistive technology was last told of; none while no row is
    // selected.
    std::optional<QString> announcedIdentity_;
    QVariantAnimation *scrollAnimation_;
    // Repaints while a row's hover look fades.
    QTimer *hoverFadeTimer_;
};

} // namespace orvex
