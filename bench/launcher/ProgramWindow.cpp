#include "ProgramWindow.h"

#include "Statistics.h"

#include <QFile>

#include <map>

namespace orvex::bench {

std::optional<StartTiming> startAndTimeWindow(WindowEventRecorder &recorder, test::ChildProcess &process,
                                              const ProgramStart &start, std::chrono::milliseconds timeout) {
    recorder.pump(std::chrono::milliseconds(0));
    const size_t windowsBefore = recorder.windows().size();
    if (start.standardOutputFile.isEmpty())
        process.process().setStandardOutputFile(QProcess::nullDevice());
    else
        process.process().setStandardOutputFile(start.standardOutputFile, QIODevice::Append);
    process.process().setStandardErrorFile(QProcess::nullDevice());
    const auto startedAt = MonotonicClock::now();
    if (!process.start(start.program, start.arguments, start.environment))
        return std::nullopt;
    const quint32 pid = quint32(process.pid());

    // Windows are asked for their owner once each; a window without _NET_WM_PID yet is asked again.
    std::map<xcb_window_t, bool> ours;
    xcb_window_t window = 0;
    const auto found = [&] {
        if (window == 0) {
            const auto &windows = recorder.windows();
            for (size_t i = windowsBefore; i < windows.size() && window == 0; ++i) {
                const xcb_window_t candidate = windows[i];
                auto known = ours.find(candidate);
                if (known == ours.end() || !known->second) {
                    const auto owner = recorder.processOf(candidate);
                    if (!owner)
                        continue;
                    known = ours.insert_or_assign(candidate, *owner == pid).first;
                }
                if (!known->second || !recorder.first(WindowEventKind::mapped, candidate, startedAt))
                    continue;
                if (!start.isMainWindow || start.isMainWindow(recorder, candidate))
                    window = candidate;
            }
        }
        return window != 0 && recorder.first(WindowEventKind::damaged, window,
                                             *recorder.first(WindowEventKind::mapped, window, startedAt));
    };
    if (!recorder.waitUntil(found, timeout))
        return std::nullopt;
    const auto mapped = *recorder.first(WindowEventKind::mapped, window, startedAt);
    const auto painted = *recorder.first(WindowEventKind::damaged, window, mapped);
    return StartTiming{milliseconds(mapped - startedAt), milliseconds(painted - startedAt), window};
}

ResidentMemory residentMemoryOf(qint64 pid) {
    ResidentMemory memory;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return memory;
    const std::pair<const char *, double ResidentMemory::*> fields[] = {
        {"VmRSS:", &ResidentMemory::residentMb},
        {"VmHWM:", &ResidentMemory::peakMb},
        {"RssAnon:", &ResidentMemory::anonymousMb},
        {"RssFile:", &ResidentMemory::fileMb},
        {"RssShmem:", &ResidentMemory::sharedMb}};
    for (const QByteArray &line : status.readAll().split('\n')) {
        for (const auto &[name, field] : fields) {
            if (line.startsWith(name))
                memory.*field = line.mid(qstrlen(name)).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return memory;
}

} // namespace orvex::bench
