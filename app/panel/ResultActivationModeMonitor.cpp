#include "panel/ResultActivationModeMonitor.h"

#include "panel/PanelNotifications.h"
#include "panel/ResultActivation.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace orvex {

namespace {

Qt::KeyboardModifiers windowSystemModifiers() {
    // Only a GUI application knows the keyboard; on X11 Qt asks the server for its current state.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::queryKeyboardModifiers();
    return Qt::NoModifier;
}

} // namespace

ResultActivationModeMonitor::ResultActivationModeMonitor(NotificationCenter &center, QObject *parent,
                                                         ModifierQuery query)
    : QObject(parent), center_(center),
      query_(query ? std::move(query) : ModifierQuery(windowSystemModifiers)) {
    heldKeyTimer_.setInterval(heldKeyInterval);
    connect(&heldKeyTimer_, &QTimer::timeout, this, qOverload<>(&ResultActivationModeMonitor::refresh));
    refresh();
}

ResultActivationModeMonitor::~ResultActivationModeMonitor() {
    remove();
}

void ResultActivationModeMonitor::install() {
    panelShown_ = true;
    refresh();
    if (installed_)
        return;
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
    // Delivered on the poster's thread; the mode lives on ours.
    const auto onOwnThread = [this](std::function<void()> handler) {
        return [this, handler](const Notification &) {
            QMetaObject::invokeMethod(this, handler, Qt::AutoConnection);
        };
    };
    observers_.append(center_.addObserver(NotificationName::launcherWindowAppeared, onOwnThread([this] {
                                              panelShown_ = true;
                                              refresh();
                                          })));
    observers_.append(center_.addObserver(NotificationName::launcherWindowHidden, onOwnThread([this] {
                                              panelShown_ = false;
                                              updateHeldKeyWatch();
                                          })));
    installed_ = true;
    updateHeldKeyWatch();
}

void ResultActivationModeMonitor::remove() {
    if (!installed_)
        return;
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
    for (const NotificationCenter::ObserverToken token : observers_)
        center_.removeObserver(token);
    observers_.clear();
    installed_ = false;
    updateHeldKeyWatch();
}

void ResultActivationModeMonitor::refresh() {
    refresh(query_());
}

void ResultActivationModeMonitor::refresh(Qt::KeyboardModifiers modifiers) {
    const ResultActivationMode mode = ResultActivation::modeForModifiers(modifiers);
    if (mode != mode_) {
        mode_ = mode;
        Q_EMIT activeModifierModeChanged(mode);
    }
    updateHeldKeyWatch();
}

void ResultActivationModeMonitor::updateHeldKeyWatch() {
    const bool watch = installed_ && panelShown_ && mode_ == ResultActivationMode::revealInFileBrowser;
    if (watch && !heldKeyTimer_.isActive())
        heldKeyTimer_.start();
    else if (!watch)
        heldKeyTimer_.stop();
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
