#pragma once

#include "platform/NotificationCenter.h"

#include <QColor>
#include <QLineEdit>
#include <QTimer>

#include <optional>

namespace orvex {

// The panel's query field: no frame or background, the caret in the theme's accent colour, keyboard
// focus taken when it is created and every time the panel appears ("WindowAppeared"). The Menu key and
// Shift+F10 open its context menu at the caret, as a right click does at the pointer.
class SearchTextField : public QLineEdit {
    Q_OBJECT

public:
    explicit SearchTextField(NotificationCenter &center = NotificationCenter::defaultCenter(),
                             QWidget *parent = nullptr);
    ~SearchTextField() override;

    // Shows `text` unless the field already does, so that typing keeps its caret and selection.
    void setBoundText(const QString &text);
    void setTextColor(const QColor &color);
    void setPlaceholderColor(const QColor &color);
    // None keeps the colour set before.
    void setAccentColor(const std::optional<QColor> &color);
    std::optional<QColor> insertionPointColor() const { return insertionPointColor_; }
    // Whether the caret is in its visible phase (tests).
    bool isCaretShown() const { return caretShown_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void requestFocus();
    void restartCaretBlink();

    NotificationCenter &center_;
    NotificationCenter::ObserverToken windowAppearedObserver_ = 0;
    std::optional<QColor> insertionPointColor_;
    QTimer caretBlink_;
    bool caretShown_ = true;
};

} // namespace orvex
