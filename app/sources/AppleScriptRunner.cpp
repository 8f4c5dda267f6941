#include "sources/AppleScriptRunner.h"

#include "platform/ChildProcesses.h"
#include "platform/ConsoleLog.h"
#include "platform/StringUtils.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringDecoder>

#include <algorithm>
#include <csignal>

namespace orvex {

namespace {

// How long one wait for the child lasts before the collected output is checked against its caps.
constexpr int drainSliceMilliseconds = 100;

QString decodedTrimmed(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {};
    return StringUtils::trimmedWhitespaceAndNewlines(text);
}

} // namespace

AppleScriptRunner::AppleScriptRunner(QString osascriptPath, int timeoutMilliseconds,
                                     const std::atomic<bool> *cancelled)
    : osascriptPath_(std::move(osascriptPath)), timeoutMilliseconds_(std::max(timeoutMilliseconds, 1)),
      cancelled_(cancelled) {}

std::optional<AppleScriptRunResult> AppleScriptRunner::runDetailed(const QString &script,
                                                                   const QStringList &arguments) const {
    QProcess process;
    process.setProgram(osascriptPath_);
    process.setArguments(QStringList{QStringLiteral("-e"), script} + arguments);
    // The scripts never read input; a closed input keeps a child from waiting on ours.
    process.setStandardInputFile(QProcess::nullDevice());
    // Started and waited for on this thread, which outlives it.
    ChildProcesses::dieWithThisProcess(process);

    const QDeadlineTimer deadline(timeoutMilliseconds_);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(std::max<qint64>(deadline.remainingTime(), 1))) {
        writeDiagnostic(QStringLiteral("AppleScript launch failed: ") + process.errorString());
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }

    // Read both pipes while the child runs, so a child that writes more than a pipe holds never stalls.
    QByteArray output;
    QByteArray error;
    QString stopReason;
    auto drain = [&] {
        output += process.readAllStandardOutput();
        error += process.readAllStandardError();
    };
    while (process.state() != QProcess::NotRunning) {
        if (cancelled_ && cancelled_->load()) {
            process.kill();
            process.waitForFinished(5000);
            return std::nullopt;
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining == 0) {
            stopReason = QStringLiteral("AppleScript did not finish within %1 seconds and was stopped.")
                             .arg(timeoutMilliseconds_ / 1000.0);
            break;
        }
        process.waitForFinished(static_cast<int>(std::min<qint64>(remaining, drainSliceMilliseconds)));
        drain();
        if (output.size() > maxOutputBytes || error.size() > maxOutputBytes) {
            stopReason =
                QStringLiteral("AppleScript wrote more than %1 bytes and was stopped.").arg(maxOutputBytes);
            break;
        }
    }
    if (!stopReason.isEmpty()) {
        process.kill();
        // SIGKILL cannot be ignored; this wait only reaps.
        process.waitForFinished(5000);
        return AppleScriptRunResult{
            .terminationStatus = SIGKILL, .standardOutput = {}, .standardError = stopReason};
    }
    drain();

    // A child ended by a signal reports the signal's number, as a normal exit reports its code.
    const qint32 status = process.exitCode();
    return AppleScriptRunResult{.terminationStatus = status,
                                .standardOutput = decodedTrimmed(output),
                                .standardError = decodedTrimmed(error)};
}

std::optional<QString> AppleScriptRunner::run(const QString &script, const QStringList &arguments) const {
    const auto result = runDetailed(script, arguments);
    if (!result)
        return std::nullopt;
    if (result->terminationStatus != 0) {
        if (!result->standardError.isEmpty())
            writeDiagnostic(QStringLiteral("AppleScript failed (status %1): %2")
                                .arg(result->terminationStatus)
                                .arg(result->standardError));
        else
            writeDiagnostic(
                QStringLiteral("AppleScript failed with status %1").arg(result->terminationStatus));
        return std::nullopt;
    }
    if (result->standardOutput.isEmpty())
        return std::nullopt;
    return result->standardOutput;
}

bool AppleScriptRunner::isAppleEventsPermissionDenied(const QString &standardError) {
    const QString text = standardError.toLower();
    for (const char *marker :
         {"(-1743)", "not authorized to send apple events", "not authorised to send apple events",
          "erraeeventnotpermitted", "event not permitted"}) {
        if (text.contains(QLatin1String(marker)))
            return true;
    }
    return false;
}

namespace {
Q_LOGGING_CATEGORY(tabsLog, "orvex.tabs", QtInfoMsg)
} // namespace

void AppleScriptRunner::writeDiagnostic(const QString &line) {
    printLine(tabsLog(), line);
}

} // namespace orvex
