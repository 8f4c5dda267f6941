#pragma once

#include <QAccessible>

class QKeyEvent;
class QMetaObject;
class QScrollArea;
class QWidget;

namespace orvex::KeyboardAccess {

// How the launcher's windows meet keyboard and screen-reader users where Qt's plain widgets fall short.

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
