#include "hotkey-core/ShortcutRecorderController.h"

#include "hotkey-core/KeyEventShortcut.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>

namespace orvex {

namespace {

// The mask bit a modifier key adds, by what the key does on the layout (AltGr is not Alt).
quint32 modifierBitOfKey(int key) {
    switch (key) {
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return cmdKey;
    case Qt::Key_Shift:
        return shiftKey;
    case Qt::Key_Alt:
        return optionKey;
    case Qt::Key_Control:
        return controlKey;
    default:
        return 0;
    }
}

// A key that only modifies others, by its position or by what it does.
bool isModifierKey(const QKeyEvent &event, std::optional<quint32> keyCode) {
    if (keyCode && isModifierOnlyKeyCode(*keyCode))
        return true;
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

constexpr quint32 escapeKeyCode = 53;

} // namespace

ShortcutRecorderController::ShortcutRecorderController(QObject *parent) : QObject(parent) {}

ShortcutRecorderController::~ShortcutRecorderController() {
    if (filterInstalled_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void ShortcutRecorderController::startRecording(KeyCodeHandler onShortcutCaptured,
                                                InvalidShortcutHandler onInvalidShortcut,
                                                CancelHandler onRecordingCancelled) {
    CaptureHandler captured = [handler = std::move(onShortcutCaptured)](const QKeyEvent &event) {
        if (handler)
            handler(keyCodeOfKeyEvent(event).value_or(0), carbonModifiers(event.modifiers()));
        return true;
    };
    begin(std::move(captured), std::move(onInvalidShortcut), std::move(onRecordingCancelled));
}

void ShortcutRecorderController::startRecordingShortcut(KeyShortcutHandler onKeyShortcutCaptured,
                                                        InvalidShortcutHandler onInvalidShortcut,
                                                        CancelHandler onRecordingCancelled) {
    CaptureHandler captured = [this, handler = std::move(onKeyShortcutCaptured)](const QKeyEvent &event) {
        if (const auto shortcut = keyShortcut(event)) {
            if (handler)
                handler(*shortcut);
            return true;
        }
        if (const InvalidShortcutHandler invalid = onInvalidShortcut_)
            invalid(invalidShortcutMessage);
        return false;
    };
    begin(std::move(captured), std::move(onInvalidShortcut), std::move(onRecordingCancelled));
}

void ShortcutRecorderController::begin(CaptureHandler onCaptured, InvalidShortcutHandler onInvalid,
                                       CancelHandler onCancelled) {
    stopRecording();
    ++recordingNumber_;
    onShortcutCaptured_ = std::move(onCaptured);
    onInvalidShortcut_ = std::move(onInvalid);
    onRecordingCancelled_ = std::move(onCancelled);
    if (QCoreApplication *application = QCoreApplication::instance()) {
        application->installEventFilter(this);
        filterInstalled_ = true;
    }
    setPreviewModifiers(0);
    setRecording(true);
}

void ShortcutRecorderController::stopRecording() {
    if (filterInstalled_) {
        if (QCoreApplication *application = QCoreApplication::instance())
            application->removeEventFilter(this);
        filterInstalled_ = false;
    }
    onShortcutCaptured_ = nullptr;
    onInvalidShortcut_ = nullptr;
    onRecordingCancelled_ = nullptr;
    setRecording(false);
    setPreviewModifiers(0);
}

void ShortcutRecorderController::cancelRecording() {
    CancelHandler cancelled = std::move(onRecordingCancelled_);
    stopRecording();
    if (cancelled)
        cancelled();
}

void ShortcutRecorderController::setRecording(bool recording) {
    if (isRecording_ == recording)
        return;
    isRecording_ = recording;
    Q_EMIT isRecordingChanged(recording);
}

void ShortcutRecorderController::setPreviewModifiers(quint32 modifiers) {
    if (previewModifiers_ == modifiers)
        return;
    previewModifiers_ = modifiers;
    Q_EMIT previewModifiersChanged(modifiers);
}

bool ShortcutRecorderController::eventFilter(QObject *watched, QEvent *event) {
    if (!isRecording_ || QThread::currentThread() != thread())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so that no menu or button shortcut of the window takes the key first.
        event->accept();
        return true;
    case QEvent::KeyPress:
        handleKeyPress(static_cast<const QKeyEvent &>(*event));
        return true;
    case QEvent::KeyRelease: {
        const auto &key = static_cast<const QKeyEvent &>(*event);
        if (isModifierKey(key, keyCodeOfKeyEvent(key)))
            setPreviewModifiers(carbonModifiers(key.modifiers()) & ~modifierBitOfKey(key.key()));
        // Releases pass on, so that widgets never see a press without its release.
        return QObject::eventFilter(watched, event);
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

void ShortcutRecorderController::handleKeyPress(const QKeyEvent &event) {
    const auto keyCode = keyCodeOfKeyEvent(event);
    if (keyCode == escapeKeyCode || event.key() == Qt::Key_Escape) {
        cancelRecording();
        return;
    }
    if (isModifierKey(event, keyCode)) {
        setPreviewModifiers(carbonModifiers(event.modifiers()) | modifierBitOfKey(event.key()));
        return;
    }
    // A key without a stored key code (a media key, say) cannot become a shortcut.
    if (!keyCode)
        return;
    if (carbonModifiers(event.modifiers()) != 0) {
        if (!onShortcutCaptured_)
            return;
        // The handler may stop this recording, start another or delete the recorder.
        const CaptureHandler captured = onShortcutCaptured_;
        const quint64 recording = recordingNumber_;
        const QPointer<ShortcutRecorderController> self(this);
        if (captured(event) && self && recordingNumber_ == recording)
            stopRecording();
        return;
    }
    if (onInvalidShortcut_) {
        const InvalidShortcutHandler invalid = onInvalidShortcut_;
        invalid(invalidShortcutMessage);
    }
}

} // namespace orvex
