#include "settings/SettingsStepper.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orvex {

namespace {

QToolButton *makeArrow(Qt::ArrowType arrow, const QString &name, QWidget *parent) {
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(18, 11);
    button->setAccessibleName(name);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// The keyboard focus drawn over the arrows, so that the stepper looks as before while it has none.
class FocusRing : public QWidget {
public:
    explicit FocusRing(QWidget *parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawPath(path);
    }
};

// What a screen reader sees of a stepper: a spin button with a value, its limits and step, the
// increase and decrease actions, and the value as the row shows it as its (read-only) text: a screen
// reader speaks a spin button's text, where there is one, rather than its bare number.
class SettingsStepperAccessible : public QAccessibleWidget,
                                  public QAccessibleValueInterface,
                                  public QAccessibleTextInterface {
public:
    explicit SettingsStepperAccessible(SettingsStepper *stepper)
        : QAccessibleWidget(stepper, QAccessible::SpinBox) {}

    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The text: the value as it reads, without a caret or a selection.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        const QString all = stepper()->valueText();
        if (startOffset < 0 || endOffset > all.size() || endOffset < startOffset)
            return QString();
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(stepper()->valueText().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return stepper()->valueText();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return stepper()->value(); }
    void setCurrentValue(const QVariant &value) override { stepper()->stepTo(value.toLongLong()); }
    QVariant maximumValue() const override { return stepper()->maximum(); }
    QVariant minimumValue() const override { return stepper()->minimum(); }
    QVariant minimumStepSize() const override { return stepper()->step(); }

    QStringList actionNames() const override {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override {
        if (name == increaseAction())
            stepper()->stepBy(1);
        else if (name == decreaseAction())
            stepper()->stepBy(-1);
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString &name) const override {
        if (name == increaseAction())
            return {QStringLiteral("Up")};
        if (name == decreaseAction())
            return {QStringLiteral("Down")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

private:
    SettingsStepper *stepper() const { return static_cast<SettingsStepper *>(widget()); }
};

QAccessibleInterface *stepperAccessibleFactory(const QString &className, QObject *object) {
    if (className == QLatin1String(SettingsStepper::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new SettingsStepperAccessible(static_cast<SettingsStepper *>(object));
    return nullptr;
}

} // namespace

SettingsStepper::SettingsStepper(qint64 minimum, qint64 maximum, qint64 step, QWidget *parent)
    : QWidget(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)), step_(step), value_(minimum) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&stepperAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = makeArrow(Qt::UpArrow, QStringLiteral("Increment"), this);
    down_ = makeArrow(Qt::DownArrow, QStringLiteral("Decrement"), this);
    layout->addWidget(up_);
    layout->addWidget(down_);
    focusRing_ = new FocusRing(this);
    // A click on an arrow gives the stepper the focus, as it does to a spin box.
    connect(up_, &QToolButton::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
    connect(down_, &QToolButton::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    updateButtons();
}

void SettingsStepper::setValue(qint64 value) {
    if (value == value_)
        return;
    value_ = value;
    updateButtons();
    QAccessibleValueChangeEvent event(this, value_);
    QAccessible::updateAccessibility(&event);
}

void SettingsStepper::stepBy(int steps) {
    changeValue(value_ + steps * step_);
}

void SettingsStepper::stepTo(qint64 value) {
    changeValue(value);
}

void SettingsStepper::changeValue(qint64 value) {
    const qint64 stepped = std::clamp(value, minimum_, maximum_);
    if (stepped == value_)
        return;
    setValue(stepped);
    Q_EMIT valueStepped(stepped);
}

void SettingsStepper::setValueFormat(std::function<QString(qint64)> format) {
    format_ = std::move(format);
}

QString SettingsStepper::valueText() const {
    return format_ ? format_(value_) : QString::number(value_);
}

void SettingsStepper::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Up:
        stepBy(1);
        break;
    case Qt::Key_Down:
        stepBy(-1);
        break;
    case Qt::Key_PageUp:
        stepBy(pageSteps);
        break;
    case Qt::Key_PageDown:
        stepBy(-pageSteps);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void SettingsStepper::focusInEvent(QFocusEvent *event) {
    focusRing_->setGeometry(rect());
    focusRing_->raise();
    focusRing_->show();
    QWidget::focusInEvent(event);
}

void SettingsStepper::focusOutEvent(QFocusEvent *event) {
    focusRing_->hide();
    QWidget::focusOutEvent(event);
}

void SettingsStepper::resizeEvent(QResizeEvent *event) {
    focusRing_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void SettingsStepper::updateButtons() {
    up_->setEnabled(value_ < maximum_);
    down_->setEnabled(value_ > minimum_);
}

} // namespace orvex
