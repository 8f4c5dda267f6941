#include "platform/StartupEnvironment.h"

#include <mutex>
#include <optional>

extern char **environ;

namespace orvex {

namespace {

std::mutex keptMutex;
std::optional<QByteArrayList> kept;

QByteArrayList currentEnvironment() {
    QByteArrayList entries;
    for (char **entry = environ; entry && *entry; ++entry)
        entries.append(QByteArray(*entry));
    return entries;
}

} // namespace

void StartupEnvironment::capture() {
    std::lock_guard guard(keptMutex);
    if (kept)
        return;
    QByteArrayList entries = currentEnvironment();
    entries.removeIf([](const QByteArray &entry) {
        return entry.startsWith("DESKTOP_STARTUP_ID=") || entry.startsWith("XDG_ACTIVATION_TOKEN=");
    });
    kept = std::move(entries);
}

QByteArrayList StartupEnvironment::environment() {
    std::lock_guard guard(keptMutex);
    return kept ? *kept : currentEnvironment();
}

} // namespace orvex
