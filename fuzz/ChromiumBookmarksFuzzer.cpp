// A browser's "Bookmarks" file: JSON written by another program, read from the user's disk.
#include "FuzzSupport.h"
#include "sources/ChromiumBookmarks.h"

#include "search/Database.h"

#include <QFile>

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The parser reads a file, as the bookmark crawl does.
    static const QString path = fuzz::homePath() + QStringLiteral("/Bookmarks");
    QFile file(path);
    ORVEX_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ORVEX_FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) ==
                     static_cast<qint64>(size));
    file.close();

    // Only web, ftp and this machine's file addresses become bookmarks; scripts and inline data never.
    for (const BrowserBookmarkShortcut &bookmark :
         ChromiumBookmarks::parseFile(path, QStringLiteral("Chrome"))) {
        const QString scheme = bookmark.urlString.section(QLatin1Char(':'), 0, 0).toLower();
        ORVEX_FUZZ_CHECK(scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                         scheme == QLatin1String("ftp") || scheme == QLatin1String("file"));
    }
    return 0;
}
