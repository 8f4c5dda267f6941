#include "settings/GlobalHotkeySettingsSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsSymbols.h"

#include "hotkey-core/KeyNames.h"
#include "hotkey-core/ShortcutRecorderController.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QToolButton>

namespace orvex {

ShortcutRecorderButton::ShortcutRecorderButton(QWidget *parent) : QAbstractButton(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
}

void ShortcutRecorderButton::setRecording(bool recording) {
    if (recording == recording_)
        return;
    recording_ = recording;
    updateGeometry();
    update();
}

QFont ShortcutRecorderButton::labelFont() const {
    return SettingsStyle::font(font(), 13, recording_ ? QFont::DemiBold : QFont::Normal);
}

QSize ShortcutRecorderButton::sizeHint() const {
    const QFontMetrics metrics(labelFont());
    return QSize(metrics.horizontalAdvance(text()) + 20, metrics.height() + 12);
}

void ShortcutRecorderButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal lineWidth = recording_ ? 2.0 : 1.0;
    QColor outline =
        recording_ ? palette().color(QPalette::Highlight) : SettingsStyle::secondaryColor(palette());
    if (!recording_)
        outline.setAlphaF(outline.alphaF() * 0.6f);
    const qreal inset = lineWidth / 2;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 7, 7);
    painter.setPen(QPen(outline, lineWidth));
    painter.drawPath(path);
    if (hasFocus() && !recording_) {
        // The keyboard focus, inside the outline so that it never reads as the recording outline.
        KeyboardAccess::paintFocusRing(painter, QRectF(rect()).adjusted(3, 3, -3, -3), 5, palette());
    }
    QColor textColor = palette().color(QPalette::WindowText);
    if (!isEnabled())
        textColor.setAlphaF(0.4f);
    painter.setPen(textColor);
    painter.setFont(labelFont());
    painter.drawText(rect().adjusted(10, 6, -10, -6), Qt::AlignCenter, text());
}

GlobalHotkeySettingsSection::GlobalHotkeySettingsSection(Bindings bindings, QWidget *parent)
    : SettingsFormSection(QStringLiteral("Global Hotkey"), parent), bindings_(std::move(bindings)) {
    enabledToggle_ = new QCheckBox(QStringLiteral("Enable Global Hotkey"), this);
    addRow(enabledToggle_);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    recorderButton_ = new ShortcutRecorderButton(this);
    buttons->addWidget(recorderButton_, 1);
    resetButton_ = new KeyboardAccess::FocusRingToolButton(this);
    resetButton_->setAutoRaise(true);
    resetButton_->setIconSize(QSize(14, 14));
    resetButton_->setIcon(SettingsSymbols::icon(QStringLiteral("xmark.circle.fill"),
                                                SettingsStyle::secondaryColor(palette()), 14));
    resetButton_->setToolTip(QStringLiteral("Reset shortcut to default (Control + Space)"));
    resetButton_->setAccessibleName(resetButton_->toolTip());
    buttons->addWidget(resetButton_);
    addRow(buttons);

    recordingHint_ = SettingsStyle::makeHelpText(
        QStringLiteral("Press modifier + key. Press Escape to cancel."), this, QAccessible::Notification);
    recordingHint_->setAccessibleName(QStringLiteral("Recording shortcut"));
    recordingHint_->setAccessibleDescription(recordingHint_->text());
    addRow(recordingHint_);
    currentLine_ = SettingsStyle::makeHelpText(QString(), this, QAccessible::Notification);
    addRow(currentLine_);
    keysLine_ = SettingsStyle::makeHelpText(QString(), this);
    addRow(keysLine_);
    disabledLine_ = SettingsStyle::makeHelpText(QStringLiteral("Global hotkey is currently disabled."), this);
    addRow(disabledLine_);
    registrationLine_ = SettingsStyle::makeStatusText(QString(), this);
    addRow(registrationLine_);

    connect(enabledToggle_, &QCheckBox::toggled, this, [this](bool on) {
        bindings_.hotKeyEnabled(on);
        refresh();
    });
    connect(recorderButton_, &QAbstractButton::clicked, this,
            [this] { bindings_.onBeginShortcutRecording(); });
    connect(resetButton_, &QToolButton::clicked, this, [this] { bindings_.onResetShortcutToDefault(); });
    if (bindings_.shortcutRecorder) {
        connect(bindings_.shortcutRecorder, &ShortcutRecorderController::isRecordingChanged, this,
                &GlobalHotkeySettingsSection::refresh);
        connect(bindings_.shortcutRecorder, &ShortcutRecorderController::previewModifiersChanged, this,
                &GlobalHotkeySettingsSection::refresh);
    }
    refresh();
}

void GlobalHotkeySettingsSection::refresh() {
    const bool enabled = bindings_.hotKeyEnabled.value();
    const bool recording = bindings_.shortcutRecorder && bindings_.shortcutRecorder->isRecording();
    {
        const QSignalBlocker blocker(enabledToggle_);
        enabledToggle_->setChecked(enabled);
    }
    recorderButton_->setText(bindings_.shortcutRecorderDisplayText());
    recorderButton_->setRecording(recording);
    recorderButton_->setEnabled(enabled);
    resetButton_->setEnabled(enabled);
    recordingHint_->setVisible(recording);
    const HotKeySettings current = bindings_.currentHotKeySettings();
    // The button shows the compact form; a screen reader hears the shortcut in words, whether it is recording
    // and how to leave.
    QString name;
    QString description;
    if (!enabled) {
        name = QStringLiteral("Shortcut: Disabled");
    } else if (recording) {
        const quint32 held = bindings_.shortcutRecorder->previewModifiers();
        name = QStringLiteral("Recording shortcut");
        if (held != 0)
            name += QStringLiteral(": ") + hotKeyModifierReadableString(held);
        description = recordingHint_->text();
    } else {
        name = QStringLiteral("Shortcut: ") + hotKeyDisplayString(current);
        description = QStringLiteral("Press to record a new shortcut.");
    }
    if (recorderButton_->accessibleName() != name)
        recorderButton_->setAccessibleName(name);
    if (recorderButton_->accessibleDescription() != description)
        recorderButton_->setAccessibleDescription(description);
    currentLine_->setMessage(QStringLiteral("Current: ") + hotKeyDisplayString(current));
    keysLine_->setText(QStringLiteral("Keys: ") + hotKeySymbolDisplayString(current));
    disabledLine_->setVisible(!enabled);
    registrationLine_->setMessage(bindings_.registrationMessage());
}

} // namespace orvex
