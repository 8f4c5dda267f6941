#pragma once

// Starting a program on the benchmark's display and timing it from the moment it is started to its first
// window mapped and first drawn into, as the recorder sees them.

#include "WindowEventRecorder.h"
#include "support/ChildProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace orvex::bench {

struct StartTiming {
    double mappedMs = 0;
    double paintedMs = 0;
    xcb_window_t window = 0;
};

struct ProgramStart {
    QString program;
    QStringList arguments;
    QProcessEnvironment environment;
    QString standardOutputFile; // empty: discarded
    // Which of the process's windows counts; empty: its first window mapped.
    std::function<bool(WindowEventRecorder &, xcb_window_t)> isMainWindow;
};

// Starts `start` in `process` (which must not run) and waits up to `timeout` for its window to be
// mapped and drawn into. Answers the times from just before the start; nothing when the program did
// not start or showed no window in time (the process is left running either way).
std::optional<StartTiming> startAndTimeWindow(WindowEventRecorder &recorder, test::ChildProcess &process,
                                              const ProgramStart &start, std::chrono::milliseconds timeout);

// The resident set and its peak of a running process, in megabytes (VmRSS, VmHWM), and the resident set
// by kind: anonymous (the heap), file-backed (code, fonts, mapped files), shared memory (the X server's
// shared images); 0 when unreadable.
struct ResidentMemory {
    double residentMb = 0;
    double peakMb = 0;
    double anonymousMb = 0;
    double fileMb = 0;
    double sharedMb = 0;
};
ResidentMemory residentMemoryOf(qint64 pid);

} // namespace orvex::bench
