#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orvex::test {

// A real file system of a few kilobytes (tmpfs) of the test's own, for tests of what a program does
// when the disk is full or read-only. It is mounted in a mount namespace of its own, which a child
// process holds: nothing of it outlives the test, however the test ends, and nothing outside the test
// sees it. Its files are reached through that process (/proc/<pid>/root/...), by the test and by the
// processes it starts. Mounting needs root (or CAP_SYS_ADMIN) and util-linux's unshare and mount.
class SmallFileSystem {
public:
    explicit SmallFileSystem(qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    // The file system's root folder; empty when it could not be mounted (problem() says why).
    QString path() const { return path_; }
    QString problem() const { return problem_; }

    // Takes all the room that is left but `leave` bytes (rounded down to whole blocks), with a file of
    // its own; false when the file system did not fill as asked.
    bool fill(qint64 leave = 0);
    // Gives the room fill() took back; false when there was none to give.
    bool makeRoom();
    // Remounts it read-only or writable; false when that failed.
    bool setReadOnly(bool readOnly);

private:
    QString command(const QByteArray &line);

    QTemporaryDir mountPoint_;
    QProcess holder_;
    QString path_;
    QString problem_;
};

} // namespace orvex::test
