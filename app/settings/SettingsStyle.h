#pragma once

#include "settings/KeyboardAccess.h"

#include <QAccessible>
#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPalette;
class QWidget;

namespace orvex {

// The settings and onboarding windows' text looks: help lines (12 px, secondary colour), status lines
// (12 px, medium weight, secondary colour) and the secondary colour itself.
namespace SettingsStyle {

// The palette's text colour at the opacity secondary text uses.
QColor secondaryColor(const QPalette &palette);
// `base` at `pixelSize`, with `weight`.
QFont font(const QFont &base, int pixelSize, QFont::Weight weight = QFont::Normal);

// A word-wrapped label in the help look; a paragraph to assistive technology (the control it explains
// should have it as its description), or what `role` says.
KeyboardAccess::AccessibleLabel *makeHelpText(const QString &text, QWidget *parent = nullptr,
                                              QAccessible::Role role = QAccessible::Paragraph);
// A word-wrapped label in the status look; a notification to assistive technology, spoken as it appears
// and at each new message (KeyboardAccess::AccessibleLabel::setMessage).
KeyboardAccess::AccessibleLabel *makeStatusText(const QString &text, QWidget *parent = nullptr);
// Gives an existing label the secondary text colour.
void useSecondaryColor(QWidget *widget);

} // namespace SettingsStyle
} // namespace orvex
