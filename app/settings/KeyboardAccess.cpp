#include "settings/KeyboardAccess.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>

namespace orvex::KeyboardAccess {

namespace {

QHash<QString, QAccessible::Role> &rolesByClass() {
    static QHash<QString, QAccessible::Role> roles;
    return roles;
}

QAccessibleInterface *roleFactory(const QString &className, QObject *object) {
    const auto role = rolesByClass().constFind(className);
    if (role == rolesByClass().cend() || !object || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), *role);
}

// What a screen reader sees of an OptionalCheckBox: a check box, disabled while unavailable, whose only
// action then is taking the focus.
class OptionalCheckBoxAccessible : public QAccessibleWidget {
public:
    explicit OptionalCheckBoxAccessible(OptionalCheckBox *box)
        : QAccessibleWidget(box, QAccessible::CheckBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && box()->accessibleName().isEmpty())
            return QString(box()->text()).remove(QLatin1Char('&'));
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = box()->isChecked();
        state.disabled = state.disabled || !box()->isAvailable();
        return state;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (box()->isEnabled() && box()->isAvailable())
            names.prepend(toggleAction());
        return names;
    }
    void doAction(const QString &name) override {
        if (name == toggleAction()) {
            if (box()->isEnabled() && box()->isAvailable())
                box()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString &name) const override {
        if (name == toggleAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

private:
    OptionalCheckBox *box() const { return static_cast<OptionalCheckBox *>(widget()); }
};

// An AccessibleLabel: its role, and its text as its name unless it was given one.
class AccessibleLabelInterface : public QAccessibleWidget {
public:
    explicit AccessibleLabelInterface(AccessibleLabel *label) : QAccessibleWidget(label, label->role()) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessibleLabelFactory(const QString &className, QObject *object) {
    if (className == QLatin1String(AccessibleLabel::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new AccessibleLabelInterface(static_cast<AccessibleLabel *>(object));
    return nullptr;
}

QAccessibleInterface *optionalCheckBoxFactory(const QString &className, QObject *object) {
    if (className == QLatin1String(OptionalCheckBox::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new OptionalCheckBoxAccessible(static_cast<OptionalCheckBox *>(object));
    return nullptr;
}

} // namespace

AccessibleLabel::AccessibleLabel(QAccessible::Role role, const QString &text, QWidget *parent)
    : QLabel(text, parent), role_(role) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&accessibleLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

void AccessibleLabel::setMessage(const std::optional<QString> &message) {
    const bool wasShown = isVisible();
    const bool changed = text() != message.value_or(QString());
    // The text first: a line that appears is announced with it.
    setText(message.value_or(QString()));
    setVisible(message.has_value());
    if (wasShown && changed && isVisible()) {
        // What a line that appears sends; screen readers speak a notification on it.
        QAccessibleEvent event(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&event);
    }
}

OptionalCheckBox::OptionalCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&optionalCheckBoxFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

void OptionalCheckBox::setAvailable(bool available) {
    if (available == available_)
        return;
    available_ = available;
    setDown(false);
    QAccessible::State changed;
    changed.disabled = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

bool OptionalCheckBox::hitButton(const QPoint &position) const {
    return available_ && QCheckBox::hitButton(position);
}

void OptionalCheckBox::nextCheckState() {
    if (available_)
        QCheckBox::nextCheckState();
}

void OptionalCheckBox::keyPressEvent(QKeyEvent *event) {
    // Space would press it down for a click that changes nothing.
    if (!available_ && event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

void OptionalCheckBox::keyReleaseEvent(QKeyEvent *event) {
    if (!available_ && event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QCheckBox::keyReleaseEvent(event);
}

void exposeWithRole(const QMetaObject &widgetClass, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(&roleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    rolesByClass().insert(QString::fromLatin1(widgetClass.className()), role);
}

void paintFocusRing(QPainter &painter, const QRectF &ring, qreal radius, const QPalette &palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 1.5, Qt::DashLine));
    painter.drawRoundedRect(ring, radius, radius);
    painter.restore();
}

void FocusRingToolButton::paintEvent(QPaintEvent *event) {
    QToolButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    paintFocusRing(painter, QRectF(rect()).adjusted(1, 1, -1, -1), 3, palette());
}

void keepFocusVisible(QScrollArea *area) {
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget *, QWidget *now) {
        if (now && area->widget() && area->widget()->isAncestorOf(now))
            area->ensureWidgetVisible(now);
    });
}

void placeInTabOrder(QWidget *anchor, const QList<QWidget *> &widgets, QWidget *before) {
    QList<QWidget *> focusable;
    for (QWidget *widget : widgets)
        if (widget && widget->focusPolicy() != Qt::NoFocus)
            focusable.append(widget);
    if (!anchor && before) {
        // The nearest widget ahead of `before` that Tab can stop at and that is not being placed.
        for (QWidget *candidate = before->previousInFocusChain(); candidate && candidate != before;
             candidate = candidate->previousInFocusChain()) {
            if (candidate->focusPolicy() != Qt::NoFocus && !focusable.contains(candidate)) {
                anchor = candidate;
                break;
            }
        }
    }
    if (!anchor)
        return;
    for (QWidget *widget : focusable) {
        QWidget::setTabOrder(anchor, widget);
        anchor = widget;
    }
}

bool pressFocusedButton(QWidget *window, const QKeyEvent &event) {
    if ((event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) || event.isAutoRepeat())
        return false;
    auto *button = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
    if (!button || button->isCheckable() || !button->isEnabled() || !window->isAncestorOf(button))
        return false;
    button->click();
    return true;
}

} // namespace orvex::KeyboardAccess
