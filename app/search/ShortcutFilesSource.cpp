#include "search/ShortcutFilesSource.h"

#include "platform/PropertyList.h"
#include "platform/SafeFile.h"
#include "platform/StringUtils.h"
#include "search/RootWalk.h"

#include <QStringDecoder>

namespace orvex {

namespace {

bool isLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

std::optional<QString> urlLineOfTextFile(const QString &filePath) {
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(filePath);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text.at(end)))
            ++end;
        const QString line = StringUtils::trimmedWhitespaceAndNewlines(text.mid(start, end - start));
        if (line.left(4).toLower() == QLatin1String("url="))
            return line.mid(4);
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<QString> urlOfPropertyListFile(const QString &filePath) {
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(filePath);
    if (!bytes)
        return std::nullopt;
    const std::optional<PlistValue> plist = PropertyList::read(*bytes);
    if (!plist)
        return std::nullopt;
    const PlistValue::Dictionary *dictionary = plist->dictionaryPointer();
    if (!dictionary)
        return std::nullopt;
    const auto it = dictionary->constFind(QStringLiteral("URL"));
    if (it == dictionary->constEnd())
        return std::nullopt;
    return it->toString();
}

} // namespace

ShortcutFilesSource::ShortcutFilesSource(QStringList searchRoots, int maxDepth,
                                         QSet<QString> excludedFolderNames,
                                         std::function<QSet<QString>()> fileExtensions,
                                         std::function<QStringList()> basenameSuffixes)
    : WalkedListSource(QStringLiteral("shortcuts"), 180, std::move(basenameSuffixes)),
      searchRoots_(std::move(searchRoots)), maxDepth_(maxDepth),
      excludedFolderNames_(std::move(excludedFolderNames)), fileExtensions_(std::move(fileExtensions)) {}

SearchResults ShortcutFilesSource::walk(const std::atomic<bool> &cancelled) const {
    return discoverShortcuts(searchRoots_, maxDepth_, excludedFolderNames_, fileExtensions_(), &cancelled);
}

SearchResults discoverShortcuts(const QStringList &searchRoots, int maxDepth,
                                const QSet<QString> &excludedFolderNames, const QSet<QString> &fileExtensions,
                                const std::atomic<bool> *cancelled) {
    RootWalk::Rows results;
    RootWalk::walk(searchRoots, maxDepth, cancelled,
                   [&](const RootWalk::Entry &entry, DirectoryWalker &walker) {
                       if (!RootWalk::exists(entry))
                           return;
                       const bool isDirectory = RootWalk::isDirectory(entry);
                       if (RootWalk::isHidden(entry)) {
                           if (isDirectory)
                               walker.skipDescendants();
                           return;
                       }
                       if (isDirectory) {
                           if (excludedFolderNames.contains(entry.name.toLower()))
                               walker.skipDescendants();
                           return;
                       }
                       if (!fileExtensions.contains(RootWalk::pathExtension(entry.name).toLower()))
                           return;
                       results.appendNew(entry.path, [&](const QString &directory) {
                           return SearchResult({
                               .id = stableNegativeID(QStringLiteral("shortcut:") + entry.path),
                               .filename = entry.name,
                               .directory = directory,
                               .kind = SearchResultKind::file,
                               .usageKey = shortcutUsageKey(entry.path),
                           });
                       });
                   });
    return results.take();
}

std::optional<QString> shortcutUsageKey(const QString &filePath) {
    const QString extension = RootWalk::pathExtension(RootWalk::lastPathComponent(filePath)).toLower();
    if (extension == QLatin1String("url") || extension == QLatin1String("gsheet") ||
        extension == QLatin1String("gdoc") || extension == QLatin1String("gslides"))
        return urlLineOfTextFile(filePath);
    if (extension == QLatin1String("webloc"))
        return urlOfPropertyListFile(filePath);
    return std::nullopt;
}

} // namespace orvex
