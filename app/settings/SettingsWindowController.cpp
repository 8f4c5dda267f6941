#include "settings/SettingsWindowController.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace orvex {

SettingsWindow::SettingsWindow(SettingsView *view, WindowSizeStore sizeStore)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      view_(view), sizeStore_(std::move(sizeStore)) {
    KeyboardAccess::exposeWithRole(staticMetaObject, QAccessible::Dialog);
    setWindowTitle(QStringLiteral("Launcher Settings"));
    setObjectName(QStringLiteral("LauncherSettingsWindow"));
    // Closing only hides it: the launcher lives on with no window shown.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *closeShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_->setParent(this);
    layout->addWidget(view_);
    setMinimumSize(static_cast<int>(sizeStore_.minWidth), static_cast<int>(sizeStore_.minHeight));
    setMaximumSize(static_cast<int>(sizeStore_.maxWidth), static_cast<int>(sizeStore_.maxHeight));
    // The content size, the same measure resizeEvent() stores.
    resize(sizeStore_.load(SettingsWindowController::defaultSize));
}

void SettingsWindow::resizeEvent(QResizeEvent *event) {
    // size(), not frameGeometry(): restoring a frame size as the content size would grow the window by
    // its title bar at every launch.
    sizeStore_.save(event->size());
    QWidget::resizeEvent(event);
}

void SettingsWindow::keyPressEvent(QKeyEvent *event) {
    // Keys the focused control left alone.
    if (KeyboardAccess::pressFocusedButton(this, *event))
        return;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

SettingsWindowController::SettingsWindowController(std::function<SettingsEnvironment()> environment,
                                                   WindowSizeStore sizeStore)
    : environment_(std::move(environment)), sizeStore_(std::move(sizeStore)) {}

SettingsWindowController::~SettingsWindowController() {
    delete window_.data();
}

void SettingsWindowController::show() {
    if (!window_) {
        window_ = new SettingsWindow(new SettingsView(environment_()), sizeStore_);
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = window_->geometry();
            frame.moveCenter(screen->availableGeometry().center());
            window_->move(frame.topLeft());
        }
    }
    window_->show();
    // Opened from the keyboard (the panel, the hot key): the focused control shows its focus ring at
    // once, not from the first Tab on. Showing the window clears the flag, so it comes after.
    window_->setAttribute(Qt::WA_KeyboardFocusChange);
    window_->raise();
    window_->activateWindow();
}

} // namespace orvex
