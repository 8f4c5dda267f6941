#include "settings/SettingsStyle.h"

#include "settings/KeyboardAccess.h"

#include <QLabel>
#include <QPalette>

namespace orvex::SettingsStyle {

QColor secondaryColor(const QPalette &palette) {
    QColor color = palette.color(QPalette::Active, QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

QFont font(const QFont &base, int pixelSize, QFont::Weight weight) {
    QFont result = base;
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

void useSecondaryColor(QWidget *widget) {
    QPalette palette = widget->palette();
    const QColor color = secondaryColor(palette);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

namespace {

KeyboardAccess::AccessibleLabel *makeText(const QString &text, QWidget *parent, QFont::Weight weight,
                                          QAccessible::Role role) {
    auto *label = new KeyboardAccess::AccessibleLabel(role, text, parent);
    // Shown verbatim: a name or an error text must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font(label->font(), 12, weight));
    useSecondaryColor(label);
    return label;
}

} // namespace

KeyboardAccess::AccessibleLabel *makeHelpText(const QString &text, QWidget *parent, QAccessible::Role role) {
    return makeText(text, parent, QFont::Normal, role);
}

KeyboardAccess::AccessibleLabel *makeStatusText(const QString &text, QWidget *parent) {
    return makeText(text, parent, QFont::Medium, QAccessible::Notification);
}

} // namespace orvex::SettingsStyle
