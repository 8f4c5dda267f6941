#include "hotkey-core/ShortcutRecorderController.h"
#include "hotkey-core/KeyboardLayout.h"

#include <QLineEdit>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// A window with a text field that has focus and a window shortcut on Control+K, as the settings window
// has fields and shortcuts that must not see the keys being recorded.
class ShortcutRecorderControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        KeyboardLayout::setCurrent(KeyboardLayout::fromNames(QStringLiteral("us")));
        auto *layout = new QVBoxLayout(&window);
        field = new QLineEdit(&window);
        layout->addWidget(field);
        shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+K")), &window);
        QObject::connect(shortcut, &QShortcut::activated, [this] { ++shortcutActivations; });
        window.show();
        window.activateWindow();
        field->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override { KeyboardLayout::setCurrent(std::nullopt); }

    void sendKey(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(type, key, modifiers);
        QCoreApplication::sendEvent(field, &event);
    }

    void recordShortcut() {
        recorder.startRecordingShortcut([this](const KeyShortcut &s) { captured.push_back(s); },
                                        [this](const QString &message) { messages.push_back(message); },
                                        [this] { ++cancellations; });
    }

    QWidget window;
    QLineEdit *field = nullptr;
    QShortcut *shortcut = nullptr;
    int shortcutActivations = 0;
    ShortcutRecorderController recorder;
    std::vector<KeyShortcut> captured;
    std::vector<QString> messages;
    int cancellations = 0;
};

TEST_F(ShortcutRecorderControllerTest, CapturesAShortcutThatNothingElseSees) {
    QSignalSpy recordingChanges(&recorder, &ShortcutRecorderController::isRecordingChanged);
    recordShortcut();
    EXPECT_TRUE(recorder.isRecording());
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0], KeyShortcut(40, controlKey, QStringLiteral("k")));
    EXPECT_EQ(shortcutActivations, 0) << "the window's own Control+K must not fire while recording";
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.previewModifiers(), 0u);
    EXPECT_EQ(recordingChanges.size(), 2);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(cancellations, 0);

    // Idle again: keys reach the window as usual.
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_B);
    EXPECT_EQ(shortcutActivations, 1);
    EXPECT_EQ(field->text(), QStringLiteral("b"));
    EXPECT_EQ(captured.size(), 1u);
}

TEST_F(ShortcutRecorderControllerTest, EscapeCancelsWithOrWithoutModifiers) {
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::MetaModifier)}) {
        SCOPED_TRACE(modifiers.toInt());
        cancellations = 0;
        recordShortcut();
        QTest::keyClick(field, Qt::Key_Escape, modifiers);
        EXPECT_EQ(cancellations, 1);
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_TRUE(captured.empty());
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(ShortcutRecorderControllerTest, ModifierKeysOnlyUpdateThePreview) {
    QSignalSpy previews(&recorder, &ShortcutRecorderController::previewModifiersChanged);
    recordShortcut();
    QTest::keyPress(field, Qt::Key_Control);
    EXPECT_EQ(recorder.previewModifiers(), controlKey);
    QTest::keyPress(field, Qt::Key_Alt, Qt::ControlModifier);
    EXPECT_EQ(recorder.previewModifiers(), controlKey | optionKey);
    QTest::keyPress(field, Qt::Key_Shift, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyPress(field, Qt::Key_Meta, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(recorder.previewModifiers(), controlKey | optionKey | shiftKey | cmdKey);
    // Sent as the platform sends them: a key event holds the modifiers from before it. (QTest cannot type
    // Caps Lock, and releases every modifier along with a key.) AltGr chooses characters; it is no modifier
    // of a shortcut.
    const auto all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;
    sendKey(QEvent::KeyPress, Qt::Key_CapsLock, all);
    sendKey(QEvent::KeyPress, Qt::Key_AltGr, all);
    EXPECT_EQ(recorder.previewModifiers(), controlKey | optionKey | shiftKey | cmdKey);
    sendKey(QEvent::KeyRelease, Qt::Key_Meta, all);
    sendKey(QEvent::KeyRelease, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(recorder.previewModifiers(), controlKey | shiftKey);
    sendKey(QEvent::KeyRelease, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
    sendKey(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(recorder.previewModifiers(), 0u);
    EXPECT_GE(previews.size(), 4);

    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(captured.empty());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(cancellations, 0);
}

TEST_F(ShortcutRecorderControllerTest, KeysWithoutAUsableModifierAreRefusedAndRecordingGoesOn) {
    recordShortcut();
    QTest::keyClick(field, Qt::Key_A);
    // Shift+2 types "@": without the Shift that "@" needs nothing is left.
    QTest::keyClick(field, Qt::Key_At, Qt::ShiftModifier);
    EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral("Please include at least one modifier key."),
                                              QStringLiteral("Please include at least one modifier key.")}));
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(field->text().isEmpty()) << "the letter must not reach the window";
    EXPECT_TRUE(captured.empty());

    QTest::keyClick(field, Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0], KeyShortcut(19, controlKey, QStringLiteral("@")));
}

TEST_F(ShortcutRecorderControllerTest, KeyCodeFormReportsKeyAndMask) {
    std::vector<std::pair<quint32, quint32>> keys;
    recorder.startRecording([&](quint32 keyCode, quint32 mask) { keys.emplace_back(keyCode, mask); },
                            [this](const QString &message) { messages.push_back(message); });
    QTest::keyClick(field, Qt::Key_B);
    QTest::keyClick(field, Qt::Key_At, Qt::ShiftModifier); // a valid key code and mask in this form
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(keys, (std::vector<std::pair<quint32, quint32>>{{19, shiftKey}}));
    EXPECT_FALSE(recorder.isRecording());
}

TEST_F(ShortcutRecorderControllerTest, StartingAgainReplacesTheHandlersWithoutCancelling) {
    recordShortcut();
    int secondCaptures = 0;
    int secondCancellations = 0;
    recorder.startRecordingShortcut([&](const KeyShortcut &) { ++secondCaptures; }, {},
                                    [&] { ++secondCancellations; });
    EXPECT_EQ(cancellations, 0);
    QTest::keyClick(field, Qt::Key_J, Qt::MetaModifier);
    EXPECT_EQ(secondCaptures, 1);
    EXPECT_TRUE(captured.empty());

    // cancelRecording() calls the handler, stopRecording() does not; both are safe when idle.
    recorder.startRecordingShortcut({}, {}, [&] { ++secondCancellations; });
    recorder.cancelRecording();
    EXPECT_EQ(secondCancellations, 1);
    recorder.startRecordingShortcut({}, {}, [&] { ++secondCancellations; });
    recorder.stopRecording();
    recorder.stopRecording();
    recorder.cancelRecording();
    EXPECT_EQ(secondCancellations, 1);
    EXPECT_FALSE(recorder.isRecording());
}

TEST_F(ShortcutRecorderControllerTest, AHandlerMayStartTheNextRecordingOrDeleteTheRecorder) {
    // Starting anew from the capture handler keeps the new recording running.
    int captures = 0;
    std::function<void(const KeyShortcut &)> again = [&](const KeyShortcut &) {
        ++captures;
        if (captures == 1)
            recorder.startRecordingShortcut(again, {});
    };
    recorder.startRecordingShortcut(again, {});
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(recorder.isRecording());
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(captures, 2);
    EXPECT_FALSE(recorder.isRecording());

    auto *owned = new ShortcutRecorderController;
    owned->startRecordingShortcut([&](const KeyShortcut &) { delete owned; }, {});
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_C);
    EXPECT_EQ(field->text(), QStringLiteral("c"));
}

} // namespace
} // namespace orvex
