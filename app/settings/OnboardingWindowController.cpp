#include "settings/OnboardingWindowController.h"

#include "settings/KeyboardAccess.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace orvex {

PermissionSetupWindow::PermissionSetupWindow()
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    KeyboardAccess::exposeWithRole(staticMetaObject, QAccessible::Dialog);
    setWindowTitle(QStringLiteral("Permission Setup"));
    // Closing only hides it: the launcher lives on with no window shown.
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName(QStringLiteral("PermissionSetupWindow"));
}

OnboardingWindowController::OnboardingWindowController(PermissionOnboardingStore store,
                                                       std::function<void()> showPanel,
                                                       PermissionWarmups warmups)
    : store_(std::move(store)), showPanel_(std::move(showPanel)), warmups_(std::move(warmups)) {}

OnboardingWindowController::~OnboardingWindowController() {
    delete window_.data();
}

void OnboardingWindowController::show() {
    if (!window_) {
        auto *window = new PermissionSetupWindow;
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new PermissionsOnboardingView([this] { finish(true); }, [this] { finish(false); }, warmups_,
                                              window);
        layout->addWidget(view_);
        window->setFixedSize(680, 460);
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = window->geometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        window_ = window;
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void OnboardingWindowController::finish(bool completed) {
    if (completed)
        store_.defaults->set(store_.completedKey, PlistValue(true));
    if (window_)
        window_->hide();
    if (showPanel_)
        showPanel_();
}

} // namespace orvex
