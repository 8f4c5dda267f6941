#include "search/RootWalk.h"

#include <QFile>

#include <sys/stat.h>

namespace orvex::RootWalk {

namespace {

bool statFollowingLinks(const QString &path, struct stat &info) {
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

bool isCancelled(const std::atomic<bool> *cancelled) {
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

bool isExistingDirectory(const QString &path) {
    struct stat info {};
    return statFollowingLinks(path, info) && S_ISDIR(info.st_mode);
}

bool isDirectory(const Entry &entry) {
    if (entry.type == DirectoryWalker::EntryType::symbolicLink)
        return isExistingDirectory(entry.path);
    return entry.type == DirectoryWalker::EntryType::directory;
}

bool exists(const Entry &entry) {
    if (entry.type != DirectoryWalker::EntryType::symbolicLink)
        return true;
    struct stat info {};
    return statFollowingLinks(entry.path, info);
}

bool isHidden(const Entry &entry) {
    return entry.name.startsWith(QLatin1Char('.'));
}

QString pathExtension(const QString &name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString lastPathComponent(const QString &path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentPath(const QString &path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

bool hasAppExtension(const QString &name) {
    return pathExtension(name).compare(QLatin1String("app"), Qt::CaseInsensitive) == 0;
}

SearchResults Rows::take() {
    rows_.squeeze();
    return std::move(rows_);
}

QString Rows::folderOf(const QString &path) {
    const QString parent = parentPath(path);
    const auto known = folders_.constFind(parent);
    if (known != folders_.cend())
        return *known;
    folders_.insert(parent);
    return parent;
}

} // namespace orvex::RootWalk
