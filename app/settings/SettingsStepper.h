#pragma once

#include <QWidget>

#include <functional>

class QToolButton;

namespace orvex {

// A stepper: two small arrow buttons that raise or lower a whole number by a fixed step within a closed
// range. It shows no number of its own (the row around it does) and holds no value the owner does not
// set: a press asks for the stepped value through valueStepped(); the owner applies it and calls
// setValue() when it refreshes.
//
// It is one focusable control, as a spin box is: Up and Down step once, Page Up and Page Down ten times,
// and assistive technology sees a spin button with its name, value, limits and step, and as its text the
// value as the row shows it ("50 ms"), which a screen reader speaks at each step.
class SettingsStepper : public QWidget {
    Q_OBJECT

public:
    static constexpr int pageSteps = 10;

    SettingsStepper(qint64 minimum, qint64 maximum, qint64 step, QWidget *parent = nullptr);

    qint64 value() const { return value_; }
    void setValue(qint64 value);
    qint64 minimum() const { return minimum_; }
    qint64 maximum() const { return maximum_; }
    qint64 step() const { return step_; }

    // As the user does: `steps` steps up (down when negative), or straight to `value`; kept within the
    // range, announced through valueStepped() when the value changes.
    void stepBy(int steps);
    void stepTo(qint64 value);
    // How a value reads, unit included ("50 ms"); the number alone until one is given.
    void setValueFormat(std::function<QString(qint64 value)> format);
    QString valueText() const;

    QToolButton *upButton() const { return up_; }
    QToolButton *downButton() const { return down_; }

Q_SIGNALS:
    // The value one step up or down, kept within the range.
    void valueStepped(qint64 value);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void changeValue(qint64 value);
    void updateButtons();

    qint64 minimum_;
    qint64 maximum_;
    qint64 step_;
    qint64 value_;
    std::function<QString(qint64)> format_;
    QToolButton *up_;
    QToolButton *down_;
    QWidget *focusRing_;
};

} // namespace orvex
