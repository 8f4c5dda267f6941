#include "panel/SearchTextField.h"

#include "panel/PanelNotifications.h"
#include "panel/SearchState.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>

namespace orvex {

namespace {

// The line edit draws its caret in the text colour; this style hides that caret so the field can draw
// its own in the accent colour.
class HiddenCaretStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override {
        if (metric == PM_TextCursorWidth)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle *hiddenCaretStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new HiddenCaretStyle;
        style->setParent(qApp);
    }
    return style.data();
}

constexpr int caretWidth = 2;

} // namespace

SearchTextField::SearchTextField(NotificationCenter &center, QWidget *parent)
    : QLineEdit(parent), center_(center) {
    setFrame(false);
    setMaxLength(int(SearchState::maxQueryLength));
    setStyle(hiddenCaretStyle());
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setAutoFillBackground(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    setPalette(palette);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    const int flash = QApplication::cursorFlashTime();
    caretBlink_.setInterval(flash > 0 ? flash / 2 : 500);
    connect(&caretBlink_, &QTimer::timeout, this, [this] {
        caretShown_ = !caretShown_;
        update();
    });
    connect(this, &QLineEdit::cursorPositionChanged, this, &SearchTextField::restartCaretBlink);
    connect(this, &QLineEdit::textChanged, this, &SearchTextField::restartCaretBlink);

    // Once the field is in its window, and again whenever the panel is shown.
    QTimer::singleShot(0, this, &SearchTextField::requestFocus);
    QPointer<SearchTextField> field(this);
    windowAppearedObserver_ =
        center_.addObserver(QString(NotificationName::launcherWindowAppeared), [field](const Notification &) {
            QTimer::singleShot(0, field.data(), [field] {
                if (field)
                    field->requestFocus();
            });
        });
}

SearchTextField::~SearchTextField() {
    center_.removeObserver(windowAppearedObserver_);
}

void SearchTextField::requestFocus() {
    if (window() && window()->isVisible())
        setFocus(Qt::OtherFocusReason);
}

void SearchTextField::setBoundText(const QString &text) {
    if (this->text() != text)
        setText(text);
}

void SearchTextField::setTextColor(const QColor &color) {
    QPalette palette = this->palette();
    if (palette.color(QPalette::Text) == color)
        return;
    palette.setColor(QPalette::Text, color);
    setPalette(palette);
}

void SearchTextField::setPlaceholderColor(const QColor &color) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::PlaceholderText, color);
    setPalette(palette);
}

void SearchTextField::setAccentColor(const std::optional<QColor> &color) {
    if (color && insertionPointColor_ != color) {
        insertionPointColor_ = color;
        update();
    }
}

void SearchTextField::restartCaretBlink() {
    caretShown_ = true;
    if (hasFocus())
        caretBlink_.start();
    update();
}

void SearchTextField::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    restartCaretBlink();
}

void SearchTextField::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    caretBlink_.stop();
    update();
}

void SearchTextField::keyPressEvent(QKeyEvent *event) {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if ((event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        // Qt makes no menu of Shift+F10, and of the Menu key only on some platforms; a request the
        // toolkit still sends for the key goes to the menu then open.
        const QPoint caret = cursorRect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, caret, mapToGlobal(caret), event->modifiers());
        QCoreApplication::sendEvent(this, &menu);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SearchTextField::paintEvent(QPaintEvent *event) {
    QLineEdit::paintEvent(event);
    if (!hasFocus() || !caretShown_ || hasSelectedText())
        return;
    const QColor color = insertionPointColor_.value_or(palette().color(QPalette::Text));
    const QRect cursor = cursorRect();
    // The style's cursor rectangle is wider than the caret; the caret sits on its centre line and
    // spans the font's height.
    const int height = fontMetrics().height();
    const QRect caret(cursor.center().x() - caretWidth / 2 + 1, cursor.center().y() - height / 2, caretWidth,
                      height);
    QPainter painter(this);
    painter.fillRect(caret, color);
}

} // namespace orvex
