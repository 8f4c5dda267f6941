#pragma once

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

#include <optional>

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

// A check box for a choice this machine may not offer (a translation engine it cannot run). While
// unavailable it keeps its Tab stop, so that a screen reader still reaches it and reads why (its
// accessible description), but it is exposed as disabled and no click, key or assistive action changes
// it: the box stays as the owner set it.
class OptionalCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit OptionalCheckBox(const QString &text, QWidget *parent = nullptr);

    bool isAvailable() const { return available_; }
    void setAvailable(bool available);

protected:
    bool hitButton(const QPoint &position) const override;
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool available_ = true;
};

// A text of the settings and onboarding windows that names no control, exposed for what it is:
//  - Paragraph: help text. A screen reader reads it with the control it explains (whose description
//    repeats it), not as a loose label each time the focus enters the group or window around it.
//  - Heading: the title of what follows.
//  - Notification: an outcome or state line. A screen reader speaks a notification when it appears, and
//    setMessage() has it spoken again at each new text while shown, wherever the focus is (Qt has no
//    announcement of its own, and the name and description changes it sends carry no text).
class AccessibleLabel : public QLabel {
    Q_OBJECT

public:
    explicit AccessibleLabel(QAccessible::Role role, const QString &text = QString(),
                             QWidget *parent = nullptr);

    QAccessible::Role role() const { return role_; }
    // Shows `message` (hides the line for none); a new text on a shown line is announced.
    void setMessage(const std::optional<QString> &message);

private:
    QAccessible::Role role_;
};

// Every widget of the class is exposed to assistive technology with `role` (a window as a dialog or a
// frame, where a plain QWidget would be a filler). Call before the first one is shown.
void exposeWithRole(const QMetaObject &widgetClass, QAccessible::Role role);

// Scrolls `area` to whatever control inside it takes the focus, however it took it (Tab, an arrow key,
// a screen reader's focus request), as Tab alone would.
void keepFocusVisible(QScrollArea *area);

// Puts `widgets` one after the other into the Tab order, right after `anchor` (null: right before
// `before`, whatever stands there now). Rows made after the controls that follow them on screen are
// otherwise reached last. Widgets that take no focus are passed over.
void placeInTabOrder(QWidget *anchor, const QList<QWidget *> &widgets, QWidget *before = nullptr);

// Return or Enter on the focused button, when it is inside `window`, presses it, as Space does; true when it
// did. Checkable buttons (check boxes) keep Space alone.
bool pressFocusedButton(QWidget *window, const QKeyEvent &event);

} // namespace orvex::KeyboardAccess
