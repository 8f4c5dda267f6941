#include "shell/CustomWindow.h"

#include "shell/SettingsFieldEditor.h"

#include "settings/KeyboardAccess.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QBitmap>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

namespace orvex {

namespace {

// An invisible strip along one edge that resizes the window by hand.
class ResizeStrip final : public QWidget {
public:
    ResizeStrip(CustomWindow &window, CustomWindow::Edge edge)
        : QWidget(&window), window_(window), edge_(edge) {
        setCursor(edge == CustomWindow::Edge::bottom ? Qt::SizeVerCursor : Qt::SizeHorCursor);
        setAttribute(Qt::WA_NoSystemBackground);
        setAutoFillBackground(false);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        window_.beginLiveResize(edge_, event->globalPosition());
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent *event) override {
        if (window_.inLiveResize())
            window_.continueLiveResize(event->globalPosition());
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton && window_.inLiveResize())
            window_.endLiveResize();
        event->accept();
    }

private:
    CustomWindow &window_;
    CustomWindow::Edge edge_;
};

// Controls and text views handle their own presses; a drag never starts on them.
bool isControlOrTextView(const QWidget *widget) {
    return qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QAbstractSlider *>(widget) ||
           qobject_cast<const QAbstractSpinBox *>(widget) || qobject_cast<const QComboBox *>(widget) ||
           qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QTextEdit *>(widget) ||
           qobject_cast<const QPlainTextEdit *>(widget);
}

constexpr double dragThreshold = 0.5;

} // namespace

CustomWindow::CustomWindow(bool translucent, UserDefaults &defaults, NotificationCenter &center)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      translucent_(translucent), defaults_(defaults), center_(center) {
    // A frame to screen readers, as an application's main window is, not a filler.
    KeyboardAccess::exposeWithRole(staticMetaObject, QAccessible::Window);
    setObjectName(QStringLiteral("LauncherPanel"));
    setWindowTitle(QStringLiteral("Orvex Launcher"));
    if (translucent_)
        setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    strips_ = {new ResizeStrip(*this, Edge::left), new ResizeStrip(*this, Edge::right),
               new ResizeStrip(*this, Edge::bottom)};
    layoutStrips();
}

CustomWindow::~CustomWindow() = default;

void CustomWindow::setContentView(QWidget *content) {
    if (content_)
        content_->deleteLater();
    content_ = content;
    if (content_) {
        content_->setParent(this);
        static_cast<QVBoxLayout *>(layout())->addWidget(content_);
    }
    for (QWidget *strip : strips_)
        strip->raise();
}

void CustomWindow::setSearchField(QLineEdit *field) {
    searchField_ = field;
    if (!field)
        return;
    field->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(field, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        if (!searchField_)
            return;
        SettingsFieldEditor *editor = settingsFieldEditor();
        QMenu *menu = editor->menu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(searchField_->mapToGlobal(position));
    });
}

SettingsFieldEditor *CustomWindow::settingsFieldEditor() {
    if (!settingsFieldEditor_ && searchField_)
        settingsFieldEditor_ = new SettingsFieldEditor(*searchField_, defaults_, center_, this);
    return settingsFieldEditor_;
}

bool CustomWindow::shouldStartManualDrag(const QPoint &position, Qt::MouseButton button) const {
    if (button != Qt::LeftButton)
        return false;
    if (!content_)
        return true;
    const QPoint point = content_->mapFrom(this, position);
    const QRect bounds = content_->rect();
    if (point.x() <= bounds.left() + horizontalResizeHandleWidth ||
        point.x() >= bounds.left() + bounds.width() - horizontalResizeHandleWidth)
        return false;
    const QWidget *hit = content_->childAt(point);
    for (const QWidget *widget = hit; widget && widget != this; widget = widget->parentWidget())
        if (isControlOrTextView(widget))
            return false;
    return true;
}

void CustomWindow::mousePressEvent(QMouseEvent *event) {
    // Only presses that no part of the content took arrive here.
    if (!shouldStartManualDrag(event->position().toPoint(), event->button())) {
        QWidget::mousePressEvent(event);
        return;
    }
    drag_ = ManualDrag{event->globalPosition(), pos()};
    event->accept();
}

void CustomWindow::mouseMoveEvent(QMouseEvent *event) {
    if (!drag_ || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    // Always measured from the press, so a snapped origin never accumulates error.
    const QPointF delta = event->globalPosition() - drag_->startPoint;
    if (!drag_->dragging && std::abs(delta.x()) <= dragThreshold && std::abs(delta.y()) <= dragThreshold)
        return;
    if (!drag_->began) {
        drag_->began = true;
        if (onDragBegan)
            onDragBegan();
    }
    QPoint origin = drag_->startOrigin + QPoint(static_cast<int>(std::lround(delta.x())),
                                                static_cast<int>(std::lround(delta.y())));
    if (onDragMoved)
        origin = onDragMoved(origin);
    drag_->dragging = true;
    move(origin);
}

void CustomWindow::mouseReleaseEvent(QMouseEvent *event) {
    if (!drag_ || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const bool dragged = drag_->dragging;
    drag_.reset();
    if (dragged && onDragEnded)
        onDragEnded();
}

void CustomWindow::setVerticalResizeEnabled(bool enabled) {
    verticalResizeEnabled_ = enabled;
    strips_[2]->setVisible(enabled);
}

QRect CustomWindow::resizeStripRect(Edge edge) const {
    const QRect bounds = rect();
    const int strip = std::min(bounds.width(), horizontalResizeHandleWidth);
    switch (edge) {
    case Edge::left:
        return QRect(bounds.left(), bounds.top(), strip, bounds.height());
    case Edge::right:
        return QRect(std::max(bounds.left(), bounds.left() + bounds.width() - horizontalResizeHandleWidth),
                     bounds.top(), strip, bounds.height());
    case Edge::bottom: {
        const int height = std::min(bounds.height(), horizontalResizeHandleWidth);
        return QRect(bounds.left() + strip, bounds.top() + bounds.height() - height,
                     std::max(0, bounds.width() - 2 * strip), height);
    }
    }
    return {};
}

void CustomWindow::layoutStrips() {
    strips_[0]->setGeometry(resizeStripRect(Edge::left));
    strips_[1]->setGeometry(resizeStripRect(Edge::right));
    strips_[2]->setGeometry(resizeStripRect(Edge::bottom));
    for (QWidget *strip : strips_)
        strip->raise();
}

void CustomWindow::beginLiveResize(Edge edge, QPointF globalPosition) {
    if (edge == Edge::bottom && !verticalResizeEnabled_)
        return;
    if (delegate_)
        delegate_->windowWillStartLiveResize(*this);
    liveResize_ = LiveResize{edge, globalPosition, geometry()};
}

void CustomWindow::continueLiveResize(QPointF globalPosition) {
    if (!liveResize_)
        return;
    const QPointF delta = globalPosition - liveResize_->startPoint;
    const int dx = static_cast<int>(std::lround(delta.x()));
    const int dy = static_cast<int>(std::lround(delta.y()));
    const QRect start = liveResize_->startFrame;
    QSize proposed = start.size();
    switch (liveResize_->edge) {
    case Edge::left:
        proposed.setWidth(start.width() - dx);
        break;
    case Edge::right:
        proposed.setWidth(start.width() + dx);
        break;
    case Edge::bottom:
        proposed.setHeight(start.height() + dy);
        break;
    }
    const QSize allowed = delegate_ ? delegate_->windowWillResize(*this, proposed) : proposed;
    QPoint origin = pos();
    // The left strip moves the left edge; the right edge stays where it was.
    if (liveResize_->edge == Edge::left)
        origin.setX(start.x() + start.width() - allowed.width());
    if (QRect(origin, allowed) != geometry())
        setGeometry(QRect(origin, allowed));
}

void CustomWindow::endLiveResize() {
    if (!liveResize_)
        return;
    liveResize_.reset();
    if (delegate_)
        delegate_->windowDidEndLiveResize(*this);
}

void CustomWindow::setRoundedShape(bool rounded, qreal radius) {
    if (rounded)
        roundedRadius_ = radius;
    else
        roundedRadius_.reset();
    updateShape();
}

void CustomWindow::updateShape() {
    if (!roundedRadius_) {
        clearMask();
        return;
    }
    // A one-bit mask of the rounded outline: what lies outside is not part of the window.
    QBitmap bitmap(size());
    bitmap.fill(Qt::color0);
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), *roundedRadius_, *roundedRadius_);
    painter.fillPath(outline, Qt::color1);
    painter.end();
    setMask(bitmap);
}

bool CustomWindow::isStaleWindowManagerReport(const QEvent &event) const {
    // While the window manager maps the panel again, Qt is told the geometry of a frame that is still
    // being set up (its corner 0, 0 and the size it had when last mapped); the true one follows. Until
    // the panel is exposed such a report is no place or size of the user's.
    return event.spontaneous() && isVisible() && !drag_ && !liveResize_ && windowHandle() &&
           !windowHandle()->isExposed();
}

void CustomWindow::resizeEvent(QResizeEvent *event) {
    // Taken at its word, a stale report would be stored and the panel laid out at it for good: the
    // window is put back as the launcher sized it.
    if (isStaleWindowManagerReport(*event) && event->oldSize().isValid() &&
        event->size() != event->oldSize()) {
        resize(event->oldSize());
        return;
    }
    QWidget::resizeEvent(event);
    layoutStrips();
    updateShape();
    if (delegate_)
        delegate_->windowDidResize(*this);
}

void CustomWindow::moveEvent(QMoveEvent *event) {
    if (isStaleWindowManagerReport(*event) && event->pos() != event->oldPos()) {
        move(event->oldPos());
        return;
    }
    QWidget::moveEvent(event);
    if (delegate_)
        delegate_->windowDidMove(*this);
}

} // namespace orvex
