#include "panel/ResultActivationModeMonitor.h"

#include "panel/ResultActivation.h"
#include "search/LauncherNotifications.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace orvex {

ResultActivationModeMonitor::ResultActivationModeMonitor(NotificationCenter &center, QObject *parent)
    : QObject(parent), center_(center) {
    refresh();
}

ResultActivationModeMonitor::~ResultActivationModeMonitor() {
    remove();
}

void ResultActivationModeMonitor::install() {
    refresh();
    if (installed_)
        return;
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
    appearedObserver_ =
        center_.addObserver(NotificationName::launcherWindowAppeared, [this](const Notification &) {
            QMetaObject::invokeMethod(
                this, [this] { refresh(); }, Qt::AutoConnection);
        });
    installed_ = true;
}

void ResultActivationModeMonitor::remove() {
    if (!installed_)
        return;
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
    center_.removeObserver(appearedObserver_);
    installed_ = false;
}

void ResultActivationModeMonitor::refresh() {
    // Only a GUI application knows the keyboard.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        refresh(QGuiApplication::queryKeyboardModifiers());
}

void ResultActivationModeMonitor::refresh(Qt::KeyboardModifiers modifiers) {
    const ResultActivationMode mode = ResultActivation::modeForModifiers(modifiers);
    if (mode == mode_)
        return;
    mode_ = mode;
    Q_EMIT activeModifierModeChanged(mode);
}

bool ResultActivationModeMonitor::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        Qt::KeyboardModifiers modifiers = key->modifiers();
        // X11 reports the state before the event: the Control key's own press does not carry Control
        // yet, and its release still does.
        if (key->key() == Qt::Key_Control)
            modifiers.setFlag(Qt::ControlModifier, event->type() == QEvent::KeyPress);
        refresh(modifiers);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orvex
