#pragma once

// Orca, the screen reader a blind user runs, on a test's own desktop and accessibility bus; what it
// speaks is read from its debug log.
//
// Orca gets a home of its own (a silent sound device, speech-dispatcher with the espeak-ng module, no
// braille) and runs in a process-ID namespace of its own, so that it sees no other Orca on the machine (it
// would refuse to start, or with --replace kill the other) and so that everything it starts, the speech
// service included, ends with it. Orca writes its debug log only to a terminal: `script` gives it one and
// keeps what it writes in a file, from whose "SPEECH OUTPUT:" lines the utterances are read. Waits end on
// what Orca says or on their time-out; the object's end kills the namespace and waits for it to be gone.
//
// Start it after the accessibility bus and before the program it is to read, so that the program learns
// at its start that a screen reader listens:
//
//     AccessibilityBus bus;                                  // on a DesktopSession `desktop`
//     ScreenReader reader(*desktop, bus);
//     ASSERT_TRUE(reader.isReady()) << reader.failure();     // Orca said "Screen reader on."
//     launcher.start(program, {}, bus.environment(desktop.environment()));
//     ... keys through xdotool ...
//     reader.clear();                                        // forget what was said so far
//     EXPECT_TRUE(reader.waitForSpeech(QStringLiteral("Text Editor"))) << reader.transcript();
//     EXPECT_EQ(reader.count(QStringLiteral("Terminal Emulator")), 1);
//
// Typed keys are echoed ("t ", "left control "); utterances are matched by what they contain. To check
// that something is NOT said, wait for what the program says after it: Orca presents the program's
// events in order. Keep each test's run short: Orca takes a second or two to start.

#include "ChildProcess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>

namespace orvex::test {

class AccessibilityBus;
class DesktopSession;

inline constexpr std::chrono::seconds screenReaderTimeout{20 * slowdown};

class ScreenReader {
public:
    // Starts Orca on the desktop's display and the bus's accessibility bus and waits until it has said it
    // is on.
    ScreenReader(const DesktopSession &desktop, const AccessibilityBus &bus);
    ~ScreenReader();
    ScreenReader(const ScreenReader &) = delete;
    ScreenReader &operator=(const ScreenReader &) = delete;

    bool isReady() const { return ready_; }
    // Why not, when not.
    QString failure() const { return failure_; }

    // Everything Orca has spoken since the last clear(), one utterance an entry, in order.
    QStringList spoken();
    // Forgets what was spoken so far.
    void clear();
    // The first utterance since the last clear() that `heard` takes, waiting for it until the time-out.
    std::optional<QString> waitForSpeech(const std::function<bool(const QString &)> &heard,
                                         std::chrono::milliseconds timeout = screenReaderTimeout);
    // The first utterance since the last clear() that contains `text`.
    std::optional<QString> waitForSpeech(const QString &text,
                                         std::chrono::milliseconds timeout = screenReaderTimeout);
    // How many utterances since the last clear() contain `text`.
    int count(const QString &text);
    // What was spoken since the last clear(), one utterance a line: for failure messages.
    QString transcript();
    // The last lines of Orca's debug log (its warnings and tracebacks too): for failure messages.
    QString logTail(int lines = 60) const;
    // The processes of its namespace, its first (`script`) first: none outlives the object.
    QList<qint64> processes() const;

private:
    bool fail(const QString &why);
    // Reads what the log has gained since the last read.
    void read();
    void stop();

    QTemporaryDir home_;
    QString logPath_;
    ChildProcess process_;
    qint64 readOffset_ = 0;
    QByteArray partialLine_;
    // An utterance whose text went on past the end of its line.
    std::optional<QString> pendingUtterance_;
    QStringList spoken_;
    bool ready_ = false;
    QString failure_;
};

} // namespace orvex::test
