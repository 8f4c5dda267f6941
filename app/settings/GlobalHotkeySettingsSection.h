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
    QLabel *recordingHint() const { return recordingHint_; }
    QLabel *currentLine() const { return currentLine_; }
    QLabel *keysLine() const { return keysLine_; }
    QLabel *disabledLine() const { return disabledLine_; }
    QLabel *registrationLine() const { return registrationLine_; }

private:
    Bindings bindings_;
    QCheckBox *enabledToggle_;
    ShortcutRecorderButton *recorderButton_;
    QToolButton *resetButton_;
    QLabel *recordingHint_;
    QLabel *currentLine_;
    QLabel *keysLine_;
    QLabel *disabledLine_;
    QLabel *registrationLine_;
};

} // namespace orvex
