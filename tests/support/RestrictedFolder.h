#pragma once

#include <QByteArray>
#include <QString>

#include <linux/capability.h>
#include <sys/types.h>

namespace orvex::test {

// A folder with the given mode while the object lives, for tests of what a program does with a folder
// it may not read or write. Modes alone do not stop root, so the calling thread also drops the
// capabilities that bypass them; the mode and the capabilities come back when the object goes.
class RestrictedFolder {
public:
    RestrictedFolder(const QString &path, mode_t mode);
    ~RestrictedFolder();
    RestrictedFolder(const RestrictedFolder &) = delete;
    RestrictedFolder &operator=(const RestrictedFolder &) = delete;

    // What this thread can do with the folder now (a test skips where the restriction does not hold).
    bool canList() const;
    bool canCreateFiles() const;

private:
    QByteArray path_;
    mode_t savedMode_ = 0755;
    __user_cap_header_struct header_{};
    __user_cap_data_struct savedCapabilities_[2]{};
    bool dropped_ = false;
};

} // namespace orvex::test
