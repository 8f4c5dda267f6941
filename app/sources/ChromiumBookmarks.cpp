#include "sources/ChromiumBookmarks.h"

#include "platform/SafeFile.h"
#include "platform/StringUtils.h"
#include "sources/BrowserSourceHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>
#include <utility>

namespace orvex {

namespace {

// Items deeper than this below a user-data folder are not examined (a profile's file is at depth 2),
// so caches and extensions are never walked in full.
constexpr int maxBookmarkFileDepth = 4;
// Large bookmark collections run to a few megabytes; anything far beyond is not a bookmark file.
constexpr qint64 maxBookmarkFileBytes = 64 * 1024 * 1024;
// JSON levels kept: document, "roots", a root node, then a children list and a node for each folder
// level, the bookmarks of the deepest kept folder and their own members ("meta_info"). Well below the
// JSON parser's limit (1024 levels), which would otherwise refuse the whole file.
constexpr int maxJsonDepth = 6 + 2 * ChromiumBookmarks::maxFolderDepth;

// The index just past the string that starts with the quote at `start`, or the end of the text.
qsizetype endOfString(const QByteArray &json, qsizetype start) {
    for (qsizetype i = start + 1; i < json.size(); ++i) {
        if (json[i] == '\\')
            ++i;
        else if (json[i] == '"')
            return i + 1;
    }
    return json.size();
}

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The index just past the object or list that opens at `start` (the end of the text when it never
// closes), counting the bookmark nodes ("type": "url") inside it. Iterative: the depth is a counter.
qsizetype skipContainer(const QByteArray &json, qsizetype start, qsizetype &bookmarks) {
    qsizetype depth = 0;
    bool afterTypeKey = false;
    qsizetype i = start;
    while (i < json.size()) {
        const char c = json[i];
        if (c == '"') {
            const qsizetype end = endOfString(json, i);
            const QByteArrayView text(json.constData() + i + 1, std::max<qsizetype>(0, end - i - 2));
            qsizetype next = end;
            while (next < json.size() && isJsonSpace(json[next]))
                ++next;
            if (next < json.size() && json[next] == ':') {
                afterTypeKey = text == "type";
            } else {
                if (afterTypeKey && text.compare("url", Qt::CaseInsensitive) == 0)
                    ++bookmarks;
                afterTypeKey = false;
            }
            i = end;
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0)
                return i + 1;
        }
        if (c != ':' && !isJsonSpace(c))
            afterTypeKey = false;
        ++i;
    }
    return json.size();
}

// The text with every object or list nested deeper than `maxDepth` replaced by null, and the number
// of bookmark nodes that went with them. Reads the bytes alone, so it works where the parser refuses.
std::pair<QByteArray, qsizetype> withoutValuesDeeperThan(const QByteArray &json, int maxDepth) {
    QByteArray kept;
    qsizetype keptUpTo = 0;
    qsizetype bookmarks = 0;
    int depth = 0;
    qsizetype i = 0;
    while (i < json.size()) {
        const char c = json[i];
        if (c == '"') {
            i = endOfString(json, i);
            continue;
        }
        if (c == '{' || c == '[') {
            if (depth == maxDepth) {
                const qsizetype end = skipContainer(json, i, bookmarks);
                kept += QByteArrayView(json.constData() + keptUpTo, i - keptUpTo);
                kept += "null";
                keptUpTo = i = end;
                continue;
            }
            ++depth;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
        ++i;
    }
    if (keptUpTo == 0)
        return {json, 0};
    kept += QByteArrayView(json.constData() + keptUpTo, json.size() - keptUpTo);
    return {kept, bookmarks};
}

QString jsonString(const QJsonObject &object, QLatin1String key) {
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

// Pre-order walk in name order, skipping hidden entries and never following a linked folder.
void findBookmarkFiles(const QString &folder, int folderDepth, QSet<QString> &seen, QStringList &found) {
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    const int depth = folderDepth + 1;
    for (const QFileInfo &entry : entries) {
        if (entry.fileName() == QLatin1String("Bookmarks") && entry.exists() && !entry.isDir()) {
            const QString path = entry.filePath();
            const QString key = path.toLower();
            if (!seen.contains(key)) {
                seen.insert(key);
                found.append(path);
            }
        }
        if (depth < maxBookmarkFileDepth && entry.isDir() && !entry.isSymLink())
            findBookmarkFiles(entry.filePath(), depth, seen, found);
    }
}

} // namespace

QList<BrowserBookmarkSource> ChromiumBookmarks::defaultSources(const QString &homePath) {
    const QString config = homePath + QStringLiteral("/.config/");
    return {
        {.browserName = QStringLiteral("Edge"), .userDataRoot = config + QStringLiteral("microsoft-edge")},
        {.browserName = QStringLiteral("Brave"),
         .userDataRoot = config + QStringLiteral("BraveSoftware/Brave-Browser")},
        {.browserName = QStringLiteral("Chrome"), .userDataRoot = config + QStringLiteral("google-chrome")},
        // Debian's own build of the same browser keeps the same files in a folder of its own.
        {.browserName = QStringLiteral("Chromium"), .userDataRoot = config + QStringLiteral("chromium")},
    };
}

QStringList ChromiumBookmarks::discoverFiles(const QString &userDataRoot) {
    const QFileInfo root(userDataRoot);
    if (userDataRoot.isEmpty() || !root.isDir())
        return {};
    QSet<QString> seen;
    QStringList found;
    findBookmarkFiles(QDir::cleanPath(root.filePath()), 0, seen, found);
    return found;
}

QList<BrowserBookmarkShortcut> ChromiumBookmarks::parseFile(const QString &filePath,
                                                            const QString &browserName) {
    return readFile(filePath, browserName).bookmarks;
}

ChromiumBookmarks::FileContents ChromiumBookmarks::readFile(const QString &filePath,
                                                            const QString &browserName) {
    const auto bytes = SafeFile::readRegularFile(filePath, maxBookmarkFileBytes);
    if (!bytes)
        return {};
    const auto [json, bookmarksCut] = withoutValuesDeeperThan(*bytes, maxJsonDepth);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    const QJsonValue roots = document.object().value(QLatin1String("roots"));
    if (!roots.isObject())
        return {};

    // Roots in key order (bookmark_bar, other, synced for the browsers' own files).
    QList<BrowserBookmarkShortcut> results;
    const QJsonObject rootObject = roots.toObject();
    for (auto it = rootObject.begin(); it != rootObject.end(); ++it) {
        if (!it.value().isObject())
            continue;
        const QJsonObject node = it.value().toObject();
        const QString label = rootLabel(it.key(), node);
        collect(node, browserName, label.isEmpty() ? QStringList() : QStringList{label}, results);
    }
    return {.bookmarks = std::move(results), .bookmarksBeyondDepthLimit = bookmarksCut};
}

void ChromiumBookmarks::collect(const QJsonObject &node, const QString &browserName,
                                const QStringList &folderPathComponents,
                                QList<BrowserBookmarkShortcut> &results) {
    const QString type = jsonString(node, QLatin1String("type")).toLower();
    const QString name = StringUtils::trimmedWhitespaceAndNewlines(jsonString(node, QLatin1String("name")));

    if (type == QLatin1String("url")) {
        const QJsonValue url = node.value(QLatin1String("url"));
        if (!url.isString())
            return;
        const QString urlString = StringUtils::trimmedWhitespaceAndNewlines(url.toString());
        const auto host = BrowserSourceHelpers::bookmarkAddressPlace(urlString);
        if (!host)
            return;
        results.append({.browserName = browserName,
                        .title = name.isEmpty() ? *host : name,
                        .urlString = urlString,
                        .host = *host,
                        .folderPath = folderPathComponents.join(QStringLiteral(" / "))});
        return;
    }

    const QJsonValue childrenValue = node.value(QLatin1String("children"));
    if (!childrenValue.isArray())
        return;
    const QJsonArray children = childrenValue.toArray();
    if (children.isEmpty())
        return;
    // A folder with any child that is not a node is malformed as a whole.
    for (const QJsonValue &child : children)
        if (!child.isObject())
            return;

    QStringList next = folderPathComponents;
    // A root labelled by its own name, or a folder named like its parent, does not repeat in the path.
    const bool repeatsParent = !folderPathComponents.isEmpty() &&
                               folderPathComponents.last().compare(name, Qt::CaseInsensitive) == 0;
    if (!name.isEmpty() && !repeatsParent)
        next.append(name);
    for (const QJsonValue &child : children)
        collect(child.toObject(), browserName, next, results);
}

QString ChromiumBookmarks::rootLabel(const QString &rootKey, const QJsonObject &node) {
    const QString name = StringUtils::trimmedWhitespaceAndNewlines(jsonString(node, QLatin1String("name")));
    if (!name.isEmpty())
        return name;
    const QString key = rootKey.toLower();
    if (key == QLatin1String("bookmark_bar"))
        return QStringLiteral("Bookmarks Bar");
    if (key == QLatin1String("other"))
        return QStringLiteral("Other Bookmarks");
    if (key == QLatin1String("synced"))
        return QStringLiteral("Synced");
    return {};
}

} // namespace orvex
