#pragma once

// One orvex-launcher on the benchmark's display, in a home and XDG folders of the benchmark's own, with
// its panel trace; and the keys a user presses on it.

#include "PanelTraceReader.h"
#include "ProgramWindow.h"
#include "WindowEventRecorder.h"

#include <QProcess>
#include <QString>

#include <optional>

namespace orvex::bench {

class LauncherInstance {
public:
    // `home` is the synthetic home (HOME); the XDG folders, the trace and the output live under `stateRoot`.
    LauncherInstance(const QString &program, const QString &home, const QString &stateRoot,
                     const QProcessEnvironment &displayEnvironment, WindowEventRecorder &recorder);
    ~LauncherInstance();
    LauncherInstance(const LauncherInstance &) = delete;
    LauncherInstance &operator=(const LauncherInstance &) = delete;

    // Fresh XDG folders whose defaults hold only the finished first-run onboarding, so that the panel
    // shows at start.
    bool resetState(QString *error);
    // Drops the program and the index database from the system's file cache.
    void evictFileCaches() const;
    // Variables added to the launcher's environment from its next start on.
    void setExtraEnvironment(const QProcessEnvironment &extra) { extraEnvironment_ = extra; }

    // Starts the launcher and waits for its panel to be mapped and drawn.
    std::optional<StartTiming> start(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Ends it (SIGTERM, then SIGKILL) and waits.
    void stop();
    // Asks it to quit as a user or the session does, and answers how long it took to end, in
    // milliseconds; absent when it was still running after `timeout` (it is then killed).
    enum class QuitBy { controlQ, terminationSignal };
    std::optional<double> quit(QuitBy by, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool isRunning() const { return process_.isRunning(); }
    qint64 pid() const { return process_.pid(); }
    xcb_window_t panel() const { return panel_; }
    ResidentMemory memory() const { return residentMemoryOf(pid()); }
    // User plus system CPU time so far, in clock ticks; -1 when unreadable.
    qint64 cpuTicks() const;
    // Waits until the launcher has used no CPU for `quiet` (start-up crawls finished), at most `timeout`.
    bool waitUntilIdle(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout);

    PanelTraceReader &trace() { return trace_; }
    const QString &outputFile() const { return outputFile_; }

    // ---- What the user does ----
    bool panelVisible();
    // The hot key (Control+Space); answers when it was pressed.
    MonotonicClock::time_point pressHotKey();
    bool showPanel(std::chrono::milliseconds timeout = std::chrono::seconds(3));
    bool hidePanel(std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Control+A, then BackSpace: the field is empty.
    void clearField();
    // One key of the text's characters (lowercase letters and digits); answers when it was pressed.
    MonotonicClock::time_point type(QChar character);
    // Types the text, one key every `interval`.
    void typeText(const QString &text, std::chrono::milliseconds interval);
    // Waits for the final list of `query` applied at or after `from` and painted; answers it.
    std::optional<TracedList> waitForFinal(const QString &query, MonotonicClock::time_point from,
                                           std::chrono::milliseconds timeout);
    // The first paint at or after `list` (a newer identical list may be painted in its place).
    std::optional<TracedPaint> paintShowing(const TracedList &list);
    // The first damage of the panel window at or after `from`.
    std::optional<MonotonicClock::time_point> damageAfter(MonotonicClock::time_point from) const;
    // Reads events and the trace for `duration`.
    void idle(std::chrono::milliseconds duration);

private:
    QProcessEnvironment launcherEnvironment() const;

    QString program_;
    QString home_;
    QString stateRoot_;
    QProcessEnvironment displayEnvironment_;
    QProcessEnvironment extraEnvironment_;
    WindowEventRecorder &recorder_;
    test::ChildProcess process_;
    xcb_window_t panel_ = 0;
    QString traceFile_;
    QString outputFile_;
    PanelTraceReader trace_;
};

} // namespace orvex::bench
