#include "DirectoryWalker.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

template <typename Text> Text childPath(const Text &parent, const Text &name) {
    if (parent.endsWith('/'))
        return parent + name;
    return parent + '/' + name;
}

DirectoryWalker::EntryType typeFromMode(mode_t mode) {
    if (S_ISDIR(mode))
        return DirectoryWalker::EntryType::directory;
    if (S_ISREG(mode))
        return DirectoryWalker::EntryType::regularFile;
    if (S_ISLNK(mode))
        return DirectoryWalker::EntryType::symbolicLink;
    return DirectoryWalker::EntryType::other;
}

} // namespace

DirectoryWalker::DirectoryWalker(const QString &rootPath) {
    QString root = rootPath;
    // "/a/b/" and "/a/b" walk alike; "/" stays "/".
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    if (auto frame = readFolder(root, QFile::encodeName(root), true, 0, true))
        stack_.push_back(std::move(*frame));
}

bool DirectoryWalker::isAppBundleName(const QString &name) {
    return name.size() > 4 && name.endsWith(QLatin1String(".app"), Qt::CaseInsensitive);
}

void DirectoryWalker::skipDescendants() {
    pendingFolder_.reset();
}

std::optional<DirectoryWalker::Frame> DirectoryWalker::readFolder(const QString &path,
                                                                  const QByteArray &nativePath,
                                                                  bool exactPath, int depth,
                                                                  bool followLink) {
    // O_NOFOLLOW below the root: a folder swapped for a link after it was listed is not entered.
    const int flags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(nativePath.constData(), flags);
    if (fd < 0)
        return std::nullopt;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    Frame frame{.path = path, .nativePath = nativePath, .exactPath = exactPath, .depth = depth};
    while (const dirent *item = ::readdir(dir)) {
        if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0)
            continue;
        frame.children.push_back({QByteArray(item->d_name), item->d_type});
    }
    ::closedir(dir); // closes fd too
    std::sort(frame.children.begin(), frame.children.end(),
              [](const Child &a, const Child &b) { return a.name < b.name; });
    return frame;
}

std::optional<DirectoryWalker::Entry> DirectoryWalker::next() {
    if (pendingFolder_) {
        const PendingFolder folder = std::move(*pendingFolder_);
        pendingFolder_.reset();
        if (auto frame = readFolder(folder.path, folder.nativePath, folder.exactPath, folder.depth, false))
            stack_.push_back(std::move(*frame));
    }
    while (!stack_.empty()) {
        Frame &frame = stack_.back();
        if (frame.nextIndex >= frame.children.size()) {
            stack_.pop_back();
            continue;
        }
        const Child &child = frame.children[frame.nextIndex++];
        Entry entry;
        entry.name = QFile::decodeName(child.name);
        entry.path = childPath(frame.path, entry.name);
        entry.exactPath = frame.exactPath && QFile::encodeName(entry.name) == child.name;
        const QByteArray nativePath = childPath(frame.nativePath, child.name);
        entry.depth = frame.depth + 1;
        switch (child.type) {
        case DT_DIR:
            entry.type = EntryType::directory;
            break;
        case DT_REG:
            entry.type = EntryType::regularFile;
            break;
        case DT_LNK:
            entry.type = EntryType::symbolicLink;
            break;
        case DT_UNKNOWN: {
            // Some file systems leave d_type unset; ask without following links.
            struct stat info {};
            if (::lstat(nativePath.constData(), &info) != 0)
                continue; // vanished since the folder was read
            entry.type = typeFromMode(info.st_mode);
            break;
        }
        default:
            entry.type = EntryType::other;
            break;
        }
        if (entry.type == EntryType::directory && !isAppBundleName(entry.name))
            pendingFolder_ = PendingFolder{entry.path, nativePath, entry.exactPath, entry.depth};
        return entry;
    }
    return std::nullopt;
}

} // namespace orvex
