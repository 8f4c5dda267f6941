#pragma once

#include "sources/BrowserTypes.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace orvex {

// Runs AppleScript text through the osascript tool in a child process. Script text and data never mix:
// the script is one fixed argument and everything else reaches it as further arguments. Both pipes are
// drained while the child runs, and a child that outlives the time-out is killed and reaped; none outlives
// the launcher.
class AppleScriptRunner {
public:
    static constexpr int defaultTimeoutMilliseconds = 30000;
    // A child that writes more than this on either stream is stopped; no script of ours comes near it.
    static constexpr qint64 maxOutputBytes = 32 * 1024 * 1024;

    // Once `cancelled` (when given) is true, a running child is killed and reaped at once and its run
    // answers nothing: whoever set it is going away.
    explicit AppleScriptRunner(QString osascriptPath, int timeoutMilliseconds = defaultTimeoutMilliseconds,
                               const std::atomic<bool> *cancelled = nullptr);

    // Runs `osascript -e script arguments...`. Absent when the child cannot be started (after writing
    // "AppleScript launch failed: " and the reason) or was cancelled. A child stopped for its time-out or
    // its output answers the signal's number as status and the reason as standard error.
    std::optional<AppleScriptRunResult> runDetailed(const QString &script,
                                                    const QStringList &arguments) const;
    // Standard output of a run that exited with status 0 and said something; absent otherwise (a failed
    // run writes one line first).
    std::optional<QString> run(const QString &script, const QStringList &arguments) const;

    // True when the error text shows that the user refused to let us control the application.
    static bool isAppleEventsPermissionDenied(const QString &standardError);

    // One diagnostic line on standard output; lines from several threads never interleave.
    static void writeDiagnostic(const QString &line);

    const QString &osascriptPath() const { return osascriptPath_; }

private:
    QString osascriptPath_;
    int timeoutMilliseconds_;
    const std::atomic<bool> *cancelled_;
};

} // namespace orvex
