#pragma once

#include <QString>

#include <memory>
#include <variant>

namespace orvex {

// Why the instance lock could not be taken.
struct InstanceLockError {
    enum class Kind { openFailed, lockFailed, alreadyRunning };

    static InstanceLockError openFailed(int errorNumber) { return {Kind::openFailed, errorNumber}; }
    static InstanceLockError lockFailed(int errorNumber) { return {Kind::lockFailed, errorNumber}; }
    static InstanceLockError alreadyRunning() { return {Kind::alreadyRunning, 0}; }

    bool operator==(const InstanceLockError &) const = default;
    // The case, with the system error number and its text for the first two.
    QString description() const;

    Kind kind;
    int errorNumber;
};

// A folder on the way to a file of ours could not be created.
struct FolderCreationError {
    bool operator==(const FolderCreationError &) const = default;
    QString description() const;

    QString path;
    int errorNumber;
};

// Any failure of the single-instance start.
using SingleInstanceError = std::variant<InstanceLockError, FolderCreationError>;
QString describe(const SingleInstanceError &error);

// Creates `path` and its missing parents with default modes; the failure names the folder and the
// system's reason.
std::variant<std::monostate, FolderCreationError> createFolder(const QString &path);

// An exclusive advisory lock (flock) on one file, held while the object lives. Whoever holds it is the
// running instance; the kernel drops it when the holder exits or crashes, so the file itself is never
// deleted. The file holds the holder's process id for a human reader.
class InstanceLock {
public:
    // Creates the file's folder, opens the file (0600, close-on-exec) and locks it without waiting.
    static std::variant<std::unique_ptr<InstanceLock>, SingleInstanceError> acquire(const QString &lockPath);

    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    QString lockPath() const { return lockPath_; }

private:
    InstanceLock(int fileDescriptor, QString lockPath);

    int fileDescriptor_;
    QString lockPath_;
};

} // namespace orvex
