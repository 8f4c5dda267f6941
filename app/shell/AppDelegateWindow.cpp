// The panel's showing, hiding and sizes.
#include "shell/AppDelegate.h"

#include "shell/SnapGridOverlayView.h"
#include "shell/X11Desktop.h"

#include "panel/PanelNotifications.h"
#include "panel/SearchTextField.h"
#include "platform/ConsoleLog.h"
#include "search/LauncherNotifications.h"

#include <QLineEdit>
#include <QTimer>

#include <cmath>

namespace orvex {

void AppDelegate::showWindow() {
    center_.post(QString(NotificationName::launcherWindowAppeared));
    if (!window_)
        return;
    if (!window_->isVisible()) {
        keepWindowOnScreen();
        applyWindowShape();
        if (x11_)
            x11_->prepareToShow(static_cast<quint32>(window_->winId()));
    }
    window_->show();
    window_->raise();
    activateApplication();
    // Typing after showing replaces the previous query. Selected at once (the session's query is in the
    // field by now), so that keys typed right after the hot key are never selected and overwritten; the
    // later pass only catches a query put there meanwhile, unless the user has typed since.
    auto *field = qobject_cast<QLineEdit *>(window_->focusWidget());
    if (!field && contentView_)
        field = contentView_->searchField();
    if (!field)
        return;
    field->selectAll();
    const quint64 show = ++showCount_;
    QPointer<QLineEdit> guardedField(field);
    QTimer::singleShot(50, this, [this, guardedField, show] {
        if (guardedField && show == showCount_ && lastEditedShow_ != show &&
            window_->focusWidget() == guardedField)
            guardedField->selectAll();
    });
}

void AppDelegate::activateApplication() {
    const quint32 timestamp = std::exchange(pendingActivationTimestamp_, 0);
    if (x11_)
        x11_->activate(static_cast<quint32>(window_->winId()), timestamp);
    else
        window_->activateWindow();
}

void AppDelegate::keepWindowOnScreen() {
    // The screen the panel was on may be gone since it was last shown.
    const QRect frame = window_->geometry();
    const QPoint origin =
        WindowPositionStore::clamped(frame.topLeft(), frame.size(), preferredVisibleFrameForLauncher());
    if (origin != frame.topLeft()) {
        isResizingWindowProgrammatically_ = true;
        window_->move(origin);
        isResizingWindowProgrammatically_ = false;
    }
}

void AppDelegate::applyWindowShape() {
    // Rounded corners need an alpha channel and a compositing manager; without one the window is cut
    // to its outline instead.
    const bool compositing =
        window_->isTranslucent() &&
        environment_.compositing.value_or(x11_ ? x11_->isCompositingManagerRunning() : true);
    window_->setRoundedShape(!compositing, ContentView::cornerRadius);
}

void AppDelegate::hideWindow() {
    hideSnapOverlay();
    if (window_)
        window_->hide();
    center_.post(QString(NotificationName::launcherWindowHidden));
}

void AppDelegate::activationFailed(const SearchResult &result, const QString &reason) {
    const QString item = result.kind() == SearchResultKind::action
                             ? result.actionURLString().value_or(result.filename())
                             : result.fullPath();
    printErrorLine(QStringLiteral("Orvex Launcher could not open %1: %2").arg(item, reason));
    environment_.notifyUser(QStringLiteral("Could not open \u201c%1\u201d").arg(result.filename()), reason);
}

void AppDelegate::toggleWindow() {
    if (window_ && window_->isVisible())
        hideWindow();
    else
        showWindow();
}

void AppDelegate::updateResultsVisibility(bool hasResults, bool animated) {
    isShowingResults_ = hasResults;
    const int target =
        hasResults ? std::max(lastExpandedWindowHeight_, minExpandedWindowHeight) : compactWindowHeight;
    resizeWindow(target, animated);
}

QSize AppDelegate::maxWindowSizeOnScreen() const {
    // A saved size from a larger screen (or edited by hand) would run off this one; the minimum wins
    // on a screen smaller still.
    const QSize area = preferredVisibleFrameForLauncher().size();
    return QSize(std::max(minWindowWidth, std::min(maxWindowWidth, area.width())),
                 std::max(minExpandedWindowHeight, std::min(maxWindowHeight, area.height())));
}

void AppDelegate::applyWindowSizeLimits() {
    if (!window_)
        return;
    const QSize largest = maxWindowSizeOnScreen();
    window_->setMinimumSize(minWindowWidth,
                            isShowingResults_ ? minExpandedWindowHeight : compactWindowHeight);
    // The compact panel cannot be made taller by hand, nor by the window manager.
    window_->setMaximumSize(largest.width(), isShowingResults_ ? largest.height() : compactWindowHeight);
    window_->setVerticalResizeEnabled(isShowingResults_);
}

void AppDelegate::resizeWindow(int height, bool /*animated*/) {
    if (!window_)
        return;
    const QSize largest = maxWindowSizeOnScreen();
    const int finalHeight = isShowingResults_ ? std::clamp(height, minExpandedWindowHeight, largest.height())
                                              : compactWindowHeight;
    const QRect frame = window_->geometry();
    const int finalWidth = std::min(frame.width(), largest.width());
    if (std::abs(frame.height() - finalHeight) <= 0.5 && finalWidth == frame.width()) {
        applyWindowSizeLimits();
        return;
    }
    // The top edge stays where it is.
    const QRect target(frame.x(), frame.y(), finalWidth, finalHeight);
    intendedTopYAfterResize_ = target.y();
    isResizingWindowProgrammatically_ = true;
    // The limits of both states while the height changes, so that no limit resizes the window on its own.
    window_->setMinimumSize(minWindowWidth, compactWindowHeight);
    window_->setMaximumSize(largest.width(), largest.height());
    window_->setGeometry(target);
    applyWindowSizeLimits();
    isResizingWindowProgrammatically_ = false;
}

QSize AppDelegate::windowWillResize(CustomWindow &, QSize proposed) {
    const QSize largest = maxWindowSizeOnScreen();
    const int width = std::clamp(proposed.width(), minWindowWidth, largest.width());
    const int height = isShowingResults_
                           ? std::clamp(proposed.height(), minExpandedWindowHeight, largest.height())
                           : compactWindowHeight;
    return QSize(width, height);
}

void AppDelegate::windowWillStartLiveResize(CustomWindow &window) {
    liveResizeAnchorOrigin_ = window.pos();
}

void AppDelegate::windowDidResize(CustomWindow &window) {
    if (!window.isVisible() && !isResizingWindowProgrammatically_ && intendedTopYAfterResize_) {
        if (std::abs(window.y() - *intendedTopYAfterResize_) > 0.5) {
            isResizingWindowProgrammatically_ = true;
            window.move(window.x(), *intendedTopYAfterResize_);
            isResizingWindowProgrammatically_ = false;
        }
        intendedTopYAfterResize_.reset();
    }
    bool savePosition = false;
    if (window.isVisible() || window.inLiveResize()) {
        clampWindowWithinVisibleFrameAfterResizeIfNeeded();
        savePosition = true;
    }
    if (isShowingResults_)
        lastExpandedWindowHeight_ = window.height();
    // The compact height is never stored: the stored height is the expanded one.
    windowSizeStore().save(
        QSize(window.width(), isShowingResults_ ? window.height() : lastExpandedWindowHeight_));
    if (savePosition)
        windowPositionStore().save(window.geometry());
}

void AppDelegate::windowDidEndLiveResize(CustomWindow &window) {
    liveResizeAnchorOrigin_.reset();
    clampWindowWithinVisibleFrameAfterResizeIfNeeded();
    windowPositionStore().save(window.geometry());
}

void AppDelegate::windowDidMove(CustomWindow &window) {
    if (isResizingWindowProgrammatically_ || !window.isVisible())
        return;
    windowPositionStore().save(window.geometry());
}

} // namespace orvex
