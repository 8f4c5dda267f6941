#include "settings/SettingsFormSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace orvex {

namespace {

// The card behind a section's rows: a rounded panel in the base colour with a faint outline.
class SectionCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.addRoundedRect(area, 8, 8);
        painter.fillPath(path, palette().color(QPalette::Base));
        QColor outline = palette().color(QPalette::WindowText);
        outline.setAlphaF(0.12);
        painter.setPen(QPen(outline, 1));
        painter.drawPath(path);
    }
};

} // namespace

SettingsFormSection::SettingsFormSection(const QString &header, QWidget *parent) : QWidget(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    header_ = new QLabel(header, this);
    header_->setTextFormat(Qt::PlainText);
    header_->setFont(SettingsStyle::font(header_->font(), 13, QFont::DemiBold));
    header_->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(header_);
    card_ = new SectionCard(this);
    rows_ = new QVBoxLayout(card_);
    rows_->setContentsMargins(12, 10, 12, 10);
    rows_->setSpacing(8);
    layout->addWidget(card_);
}

QString SettingsFormSection::header() const {
    return header_->text();
}

void SettingsFormSection::addRow(QWidget *row) {
    rows_->addWidget(row);
}

void SettingsFormSection::addRow(QLayout *row) {
    rows_->addLayout(row);
}

namespace {

// A scroll area that keeps a gutter between its content and its scroll bar while it has one, so that the
// sections' rounded edges do not touch the bar.
class FormScrollArea : public QScrollArea {
public:
    explicit FormScrollArea(QWidget *parent) : QScrollArea(parent) {
        connect(verticalScrollBar(), &QScrollBar::rangeChanged, this,
                [this](int, int maximum) { setViewportMargins(0, 0, maximum > 0 ? 6 : 0, 0); });
    }
};

} // namespace

SettingsForm::SettingsForm(QWidget *parent) : QWidget(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new FormScrollArea(this);
    scroll_ = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // No Tab stop of its own, where nothing would show the focus: the controls inside scroll it.
    scroll->setFocusPolicy(Qt::NoFocus);
    content_ = new QWidget(scroll);
    content_->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    sections_ = new QVBoxLayout(content_);
    sections_->setContentsMargins(0, 0, 0, 0);
    sections_->setSpacing(18);
    sections_->addStretch(1);
    scroll->setWidget(content_);
    KeyboardAccess::keepFocusVisible(scroll);
    layout->addWidget(scroll);
}

void SettingsForm::addSection(SettingsFormSection *section, int stretch) {
    // Before the closing stretch.
    sections_->insertWidget(sections_->count() - 1, section, stretch);
    if (stretch > 0)
        sections_->setStretch(sections_->count() - 1, 0);
    section->show();
}

void SettingsForm::setScrollAreaName(const QString &name) {
    scroll_->setAccessibleName(name);
}

void SettingsForm::releaseSections() {
    for (int i = sections_->count() - 1; i >= 0; --i) {
        if (QWidget *widget = sections_->itemAt(i)->widget())
            sections_->removeWidget(widget);
    }
    sections_->setStretch(sections_->count() - 1, 1);
}

} // namespace orvex
