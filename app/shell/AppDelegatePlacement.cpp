// Which screen the panel belongs to, keeping it there, and snap-to-grid while it is dragged.
#include "shell/AppDelegate.h"

#include "shell/SnapGridOverlayView.h"
#include "shell/X11Desktop.h"

#include "search/LauncherNotifications.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace orvex {

QRect AppDelegate::preferredVisibleFrameForLauncher() const {
    QList<ScreenArea> screens;
    int primary = -1;
    const QList<QScreen *> all = QGuiApplication::screens();
    for (QScreen *screen : all) {
        if (screen == QGuiApplication::primaryScreen())
            primary = static_cast<int>(screens.size());
        screens.append({screen->geometry(), screen->availableGeometry()});
    }
    std::optional<QRect> visibleFrame;
    if (window_ && window_->isVisible())
        visibleFrame = window_->geometry();
    std::optional<QPointF> saved;
    if (!visibleFrame)
        if (const auto values = WindowPositionStore::launcherPanel(defaults_).savedValues())
            saved = QPointF(values->x, values->topY);
    return WindowSnapping::preferredVisibleFrame(screens, primary, visibleFrame, saved);
}

void AppDelegate::setupWindowSnapSettings() {
    snapWindowToGrid_ = stores_.windowSnapSettingsStore.load(true);
    snapSettingsObserver_ =
        observe(NotificationName::launcherWindowSnapChanged, [this](const Notification &) {
            snapWindowToGrid_ = stores_.windowSnapSettingsStore.load(true);
            if (!snapWindowToGrid_)
                hideSnapOverlay();
        });
}

void AppDelegate::setupWindowDragHandlers() {
    if (!window_)
        return;
    QPointer<AppDelegate> self(this);
    window_->onDragBegan = [self] {
        if (self)
            self->dragSnapLocks_ = {};
    };
    window_->onDragMoved = [self](QPoint proposed) {
        if (!self || !self->window_)
            return proposed;
        const QRect visibleFrame = self->preferredVisibleFrameForLauncher();
        const WindowSnapping::DragStep step = WindowSnapping::dragMoved(
            proposed, self->window_->size(), visibleFrame, self->snapWindowToGrid_, self->dragSnapLocks_);
        if (step.showsOverlay) {
            self->snapOverlayHighlightedVerticalLine_ = step.highlightedVerticalLine;
            self->snapOverlayHighlightedHorizontalLine_ = step.highlightedHorizontalLine;
            self->showSnapOverlay(visibleFrame, step.snapState);
        } else {
            self->hideSnapOverlay();
        }
        return step.origin;
    };
    window_->onDragEnded = [self] {
        if (!self || !self->window_)
            return;
        self->dragSnapLocks_ = {};
        self->hideSnapOverlay();
        self->windowPositionStore().save(self->window_->geometry());
    };
}

void AppDelegate::hideSnapOverlay() {
    snapOverlayHighlightedVerticalLine_.reset();
    snapOverlayHighlightedHorizontalLine_.reset();
    if (snapOverlayWindow_)
        snapOverlayWindow_->hide();
}

void AppDelegate::showSnapOverlay(const QRect &visibleFrame, const LauncherSnapState &state) {
    if (!snapOverlayWindow_)
        snapOverlayWindow_ = new SnapGridOverlayView;
    if (snapOverlayWindow_->geometry() != visibleFrame)
        snapOverlayWindow_->setGeometry(visibleFrame);
    // Shaped to its lines when nothing composites the translucent window.
    snapOverlayWindow_->setShapedToLines(
        !environment_.compositing.value_or(x11_ ? x11_->isCompositingManagerRunning() : true));
    QList<double> vertical;
    for (const double line : state.verticalGuideLines)
        vertical.append(line - visibleFrame.x());
    QList<double> horizontal;
    for (const double line : state.horizontalGuideLines)
        horizontal.append(line - visibleFrame.y());
    auto toView = [](std::optional<double> line, int offset) {
        return line ? std::optional<double>(*line - offset) : std::nullopt;
    };
    snapOverlayWindow_->setLines(vertical, horizontal,
                                 toView(snapOverlayHighlightedVerticalLine_, visibleFrame.x()),
                                 toView(snapOverlayHighlightedHorizontalLine_, visibleFrame.y()));
    snapOverlayWindow_->show();
    snapOverlayWindow_->raise();
}

void AppDelegate::clampWindowWithinVisibleFrameAfterResizeIfNeeded() {
    if (!window_)
        return;
    const QRect visibleFrame = preferredVisibleFrameForLauncher();
    const QRect frame = window_->geometry();
    QPoint base = frame.topLeft();
    // While the compact panel is resized by hand its top edge stays where the resize began.
    if (window_->inLiveResize() && !isShowingResults_ && liveResizeAnchorOrigin_)
        base.setY(liveResizeAnchorOrigin_->y());
    const QPoint target = WindowPositionStore::clamped(base, frame.size(), visibleFrame);
    if (std::abs(target.x() - frame.x()) > 0.5 || std::abs(target.y() - frame.y()) > 0.5) {
        isResizingWindowProgrammatically_ = true;
        window_->move(target);
        isResizingWindowProgrammatically_ = false;
    }
}

} // namespace orvex
