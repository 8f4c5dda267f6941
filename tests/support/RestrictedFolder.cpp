#include "RestrictedFolder.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvex::test {

RestrictedFolder::RestrictedFolder(const QString &path, mode_t mode) : path_(QFile::encodeName(path)) {
    struct stat info {};
    if (::stat(path_.constData(), &info) == 0)
        savedMode_ = info.st_mode & 07777;
    ::chmod(path_.constData(), mode);
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (::syscall(SYS_capget, &header_, savedCapabilities_) == 0) {
        __user_cap_data_struct reduced[2] = {savedCapabilities_[0], savedCapabilities_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
}

RestrictedFolder::~RestrictedFolder() {
    if (dropped_)
        ::syscall(SYS_capset, &header_, savedCapabilities_);
    ::chmod(path_.constData(), savedMode_);
}

bool RestrictedFolder::canList() const {
    DIR *dir = ::opendir(path_.constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

bool RestrictedFolder::canCreateFiles() const {
    const QByteArray probe = path_ + "/.probe";
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

} // namespace orvex::test
