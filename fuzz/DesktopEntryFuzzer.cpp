// Desktop entries of the user's and the system's application folders, read for the app rows and the
// settings application: every key reading and the command line built from "Exec".
#include "FuzzSupport.h"

#include "platform/DesktopEntry.h"

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto entry = DesktopEntry::parse(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!entry)
        return 0;
    const QStringList locales = {QStringLiteral("de_DE.UTF-8@euro"), QStringLiteral("sr_RS@latin"),
                                 QStringLiteral("C")};
    (void)entry->localeString(QStringLiteral("Name"), locales);
    (void)entry->strings(QStringLiteral("OnlyShowIn"));
    (void)entry->isShownIn({QStringLiteral("GNOME"), QStringLiteral("KDE")});
    (void)entry->boolean(QStringLiteral("NoDisplay"));
    (void)entry->hasInstalledTryExec({QStringLiteral("/nonexistent")});
    if (const auto command = entry->commandLine(QStringLiteral("/x.desktop"), locales)) {
        // The program is never empty: a command line that would start nothing is no command line.
        ORVEX_FUZZ_CHECK(!command->isEmpty() && !command->first().isEmpty());
    }
    return 0;
}
