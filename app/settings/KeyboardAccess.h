#pragma once

#include <QAccessible>
#include <QToolButton>

class QKeyEvent;
class QMetaObject;
class QPainter;
class QPalette;
class QRectF;
class QScrollArea;
class QWidget;

namespace orvex::KeyboardAccess {

// How the launcher's windows meet keyboard and screen-reader users where Qt's plain widgets fall short.

// The keyboard focus on a control that draws itself: a dashed ring in the highlight colour.
void paintFocusRing(QPainter &painter, const QRectF &ring, qreal radius, const QPalette &palette);

// A borderless symbol button (delete a rule, move an engine) that shows when it has the keyboard
// focus, which the style draws for none of them.
class FocusRingToolButton : public QToolButton {
    Q_OBJECT

public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Every widget of the class is exposed to assistive technology with `role` (a window as a dialog or a
// frame, where a plain QWidget would be a filler). Call before the first one is shown.
void exposeWithRole(const QMetaObject &widgetClass, QAccessible::Role role);

// Scrolls `area` to whatever control inside it takes the focus, however it took it (Tab, an arrow key,
// a screen reader's focus request), as Tab alone would.
void keepFocusVisible(QScrollArea *area);

// Return or Enter on the focused button, when it is inside `window`, presses it, as Space does; true when it
// did. Checkable buttons (check boxes) keep Space alone.
bool pressFocusedButton(QWidget *window, const QKeyEvent &event);

} // namespace orvex::KeyboardAccess
