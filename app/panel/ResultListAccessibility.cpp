#include "panel/ResultListAccessibility.h"

#include "panel/ResultListView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QItemSelectionModel>
#include <QPointer>
#include <QWindow>

#include <memory>

namespace orvex {

namespace {

// One row as a list item. Stateless apart from its position: the list keeps one per position while
// that position stays, so a screen reader keeps its object through lists answered in place.
class ResultRowAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ResultRowAccessible(ResultListView *view, int row) : view_(view), row_(row) {}

    int row() const { return row_; }

    bool isValid() const override { return view_ && row_ >= 0 && row_ < view_->model()->rowCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override {
        return view_ && view_->window() ? view_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text kind) const override {
        if (!isValid())
            return {};
        switch (kind) {
        case QAccessible::Name:
            return view_->model()->data(index(), Qt::AccessibleTextRole).toString();
        case QAccessible::Description:
            return view_->model()->data(index(), Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect painted = view_->rowRect(row_);
        return {view_->viewport()->mapToGlobal(painted.topLeft()), painted.size()};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.selectable = true;
        state.focusable = true;
        const QItemSelectionModel *selection = view_->selectionModel();
        state.selected = selection->isSelected(index());
        state.focused = selection->currentIndex() == index();
        const QRect shown(view_->viewport()->mapToGlobal(QPoint(0, 0)), view_->viewport()->size());
        if (!shown.intersects(rect())) {
            state.invisible = true;
            state.offscreen = true;
        }
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // Pressing comes first: it is what a screen reader's default action on the item does.
    QStringList actionNames() const override { return {pressAction(), toggleAction()}; }
    void doAction(const QString &name) override {
        if (!isValid())
            return;
        if (name == pressAction()) {
            view_->activateRowLater(row_);
        } else if (name == toggleAction()) {
            // The panel always has a selected row: toggling selects, it never leaves none.
            if (!view_->selectionModel()->isSelected(index()))
                view_->selectionModel()->select(index(), QItemSelectionModel::ClearAndSelect);
        }
    }
    QStringList keyBindingsForAction(const QString &name) const override {
        if (name == pressAction())
            return {QStringLiteral("Return")};
        return {};
    }

private:
    QModelIndex index() const { return view_->model()->index(row_, 0); }

    QPointer<ResultListView> view_;
    int row_;
};

// The list: its items are the model's rows (not the view's viewport and scroll bars).
class ResultListAccessible final : public QAccessibleWidget {
public:
    explicit ResultListAccessible(ResultListView *view)
        : QAccessibleWidget(view, QAccessible::List), watcher_(std::make_unique<QObject>()) {
        // Positions that move or go lose their objects; those before them keep theirs.
        const QAbstractItemModel *model = view->model();
        QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, watcher_.get(),
                         [this](const QModelIndex &, int first, int) { forgetRowsFrom(first); });
        QObject::connect(model, &QAbstractItemModel::rowsAboutToBeInserted, watcher_.get(),
                         [this](const QModelIndex &, int first, int) { forgetRowsFrom(first); });
        QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, watcher_.get(),
                         [this] { forgetRowsFrom(0); });
        QObject::connect(model, &QAbstractItemModel::layoutAboutToBeChanged, watcher_.get(),
                         [this] { forgetRowsFrom(0); });
    }
    ~ResultListAccessible() override { forgetRowsFrom(0); }

    int childCount() const override { return view() ? view()->model()->rowCount() : 0; }
    QAccessibleInterface *child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto known = rows_.constFind(index); known != rows_.cend())
            return QAccessible::accessibleInterface(*known);
        auto *row = new ResultRowAccessible(view(), index);
        rows_.insert(index, QAccessible::registerAccessibleInterface(row));
        return row;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child || child->role() != QAccessible::ListItem || child->parent() != this)
            return -1;
        const int row = static_cast<const ResultRowAccessible *>(child)->row();
        return row < childCount() ? row : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override {
        if (!view())
            return nullptr;
        const QPoint point = view()->viewport()->mapFromGlobal(QPoint(x, y));
        const std::optional<int> row = view()->rowAt(point);
        return row ? child(*row) : nullptr;
    }
    QAccessibleInterface *focusChild() const override {
        if (!view())
            return nullptr;
        const QModelIndex current = view()->selectionModel()->currentIndex();
        return current.isValid() ? child(current.row()) : nullptr;
    }

private:
    ResultListView *view() const { return static_cast<ResultListView *>(widget()); }

    void forgetRowsFrom(int first) {
        for (auto row = rows_.begin(); row != rows_.end();) {
            if (row.key() >= first) {
                QAccessible::deleteAccessibleInterface(row.value());
                row = rows_.erase(row);
            } else {
                ++row;
            }
        }
    }

    // Connections to the model live as long as this interface.
    std::unique_ptr<QObject> watcher_;
    mutable QHash<int, QAccessible::Id> rows_;
};

QAccessibleInterface *resultListFactory(const QString &className, QObject *object) {
    if (className == QLatin1String(ResultListView::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new ResultListAccessible(static_cast<ResultListView *>(object));
    return nullptr;
}

} // namespace

void installResultListAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&resultListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace orvex
