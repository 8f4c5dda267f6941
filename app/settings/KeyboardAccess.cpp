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

} // namespace

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
