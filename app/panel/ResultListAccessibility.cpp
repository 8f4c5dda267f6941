#include "panel/ResultListAccessibility.h"

#include "panel/ResultListView.h"
#include "panel/SearchState.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QItemSelectionModel>
#include <QPointer>
#include <QSet>
#include <QWindow>

#include <memory>

namespace orvex {

namespace {

// A row by its identity, and how many rows before it have the same one.
using RowKey = std::pair<QString, int>;

RowKey rowKey(const SearchResults &rows, int row) {
    const QString identity = panelRowIdentity(rows.at(row));
    int earlier = 0;
    for (int index = 0; index < row; ++index)
        if (panelRowIdentity(rows.at(index)) == identity)
            ++earlier;
    return {identity, earlier};
}

// Where the row of `key` is now; -1 when it is gone.
int rowOfKey(const SearchResults &rows, const RowKey &key) {
    int same = 0;
    for (int row = 0; row < rows.size(); ++row)
        if (panelRowIdentity(rows.at(row)) == key.first && same++ == key.second)
            return row;
    return -1;
}

// One row as a list item: follows its row by identity through the lists applied.
class ResultRowAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ResultRowAccessible(ResultListView *view, RowKey key) : view_(view), key_(std::move(key)) {}

    int row() const { return view_ ? rowOfKey(view_->resultModel().rows(), key_) : -1; }

    bool isValid() const override { return row() >= 0; }
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
        const int row = this->row();
        if (row < 0)
            return {};
        switch (kind) {
        case QAccessible::Name:
            return view_->model()->data(index(row), Qt::AccessibleTextRole).toString();
        case QAccessible::Description:
            return view_->model()->data(index(row), Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override {
        const int row = this->row();
        if (row < 0)
            return {};
        const QRect painted = view_->rowRect(row);
        return {view_->viewport()->mapToGlobal(painted.topLeft()), painted.size()};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        const int row = this->row();
        if (row < 0)
            return state;
        state.selectable = true;
        state.focusable = true;
        const QItemSelectionModel *selection = view_->selectionModel();
        state.selected = selection->isSelected(index(row));
        state.focused = selection->currentIndex() == index(row);
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
        const int row = this->row();
        if (row < 0)
            return;
        if (name == pressAction()) {
            view_->activateRowLater(row);
        } else if (name == toggleAction()) {
            // The panel always has a selected row: toggling selects, it never leaves none.
            if (!view_->selectionModel()->isSelected(index(row)))
                view_->selectionModel()->select(index(row), QItemSelectionModel::ClearAndSelect);
        }
    }
    QStringList keyBindingsForAction(const QString &name) const override {
        if (name == pressAction())
            return {QStringLiteral("Return")};
        return {};
    }

private:
    QModelIndex index(int row) const { return view_->model()->index(row, 0); }

    QPointer<ResultListView> view_;
    RowKey key_;
};

// The list: its items are the model's rows (not the view's viewport and scroll bars).
class ResultListAccessible final : public QAccessibleWidget {
public:
    explicit ResultListAccessible(ResultListView *view)
        : QAccessibleWidget(view, QAccessible::List), watcher_(std::make_unique<QObject>()) {
        // Items whose rows have gone go with them; the others stay, wherever their rows moved.
        const QAbstractItemModel *model = view->model();
        const auto forget = [this] { forgetGoneRows(); };
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, watcher_.get(), forget);
        QObject::connect(model, &QAbstractItemModel::rowsInserted, watcher_.get(), forget);
        QObject::connect(model, &QAbstractItemModel::dataChanged, watcher_.get(), forget);
        QObject::connect(model, &QAbstractItemModel::modelReset, watcher_.get(), forget);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, watcher_.get(), forget);
    }
    ~ResultListAccessible() override {
        for (const QAccessible::Id id : std::as_const(rows_))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return view() ? view()->model()->rowCount() : 0; }
    QAccessibleInterface *child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        const RowKey key = rowKey(view()->resultModel().rows(), index);
        if (const auto known = rows_.constFind(key); known != rows_.cend())
            return QAccessible::accessibleInterface(*known);
        auto *row = new ResultRowAccessible(view(), key);
        rows_.insert(key, QAccessible::registerAccessibleInterface(row));
        return row;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child || child->role() != QAccessible::ListItem || child->parent() != this)
            return -1;
        return static_cast<const ResultRowAccessible *>(child)->row();
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

    void forgetGoneRows() {
        if (rows_.isEmpty())
            return;
        QSet<RowKey> shown;
        QHash<QString, int> seen;
        const SearchResults &rows = view() ? view()->resultModel().rows() : SearchResults();
        for (const SearchResult &row : rows) {
            const QString identity = panelRowIdentity(row);
            shown.insert({identity, seen[identity]++});
        }
        for (auto row = rows_.begin(); row != rows_.end();) {
            if (!shown.contains(row.key())) {
                QAccessible::deleteAccessibleInterface(row.value());
                row = rows_.erase(row);
            } else {
                ++row;
            }
        }
    }

    // Connections to the model live as long as this interface.
    std::unique_ptr<QObject> watcher_;
    mutable QHash<RowKey, QAccessible::Id> rows_;
};

QAccessibleInterface *resultListFactory(const QString &className, QObject *object) {
    if (className == QLatin1String(ResultListView::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new ResultListAccessible(static_cast<ResultListView *>(object));
    return nullptr;
}

} // namespace

void announceCurrentResultRow(ResultListView *view, int row) {
    if (!QAccessible::isActive() || row < 0 || row >= view->model()->rowCount())
        return;
    QAccessibleEvent event(view, QAccessible::Focus);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
}

void installResultListAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&resultListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace orvex
