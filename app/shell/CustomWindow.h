#pragma once

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QLineEdit;

namespace orvex {

class CustomWindow;
class SettingsFieldEditor;

// What the panel window tells its owner about sizes and moves, as a window delegate would.
class CustomWindowDelegate {
public:
    virtual ~CustomWindowDelegate() = default;
    // The size a resize by hand may take instead of `proposed`.
    virtual QSize windowWillResize(CustomWindow &window, QSize proposed) = 0;
    virtual void windowWillStartLiveResize(CustomWindow &window) = 0;
    virtual void windowDidResize(CustomWindow &window) = 0;
    virtual void windowDidEndLiveResize(CustomWindow &window) = 0;
    virtual void windowDidMove(CustomWindow &window) = 0;
};

// The launcher panel's window: frameless, above other windows, without a task-bar entry. It moves itself
// when the user drags an empty part of its content, through hooks that let the owner snap and clamp the
// position (the window manager's own move would bypass them), and resizes by hand at 8-pixel strips
// along its left and right edges (and the bottom edge while vertical resizing is on). Without a
// compositing manager it is shaped to its rounded outline.
class CustomWindow : public QWidget {
    Q_OBJECT

public:
    enum class Edge { left, right, bottom };

    static constexpr int horizontalResizeHandleWidth = 8;

    // `translucent`: the window gets an alpha channel (a compositing manager runs). The defaults and the
    // centre serve the search field's context menu.
    CustomWindow(bool translucent, UserDefaults &defaults, NotificationCenter &center);
    ~CustomWindow() override;

    void setContentView(QWidget *content);
    QWidget *contentView() const { return content_; }
    // Gives the field the launcher's context menu (SettingsFieldEditor).
    void setSearchField(QLineEdit *field);
    // Created on first request, then kept; null before a search field is set.
    SettingsFieldEditor *settingsFieldEditor();

    void setDelegate(CustomWindowDelegate *delegate) { delegate_ = delegate; }
    CustomWindowDelegate *delegate() const { return delegate_; }

    // Called once when a drag passes the movement threshold.
    std::function<void()> onDragBegan;
    // Takes the proposed top-left corner and answers the one to use.
    std::function<QPoint(QPoint)> onDragMoved;
    // Called when the button is released after a drag that moved the window.
    std::function<void()> onDragEnded;

    // Whether a left press at `position` (window coordinates) moves the window.
    bool shouldStartManualDrag(const QPoint &position, Qt::MouseButton button) const;

    // The bottom strip resizes the height; off while the height is fixed.
    void setVerticalResizeEnabled(bool enabled);
    bool isVerticalResizeEnabled() const { return verticalResizeEnabled_; }
    bool inLiveResize() const { return liveResize_.has_value(); }
    // The strip of one edge, in window coordinates.
    QRect resizeStripRect(Edge edge) const;

    // Cuts the window to its rounded outline (no compositing manager) or shows it whole.
    void setRoundedShape(bool rounded, qreal radius);
    bool hasRoundedShape() const { return roundedRadius_.has_value(); }
    bool isTranslucent() const { return translucent_; }

    // The strips' hand resizing, by global pointer positions.
    void beginLiveResize(Edge edge, QPointF globalPosition);
    void continueLiveResize(QPointF globalPosition);
    void endLiveResize();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    struct ManualDrag {
        QPointF startPoint;
        QPoint startOrigin;
        bool began = false;
        bool dragging = false;
    };
    struct LiveResize {
        Edge edge;
        QPointF startPoint;
        QRect startFrame;
    };

    void layoutStrips();
    void updateShape();
    bool isStaleWindowManagerReport(const QEvent &event) const;

    bool translucent_;
    UserDefaults &defaults_;
    NotificationCenter &center_;
    QWidget *content_ = nullptr;
    QPointer<QLineEdit> searchField_;
    SettingsFieldEditor *settingsFieldEditor_ = nullptr;
    CustomWindowDelegate *delegate_ = nullptr;
    std::array<QWidget *, 3> strips_{};
    bool verticalResizeEnabled_ = true;
    std::optional<ManualDrag> drag_;
    std::optional<LiveResize> liveResize_;
    std::optional<qreal> roundedRadius_;
};

} // namespace orvex
