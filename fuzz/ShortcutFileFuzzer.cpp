// Shortcut files found by the shortcut walk: ".url" (and the cloud-document files read the same way)
// and ".webloc" property lists, read for the address that identifies them in the usage data.
#include "FuzzSupport.h"

#include "search/ShortcutFilesSource.h"

#include <QFile>

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the kind of file, the rest is its content.
    static const QString home = fuzz::homePath();
    static const QString paths[] = {home + QStringLiteral("/Link.url"), home + QStringLiteral("/Link.webloc"),
                                    home + QStringLiteral("/Sheet.gsheet")};
    const QString &path = paths[data[0] % 3];
    QFile file(path);
    ORVEX_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ORVEX_FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data + 1), static_cast<qint64>(size - 1)) ==
                     static_cast<qint64>(size - 1));
    file.close();

    (void)shortcutUsageKey(path);
    return 0;
}
