#pragma once

#include "settings/SettingsBinding.h"
#include "settings/SettingsFormSection.h"

#include "hotkey-core/HotKeySettings.h"

#include <QAbstractButton>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QToolButton;

namespace orvex {

namespace KeyboardAccess {
class AccessibleLabel;
}

class ShortcutRecorderController;

// The shortcut recorder's button: its label across the whole width, inside a rounded outline that turns
// to the accent colour at double width (and the label to semibold) while recording.
class ShortcutRecorderButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit ShortcutRecorderButton(QWidget *parent = nullptr);

    void setRecording(bool recording);
    bool isRecording() const { return recording_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont labelFont() const;

    bool recording_ = false;
};

// The "Global Hotkey" section: the on/off toggle, the recorder and reset buttons, the recording hint,
// the current shortcut in words and in its compact form, the "disabled" line and the registration message.
// A screen reader hears the recording start (the hint), the shortcut saved (the current line) and every
// registration message as each appears, while the focus stays on the recorder.
class GlobalHotkeySettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    struct Bindings {
        Binding<bool> hotKeyEnabled;
        ShortcutRecorderController *shortcutRecorder = nullptr;
        std::function<QString()> shortcutRecorderDisplayText;
        std::function<HotKeySettings()> currentHotKeySettings;
        std::function<std::optional<QString>()> registrationMessage;
        std::function<void()> onBeginShortcutRecording;
        std::function<void()> onResetShortcutToDefault;
    };

    explicit GlobalHotkeySettingsSection(Bindings bindings, QWidget *parent = nullptr);

    void refresh();

    QCheckBox *enabledToggle() const { return enabledToggle_; }
    ShortcutRecorderButton *recorderButton() const { return recorderButton_; }
    QToolButton *resetButton() const { return resetButton_; }
    KeyboardAccess::AccessibleLabel *recordingHint() const { return recordingHint_; }
    KeyboardAccess::AccessibleLabel *currentLine() const { return currentLine_; }
    QLabel *keysLine() const { return keysLine_; }
    QLabel *disabledLine() const { return disabledLine_; }
    KeyboardAccess::AccessibleLabel *registrationLine() const { return registrationLine_; }

private:
    Bindings bindings_;
    QCheckBox *enabledToggle_;
    ShortcutRecorderButton *recorderButton_;
    QToolButton *resetButton_;
    KeyboardAccess::AccessibleLabel *recordingHint_;
    KeyboardAccess::AccessibleLabel *currentLine_;
    QLabel *keysLine_;
    QLabel *disabledLine_;
    KeyboardAccess::AccessibleLabel *registrationLine_;
};

} // namespace orvex
