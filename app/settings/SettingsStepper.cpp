#include "settings/SettingsStepper.h"

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

} // namespace

SettingsStepper::SettingsStepper(qint64 minimum, qint64 maximum, qint64 step, QWidget *parent)
    : QWidget(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)), step_(step), value_(minimum) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = makeArrow(Qt::UpArrow, QStringLiteral("Increment"), this);
    down_ = makeArrow(Qt::DownArrow, QStringLiteral("Decrement"), this);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    updateButtons();
}

void SettingsStepper::setValue(qint64 value) {
    value_ = value;
    updateButtons();
}

void SettingsStepper::stepBy(int direction) {
    const qint64 stepped = std::clamp(value_ + direction * step_, minimum_, maximum_);
    if (stepped == value_)
        return;
    value_ = stepped;
    updateButtons();
    Q_EMIT valueStepped(stepped);
}

void SettingsStepper::updateButtons() {
    up_->setEnabled(value_ < maximum_);
    down_->setEnabled(value_ > minimum_);
}

} // namespace orvex
