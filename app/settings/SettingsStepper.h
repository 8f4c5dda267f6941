#pragma once

#include <QWidget>

class QToolButton;

namespace orvex {

// A stepper: two small arrow buttons that raise or lower a whole number by a fixed step within a closed
// range. It shows no number of its own (the row around it does) and holds no value the owner does not
// set: a press asks for the stepped value through valueStepped(); the owner applies it and calls
// setValue() when it refreshes.
class SettingsStepper : public QWidget {
    Q_OBJECT

public:
    SettingsStepper(qint64 minimum, qint64 maximum, qint64 step, QWidget *parent = nullptr);

    qint64 value() const { return value_; }
    void setValue(qint64 value);
    qint64 minimum() const { return minimum_; }
    qint64 maximum() const { return maximum_; }
    qint64 step() const { return step_; }

    QToolButton *upButton() const { return up_; }
    QToolButton *downButton() const { return down_; }

Q_SIGNALS:
    // The value one step up or down, kept within the range.
    void valueStepped(qint64 value);

private:
    void stepBy(int direction);
    void updateButtons();

    qint64 minimum_;
    qint64 maximum_;
    qint64 step_;
    qint64 value_;
    QToolButton *up_;
    QToolButton *down_;
};

} // namespace orvex
