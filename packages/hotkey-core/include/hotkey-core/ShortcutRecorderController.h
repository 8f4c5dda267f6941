#pragma once

#include "hotkey-core/HotKeySettings.h"

#include <QObject>
#include <QString>

#include <functional>

class QKeyEvent;

namespace orvex {

// Captures the next key combination pressed anywhere in the application, for the settings window's
// shortcut button. While recording it swallows every key press (so nothing else in the application reacts),
// publishes the modifiers held as a live preview, cancels on Escape and refuses a key pressed without a
// modifier with invalidShortcutMessage. GUI thread only.
//
// The global hot key grabs its key for the whole desktop, so pressing the current hot key would toggle the
// panel instead of reaching the recorder: the settings view suspends the grab while recording, e.g.
//     connect(&recorder, &ShortcutRecorderController::isRecordingChanged, &hotKeyManager,
//             &GlobalHotKeyManager::setSuspended);
class ShortcutRecorderController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(quint32 previewModifiers READ previewModifiers NOTIFY previewModifiersChanged)

public:
    static inline const QString invalidShortcutMessage =
        QStringLiteral("Please include at least one modifier key.");

    using KeyCodeHandler = std::function<void(quint32 keyCode, quint32 modifiers)>;
    using KeyShortcutHandler = std::function<void(const KeyShortcut &shortcut)>;
    using InvalidShortcutHandler = std::function<void(const QString &message)>;
    using CancelHandler = std::function<void()>;

    explicit ShortcutRecorderController(QObject *parent = nullptr);
    ~ShortcutRecorderController() override;

    bool isRecording() const { return isRecording_; }
    // Modifier mask of the modifier keys held while recording; 0 otherwise.
    quint32 previewModifiers() const { return previewModifiers_; }

    // Starts recording, ending an earlier recording without calling its cancel handler. A key with a
    // modifier ends the recording and reaches `onShortcutCaptured` as key code and modifier mask.
    void startRecording(KeyCodeHandler onShortcutCaptured, InvalidShortcutHandler onInvalidShortcut,
                        CancelHandler onRecordingCancelled = {});
    // The settings window's form: the key press becomes a KeyShortcut (the character it types, without
    // the Shift that character needs). A press that makes no valid shortcut, such as Shift+2 for "@",
    // reports invalidShortcutMessage and recording goes on.
    void startRecordingShortcut(KeyShortcutHandler onKeyShortcutCaptured,
                                InvalidShortcutHandler onInvalidShortcut,
                                CancelHandler onRecordingCancelled = {});
    // Ends recording without calling any handler; safe when idle.
    void stopRecording();
    // Ends recording and then calls the cancel handler, if any.
    void cancelRecording();

Q_SIGNALS:
    void isRecordingChanged(bool isRecording);
    void previewModifiersChanged(quint32 previewModifiers);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // True when the key press finished the recording.
    using CaptureHandler = std::function<bool(const QKeyEvent &event)>;

    void begin(CaptureHandler onCaptured, InvalidShortcutHandler onInvalid, CancelHandler onCancelled);
    void setRecording(bool recording);
    void setPreviewModifiers(quint32 modifiers);
    void handleKeyPress(const QKeyEvent &event);

    bool isRecording_ = false;
    quint32 previewModifiers_ = 0;
    bool filterInstalled_ = false;
    // Tells a recording from the one that replaced it.
    quint64 recordingNumber_ = 0;
    CaptureHandler onShortcutCaptured_;
    InvalidShortcutHandler onInvalidShortcut_;
    CancelHandler onRecordingCancelled_;
};

} // namespace orvex
