#include "panel/ResultListView.h"

#include "panel/FileIconProvider.h"
#include "panel/RemoteDocumentImages.h"
#include "panel/ResultActivation.h"
#include "panel/ResultListAccessibility.h"
#include "panel/SearchState.h"

#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QVariantAnimation>

#include <algorithm>

namespace orvex {

namespace {

int countOf(const QAbstractItemModel *model) {
    return model ? model->rowCount() : 0;
}

// Each item carries the gap after it and the list's padding at both ends, so the view's own item
// layout gives the design's spacing; the row is painted in what is left.
QRect paintedRect(const QRect &itemRect, int row, int count) {
    QRect rect = itemRect.adjusted(ResultListView::padding, 0, -ResultListView::padding, 0);
    if (row == 0)
        rect.setTop(rect.top() + ResultListView::padding);
    rect.setBottom(rect.bottom() - (row == count - 1 ? ResultListView::padding : ResultListView::rowSpacing));
    return rect;
}

class ResultRowDelegate final : public QStyledItemDelegate {
public:
    explicit ResultRowDelegate(ResultListView *view) : QStyledItemDelegate(view), view_(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const int count = countOf(index.model());
        painter->save();
        const QPainterPath outline = view_->clipOutline();
        if (!outline.isEmpty())
            painter->setClipPath(outline, Qt::IntersectClip);
        view_->resultModel()
            .rowView(index.row())
            .paint(*painter, paintedRect(option.rect, index.row(), count), view_->icons());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override {
        const int count = countOf(index.model());
        const int width = std::max(0, view_->viewport()->width() - 2 * ResultListView::padding);
        int height = view_->resultModel().rowView(index.row()).heightForWidth(width);
        if (index.row() == 0)
            height += ResultListView::padding;
        height += index.row() == count - 1 ? ResultListView::padding : ResultListView::rowSpacing;
        return {view_->viewport()->width(), height};
    }

private:
    ResultListView *view_;
};

} // namespace

void RowHoverFade::setHovered(const std::optional<QString> &identity, Clock::time_point now) {
    if (identity == hovered_)
        return;
    const auto fadeTo = [&](const QString &row, qreal target) {
        fades_.insert(row, Fade{amount(row, now), target, now});
    };
    if (hovered_)
        fadeTo(*hovered_, 0);
    if (identity)
        fadeTo(*identity, 1);
    hovered_ = identity;
    // Finished fades are what hovered_ says anyway.
    fades_.removeIf([&](const auto &fade) { return now - fade.value().start >= duration; });
}

qreal RowHoverFade::amount(const QString &identity, Clock::time_point now) const {
    const auto fade = fades_.constFind(identity);
    if (fade == fades_.cend() || now - fade->start >= duration)
        return hovered_ == identity ? 1.0 : 0.0;
    const qreal elapsed = std::chrono::duration<qreal>(now - fade->start) / duration;
    static const QEasingCurve easeOut(QEasingCurve::OutQuad);
    return fade->from + (fade->to - fade->from) * easeOut.valueForProgress(std::clamp(elapsed, 0.0, 1.0));
}

bool RowHoverFade::isFading(Clock::time_point now) const {
    return std::any_of(fades_.cbegin(), fades_.cend(),
                       [&](const Fade &fade) { return now - fade.start < duration; });
}

void ResultListModel::setRows(const SearchResults &rows) {
    // In place: positions that stay keep their items (and assistive technology its objects for them);
    // only what is new is inserted and only what is gone removed.
    const int before = int(rows_.size());
    const int after = int(rows.size());
    if (after < before) {
        beginRemoveRows({}, after, before - 1);
        rows_.remove(after, before - after);
        endRemoveRows();
    }
    const int kept = std::min(before, after);
    for (int row = 0; row < kept; ++row)
        rows_[row] = rows.at(row);
    if (kept > 0)
        Q_EMIT dataChanged(index(0), index(kept - 1));
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        for (int row = before; row < after; ++row)
            rows_.append(rows.at(row));
        endInsertRows();
    }
}

void ResultListModel::setDisplay(const ResultListDisplay &display) {
    hoverFade_.setHovered(display.hoveredResultIdentity);
    display_ = display;
    if (!rows_.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(rows_.size()) - 1));
}

ResultRowView ResultListModel::rowView(int row) const {
    const SearchResult &result = rows_.at(row);
    return ResultRowView{
        result,
        display_.selectedIndex == row,
        display_.hoveredResultIdentity == panelRowIdentity(result),
        display_.showSnippets,
        ResultActivation::activationModeForRow(result, display_.activeModifierMode),
        display_.theme,
        display_.useNativeAppIcons,
        display_.showScore,
        hoverFade_.amount(panelRowIdentity(result)),
    };
}

int ResultListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const ResultRowView row = rowView(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row.result.filename();
    case Qt::AccessibleDescriptionRole: {
        QStringList parts{ResultRowView::kindAccessibleLabel(row.result), row.subtitleText()};
        if (row.showsBadge())
            parts << row.badgeAccessibleLabel();
        parts.removeAll(QString());
        return parts.join(QStringLiteral(", "));
    }
    default:
        return {};
    }
}

ResultListView::ResultListView(QWidget *parent)
    : QListView(parent), icons_(&sharedResultRowIcons()), scrollAnimation_(new QVariantAnimation(this)),
      hoverFadeTimer_(new QTimer(this)) {
    installResultListAccessibility();
    hoverFadeTimer_->setInterval(16);
    connect(hoverFadeTimer_, &QTimer::timeout, this, [this] {
        if (!model_.hoverFade().isFading())
            hoverFadeTimer_->stop();
        viewport()->update();
    });
    setModel(&model_);
    setItemDelegate(new ResultRowDelegate(this));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    setMouseTracking(true);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QStringLiteral("Results"));

    scrollAnimation_->setDuration(160);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(scrollAnimation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { verticalScrollBar()->setValue(value.toInt()); });

    // Images that arrive later repaint the rows that wait for them.
    connect(&FileIconProvider::shared(), &FileIconProvider::iconLoaded, viewport(),
            [this] { viewport()->update(); });
    connect(&FileIconProvider::shared(), &FileIconProvider::iconsReset, viewport(),
            [this] { viewport()->update(); });
    connect(&RemoteDocumentImages::shared(), &RemoteDocumentImages::imageFinished, viewport(),
            [this] { viewport()->update(); });
}

void ResultListView::setIcons(ResultRowIcons *icons) {
    icons_ = icons;
    viewport()->update();
}

void ResultListView::setClipOutline(QWidget *ancestor, qreal radius) {
    clipAncestor_ = ancestor;
    clipRadius_ = radius;
}

QPainterPath ResultListView::clipOutline() const {
    QPainterPath path;
    if (!clipAncestor_)
        return path;
    const QPoint origin = viewport()->mapFrom(clipAncestor_.data(), QPoint(0, 0));
    path.addRoundedRect(QRectF(QPointF(origin), QSizeF(clipAncestor_->size())), clipRadius_, clipRadius_);
    return path;
}

void ResultListView::setRows(const SearchResults &rows) {
    const std::optional<QString> pointer = pointerIdentity_;
    model_.setRows(rows);
    syncSelection();
    centreSelectedRow();
    // The row under a still pointer may now be another one.
    if (pointer)
        updateHover(viewport()->mapFromGlobal(QCursor::pos()));
}

void ResultListView::setDisplay(const ResultListDisplay &display) {
    const ResultListDisplay before = model_.display();
    model_.setDisplay(display);
    // The selected row's hint and the snippet setting change what fits on a line, hence row heights.
    const bool heightsMayChange =
        before.selectedIndex != display.selectedIndex || before.showSnippets != display.showSnippets ||
        before.showScore != display.showScore || before.activeModifierMode != display.activeModifierMode;
    if (heightsMayChange)
        doItemsLayout();
    syncSelection();
    announceSelectedRow();
    if (before.selectedIndex != display.selectedIndex)
        centreSelectedRow();
    if (model_.hoverFade().isFading())
        hoverFadeTimer_->start();
    viewport()->update();
}

void ResultListView::syncSelection() {
    // Mirrors the panel's selection so that assistive technology reads it as the selected item.
    const auto selected = model_.display().selectedIndex;
    const QScopedValueRollback mirroring(mirroringSelection_, true);
    if (selected && *selected >= 0 && *selected < model_.rowCount()) {
        const QModelIndex index = model_.index(int(*selected));
        if (selectionModel()->currentIndex() != index || !selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel()->clear();
    }
}

void ResultListView::announceSelectedRow() {
    // The rows and the selection of one list arrive in turn (setRows, then setDisplay): by now both are
    // the new list's. Told once per row that Return would open, whichever list brought it.
    const auto selected = model_.display().selectedIndex;
    std::optional<QString> identity;
    if (selected && *selected >= 0 && *selected < model_.rowCount())
        identity = panelRowIdentity(model_.rows().at(*selected));
    if (identity == announcedIdentity_)
        return;
    announcedIdentity_ = identity;
    // Told only to the user in the panel: a refresh while another window has the keyboard says nothing.
    if (identity && isVisible() && isActiveWindow())
        announceCurrentResultRow(this, int(*selected));
}

void ResultListView::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    // Not QListView's: it tells assistive technology of every new current index, also when the row
    // there is the one already told of and not when another row takes the same index.
    QAbstractItemView::currentChanged(current, previous);
}

void ResultListView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) {
    QListView::selectionChanged(selected, deselected);
    // A selection made from outside (assistive technology selecting a row) is the user's choice.
    if (mirroringSelection_ || selected.indexes().isEmpty())
        return;
    const int row = selected.indexes().constFirst().row();
    if (model_.display().selectedIndex != row)
        Q_EMIT rowChosen(row);
}

void ResultListView::centreSelectedRow() {
    const auto selected = model_.display().selectedIndex;
    if (!selected || *selected < 0 || *selected >= model_.rowCount())
        return;
    const QRect item = visualRect(model_.index(int(*selected)));
    QScrollBar *bar = verticalScrollBar();
    const int target = std::clamp(bar->value() + item.center().y() - viewport()->height() / 2, bar->minimum(),
                                  bar->maximum());
    scrollAnimation_->stop();
    if (target == bar->value())
        return;
    if (!isVisible()) {
        bar->setValue(target);
        return;
    }
    scrollAnimation_->setStartValue(bar->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

void ResultListView::activateRowLater(int row) {
    if (row < 0 || row >= model_.rowCount())
        return;
    // The request comes from inside an accessibility call; answering it may hide the panel and empty the
    // list, which deletes the row's accessible object.
    QMetaObject::invokeMethod(
        this,
        [this, identity = panelRowIdentity(model_.rows().at(row))] {
            const SearchResults &rows = model_.rows();
            for (int index = 0; index < rows.size(); ++index)
                if (panelRowIdentity(rows.at(index)) == identity) {
                    Q_EMIT rowActivated(index);
                    return;
                }
        },
        Qt::QueuedConnection);
}

bool ResultListView::isScrolling() const {
    return scrollAnimation_->state() == QAbstractAnimation::Running;
}

QRect ResultListView::rowRect(int row) const {
    return paintedRect(visualRect(model_.index(row)), row, model_.rowCount());
}

std::optional<int> ResultListView::rowAt(const QPoint &viewportPoint) const {
    const QModelIndex index = indexAt(viewportPoint);
    if (!index.isValid() || !rowRect(index.row()).contains(viewportPoint))
        return std::nullopt;
    return index.row();
}

void ResultListView::paintEvent(QPaintEvent *event) {
    {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath outline = clipOutline();
        if (!outline.isEmpty())
            painter.setClipPath(outline);
        painter.fillRect(viewport()->rect(), model_.display().theme.listBackground);
    }
    QListView::paintEvent(event);
}

void ResultListView::updateHover(const QPoint &viewportPoint) {
    std::optional<QString> identity;
    if (viewport()->rect().contains(viewportPoint)) {
        if (const auto row = rowAt(viewportPoint))
            identity = panelRowIdentity(model_.rows().at(*row));
    }
    if (identity == pointerIdentity_)
        return;
    const std::optional<QString> left = pointerIdentity_;
    pointerIdentity_ = identity;
    if (left)
        Q_EMIT rowHoverLeft(*left);
    if (identity)
        Q_EMIT rowHoverEntered(*identity);
}

void ResultListView::mouseMoveEvent(QMouseEvent *event) {
    updateHover(event->position().toPoint());
}

void ResultListView::mousePressEvent(QMouseEvent *event) {
    // Selection belongs to the panel; the view only reports the click.
    pressedRow_ = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint()) : std::nullopt;
    event->accept();
}

void ResultListView::mouseReleaseEvent(QMouseEvent *event) {
    const std::optional<int> pressed = pressedRow_;
    pressedRow_.reset();
    event->accept();
    if (event->button() != Qt::LeftButton || !pressed)
        return;
    if (rowAt(event->position().toPoint()) == pressed)
        Q_EMIT rowClicked(*pressed);
}

void ResultListView::mouseDoubleClickEvent(QMouseEvent *event) {
    // The first click already acted; a second must not act again on whatever row is now there.
    event->accept();
}

void ResultListView::leaveEvent(QEvent *event) {
    QListView::leaveEvent(event);
    if (pointerIdentity_) {
        const QString left = *pointerIdentity_;
        pointerIdentity_.reset();
        Q_EMIT rowHoverLeft(left);
    }
}

bool ResultListView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (const auto row = rowAt(help->pos())) {
            const ResultRowView view = model_.rowView(*row);
            if (view.showsBadge() && view.geometry(rowRect(*row)).badge.contains(help->pos())) {
                QToolTip::showText(help->globalPos(), QStringLiteral("Search score"), viewport());
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::Leave) {
        leaveEvent(event);
    }
    return QListView::viewportEvent(event);
}

void ResultListView::resizeEvent(QResizeEvent *event) {
    QListView::resizeEvent(event);
    centreSelectedRow();
}

} // namespace orvex
