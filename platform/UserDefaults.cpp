#include "UserDefaults.h"

#include "ConsoleLog.h"
#include "FileSystem.h"
#include "PropertyList.h"
#include "SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

using SteadyClock = std::chrono::steady_clock;
using Values = std::map<QString, PlistValue>;

// How long a failed background write waits before it tries again.
constexpr std::chrono::seconds retryDelay{5};

Q_LOGGING_CATEGORY(defaultsLog, "orvex.defaults", QtInfoMsg)

void printLine(const QString &line) {
    orvex::printLine(defaultsLog(), line);
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Creates the folder and its missing parents, each private to the user.
bool ensureDirectory(const QString &path) {
    if (QFileInfo(path).isDir())
        return true;
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    QString prefix;
    for (const QString &part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        prefix += QLatin1Char('/') + part;
        ::mkdir(QFile::encodeName(prefix).constData(), 0700); // an existing entry is checked below
    }
    return QFileInfo(absolute).isDir();
}

// An exclusive flock on the file next to the defaults file, held while this object lives. flock locks
// belong to the open file, so two instances in one process exclude each other as two processes do.
class FileLock {
public:
    explicit FileLock(const QString &path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return fd_ >= 0; }
    int error() const { return error_; }

    // The mark the last writer left in the lock file; zero when there is none. Every writer that holds
    // the lock leaves a new one, so an equal mark means no such writer came in between, even where
    // the file's inode number was reused and its times did not move (they are only as fine as the
    // kernel's tick).
    quint64 writerMark() const {
        quint64 mark = 0;
        if (fd_ < 0 || ::pread(fd_, &mark, sizeof mark, 0) != static_cast<ssize_t>(sizeof mark))
            return 0;
        return mark;
    }
    // Leaves a new mark; zero when it could not be left.
    quint64 leaveWriterMark() {
        quint64 mark = 0;
        while (mark == 0)
            mark = QRandomGenerator::system()->generate64();
        if (fd_ < 0 || ::pwrite(fd_, &mark, sizeof mark, 0) != static_cast<ssize_t>(sizeof mark))
            return 0;
        return mark;
    }

private:
    int fd_ = -1;
    int error_ = 0;
};

struct DiskState {
    enum Status {
        missing,    // no file: nothing stored yet (or the user deleted it)
        loaded,     // `values` holds the file's content
        unreadable, // the file exists but is no defaults file (bad property list, not a dictionary, ...)
        unavailable // the file could not be read just now; it may be fine, so it must be left alone
    } status;
    Values values;
    QString detail;
};

// One version of the file: a write renames a new file over it (a new inode), and a change in place
// moves its size or times.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0;
    bool operator==(const FileIdentity &) const = default;
};

FileIdentity identityOf(const struct stat &info) {
    return {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
            static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            static_cast<qint64>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

std::optional<FileIdentity> identityOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return identityOf(info);
}

// What the file held when it was last read or written under the lock, and which version that was.
struct KnownFile {
    Values values;
    FileIdentity identity;
    quint64 writerMark = 0;
};

// Reads the file, unless it is still the version `known` describes (`writerMark`: the lock file's
// mark, read with the lock held).
DiskState readDefaultsFile(const QString &path, qint64 byteLimit, std::optional<KnownFile> *known = nullptr,
                           quint64 writerMark = 0) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {DiskState::missing, {}, {}};
        return {DiskState::unavailable, {}, systemError(errno)};
    }
    if (!S_ISREG(info.st_mode))
        return {DiskState::unreadable, {}, QStringLiteral("not a regular file")};
    const FileIdentity identity = identityOf(info);
    if (known && *known && (*known)->identity == identity && (*known)->writerMark == writerMark)
        return {DiskState::loaded, (*known)->values, {}};
    if (info.st_size > byteLimit)
        return {DiskState::unreadable, {}, QStringLiteral("larger than %1 bytes").arg(byteLimit)};
    const auto bytes = SafeFile::readRegularFile(path, byteLimit);
    if (!bytes) {
        // Replaced by a rename between stat and open, or a read error: nothing says the file is bad.
        return {DiskState::unavailable, {}, QStringLiteral("read failed")};
    }
    const auto root = PropertyList::read(*bytes);
    const auto *dictionary = root ? root->dictionaryPointer() : nullptr;
    if (!dictionary)
        return {DiskState::unreadable, {}, QStringLiteral("not a property-list dictionary")};
    Values values;
    for (auto it = dictionary->cbegin(); it != dictionary->cend(); ++it)
        values.emplace(it.key(), it.value());
    if (known)
        *known = KnownFile{values, identity, writerMark};
    return {DiskState::loaded, std::move(values), {}};
}

// Renames an unreadable defaults file out of the way so that no write replaces it.
bool setAside(const QString &path, const QString &reason) {
    const QString stem = path + QStringLiteral(".corrupt-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = stem + QLatin1Char('-') + QString::number(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        printLine(QStringLiteral("Failed to move unreadable defaults file aside: ") + path +
                  QStringLiteral(": ") + systemError(errno));
        return false;
    }
    printLine(QStringLiteral("Unreadable defaults file moved aside (") + reason + QStringLiteral("): ") +
              path + QStringLiteral(" -> ") + target);
    return true;
}

QByteArray encodeDefaults(const Values &values) {
    PlistValue::Dictionary dictionary;
    for (const auto &[key, value] : values)
        dictionary.insert(key, value);
    return PropertyList::writeBinary(PlistValue(std::move(dictionary)));
}

std::optional<QString> writeDefaultsFile(const QString &path, const QByteArray &bytes, qint64 byteLimit) {
    if (bytes.isEmpty())
        return QStringLiteral("values could not be encoded");
    if (bytes.size() > byteLimit)
        return QStringLiteral("%1 bytes exceed the limit of %2").arg(bytes.size()).arg(byteLimit);
    return FileSystem::replaceFile(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString lockPathFor(const QString &path) {
    return path + QStringLiteral(".lock");
}

// A write goes to "<file>.XXXXXX", renamed over the file when complete; a writer killed in between
// leaves that copy behind. Only called with the lock held, when no writer can be between the two steps.
void removeLeftOverCopies(const QString &path) {
    const QFileInfo file(path);
    const QString prefix = file.fileName() + QLatin1Char('.');
    const QDir folder = file.absoluteDir();
    for (const QString &name :
         folder.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QStringView suffix = QStringView(name).mid(prefix.size());
        const bool temporaryName = std::all_of(
            suffix.begin(), suffix.end(), [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); });
        struct stat info {};
        const QByteArray native = QFile::encodeName(folder.filePath(name));
        if (temporaryName && ::lstat(native.constData(), &info) == 0 && S_ISREG(info.st_mode))
            ::unlink(native.constData());
    }
}

} // namespace

struct UserDefaults::State {
    QString filePath;
    qint64 fileByteLimit = maxFileBytes;
    std::chrono::milliseconds flushDelay{defaultFlushDelay};

    // Guards everything below up to flushMutex; held only for memory work, never for file work.
    mutable std::mutex mutex;
    std::condition_variable wake;
    Values values;
    std::map<QString, quint64> changed; // key -> serial of its latest change not yet in the file
    quint64 nextSerial = 1;
    std::optional<SteadyClock::time_point> flushDue;
    bool stopping = false;
    bool lastFlushFailed = false;
    std::set<QString> discardable;
    // The last line said about values left out of a full file, so that it is said once.
    QString lastSizeReport;

    // Held while the handler runs, so that no call of one that was replaced is still under way.
    std::mutex handlerMutex;
    std::function<void(const QString &reason)> writeFailureHandler;

    std::mutex flushMutex; // one flush at a time
    // Guarded by flushMutex: the file as this instance last read or wrote it, so that a flush reads
    // it again only when another writer has replaced it since.
    std::optional<KnownFile> known;
    std::thread writer;

    // With `mutex` held: memory becomes what the file holds, except for the keys changed here and not
    // yet written, which keep their state.
    void takeIn(Values file) {
        for (const auto &entry : changed) {
            const auto current = values.find(entry.first);
            if (current == values.end())
                file.erase(entry.first);
            else
                file.insert_or_assign(entry.first, current->second);
        }
        values = std::move(file);
    }
};

UserDefaults::UserDefaults() : state_(std::make_unique<State>()) {}

UserDefaults::UserDefaults(const QString &filePath, std::chrono::milliseconds flushDelay,
                           qint64 fileByteLimit)
    : state_(std::make_unique<State>()) {
    state_->filePath = filePath;
    state_->fileByteLimit = fileByteLimit;
    state_->flushDelay = flushDelay;
    if (filePath.isEmpty())
        return;

    std::optional<FileLock> lock;
    if (QFileInfo(QFileInfo(filePath).absolutePath()).isDir())
        lock.emplace(lockPathFor(filePath));
    if (lock && lock->locked())
        removeLeftOverCopies(filePath);
    // Only what was read under the lock describes a version of the file.
    const bool locked = lock && lock->locked();
    DiskState disk = readDefaultsFile(filePath, fileByteLimit, locked ? &state_->known : nullptr,
                                      locked ? lock->writerMark() : 0);
    if (disk.status == DiskState::loaded) {
        state_->values = std::move(disk.values);
    } else if (disk.status == DiskState::unreadable) {
        // Should this fail, every flush tries again and refuses to write over the file.
        if (lock && lock->locked())
            setAside(filePath, disk.detail);
        else
            printLine(QStringLiteral("Failed to move unreadable defaults file aside: ") + filePath +
                      QStringLiteral(": cannot lock it"));
    } else if (disk.status == DiskState::unavailable) {
        printLine(QStringLiteral("Failed to read defaults file: ") + filePath + QStringLiteral(": ") +
                  disk.detail);
    }
    lock.reset();

    state_->writer = std::thread([this] { runWriter(); });
}

UserDefaults::~UserDefaults() {
    if (state_->writer.joinable()) {
        {
            std::lock_guard lock(state_->mutex);
            state_->stopping = true;
        }
        state_->wake.notify_all();
        state_->writer.join();
    }
    // Also when nothing is pending: a file deleted meanwhile is written back.
    if (!state_->filePath.isEmpty())
        flush();
}

void UserDefaults::runWriter() {
    State &s = *state_;
    std::unique_lock lock(s.mutex);
    for (;;) {
        if (s.stopping)
            return;
        if (!s.flushDue) {
            s.wake.wait(lock);
            continue;
        }
        const auto due = *s.flushDue;
        if (s.wake.wait_until(lock, due, [&] { return s.stopping; }))
            return;
        s.flushDue.reset();
        lock.unlock();
        const bool written = flush();
        lock.lock();
        if (!written && !s.changed.empty() && !s.flushDue)
            s.flushDue = SteadyClock::now() + retryDelay;
    }
}

UserDefaults &UserDefaults::standard() {
    static UserDefaults defaults(standardFilePath());
    return defaults;
}

QString UserDefaults::standardFilePath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative path is invalid there: the file would follow whatever folder we were started from.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/orvex-launcher/defaults.plist");
}

std::optional<PlistValue> UserDefaults::value(const QString &key) const {
    std::lock_guard lock(state_->mutex);
    const auto it = state_->values.find(key);
    if (it == state_->values.end())
        return std::nullopt;
    return it->second;
}

std::optional<bool> UserDefaults::boolValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toBool() : std::nullopt;
}
std::optional<qint64> UserDefaults::integerValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toInteger() : std::nullopt;
}
std::optional<double> UserDefaults::realValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toReal() : std::nullopt;
}
std::optional<QString> UserDefaults::stringValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toString() : std::nullopt;
}
std::optional<QByteArray> UserDefaults::dataValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toData() : std::nullopt;
}
std::optional<Date> UserDefaults::dateValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toDate() : std::nullopt;
}
std::optional<PlistValue::Array> UserDefaults::arrayValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toArray() : std::nullopt;
}
std::optional<PlistValue::Dictionary> UserDefaults::dictionaryValue(const QString &key) const {
    const auto v = value(key);
    return v ? v->toDictionary() : std::nullopt;
}

QStringList UserDefaults::keys() const {
    std::lock_guard lock(state_->mutex);
    QStringList result;
    for (const auto &entry : state_->values)
        result.append(entry.first);
    return result;
}

void UserDefaults::set(const QString &rawKey, PlistValue rawValue) {
    // Stored as it will read back from the file, so that memory and file never disagree.
    const QString key = PropertyList::portable(PlistValue(rawKey)).toString().value_or(rawKey);
    PlistValue value = PropertyList::portable(rawValue);
    // The file could not be read back, and the whole store would be set aside. In the file the value
    // sits one level down, under the root dictionary, so it is measured there.
    if (!PropertyList::fitsMaxDepth(PlistValue(PlistValue::Dictionary{{key, value}}))) {
        printLine(QStringLiteral("Refused defaults value nested too deeply: ") + key);
        return;
    }
    bool wakeWriter = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->values.insert_or_assign(key, std::move(value));
        state_->changed[key] = state_->nextSerial++;
        if (!state_->filePath.isEmpty() && !state_->flushDue) {
            state_->flushDue = SteadyClock::now() + state_->flushDelay;
            wakeWriter = true;
        }
    }
    if (wakeWriter)
        state_->wake.notify_all();
}

void UserDefaults::remove(const QString &key) {
    bool wakeWriter = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->values.erase(key);
        state_->changed[key] = state_->nextSerial++;
        if (!state_->filePath.isEmpty() && !state_->flushDue) {
            state_->flushDue = SteadyClock::now() + state_->flushDelay;
            wakeWriter = true;
        }
    }
    if (wakeWriter)
        state_->wake.notify_all();
}

bool UserDefaults::hasPendingChanges() const {
    std::lock_guard lock(state_->mutex);
    return !state_->filePath.isEmpty() && !state_->changed.empty();
}

bool UserDefaults::flush() {
    return synchronize(nullptr);
}

bool UserDefaults::update(const std::function<void(const StoredValues &stored)> &change) {
    return synchronize(&change);
}

bool UserDefaults::synchronize(const std::function<void(const StoredValues &stored)> *change) {
    State &s = *state_;
    // What the change is shown of the file: nothing until the file has been read under the lock.
    Values stored;
    const StoredValues lookup = [&stored](const QString &key) -> std::optional<PlistValue> {
        const auto it = stored.find(key);
        return it == stored.end() ? std::nullopt : std::optional<PlistValue>(it->second);
    };
    bool changed = false;
    // Failing or not, the change is made: in memory at least, pending for the next write.
    auto makeChange = [&] {
        if (change && !changed)
            (*change)(lookup);
        changed = true;
    };
    if (s.filePath.isEmpty()) {
        makeChange();
        return true;
    }
    std::lock_guard flushLock(s.flushMutex);

    // Said once for a run of failures, however often the write is tried again meanwhile.
    auto fail = [&](const QString &detail) {
        makeChange();
        bool first = false;
        {
            std::lock_guard lock(s.mutex);
            first = !s.lastFlushFailed;
            s.lastFlushFailed = true;
        }
        if (first) {
            printLine(QStringLiteral("Failed to write defaults file: ") + s.filePath + QStringLiteral(": ") +
                      detail);
            std::lock_guard handlerLock(s.handlerMutex);
            if (s.writeFailureHandler)
                s.writeFailureHandler(detail);
        }
        return false;
    };

    // A file this instance has known may have been deleted since; then it is written back whole.
    const bool mustWrite = change != nullptr || hasPendingChanges() || s.known.has_value();
    const QString folder = QFileInfo(s.filePath).absolutePath();
    if (mustWrite && !ensureDirectory(folder))
        return fail(QStringLiteral("cannot create folder ") + folder);
    std::optional<FileLock> fileLock;
    if (mustWrite || QFileInfo(folder).isDir()) {
        fileLock.emplace(lockPathFor(s.filePath));
        if (!fileLock->locked())
            return fail(QStringLiteral("cannot lock ") + lockPathFor(s.filePath) + QStringLiteral(": ") +
                        systemError(fileLock->error()));
    }

    // Without the lock (no folder yet, nothing to write) nothing read describes a version.
    const bool locked = fileLock && fileLock->locked();
    DiskState disk = readDefaultsFile(s.filePath, s.fileByteLimit, locked ? &s.known : nullptr,
                                      locked ? fileLock->writerMark() : 0);
    Values merged;
    // What the file held, for values that must give way when the result would not fit.
    Values onDisk;
    // Memory stands in for a file that is gone or set aside.
    bool rewriteWhole = false;
    switch (disk.status) {
    case DiskState::missing: {
        // Deleted while this instance ran (or never there): every value held here is written, not only
        // the ones changed since, so that nothing the user set is lost with the file.
        s.known.reset();
        std::lock_guard lock(s.mutex);
        merged = s.values;
        rewriteWhole = locked && !merged.empty();
        break;
    }
    case DiskState::loaded:
        merged = std::move(disk.values);
        onDisk = merged;
        break;
    case DiskState::unavailable:
        return fail(QStringLiteral("cannot read it: ") + disk.detail);
    case DiskState::unreadable: {
        s.known.reset();
        if (!setAside(s.filePath, disk.detail))
            return fail(QStringLiteral("an unreadable file is in the way"));
        // What this instance last knew stands in for the lost file.
        std::lock_guard lock(s.mutex);
        merged = s.values;
        rewriteWhole = true;
        break;
    }
    }

    if (change) {
        // With the lock held nobody else writes: the change sees the file as it is and what it sets
        // is written before anyone else reads it.
        stored = onDisk;
        {
            std::lock_guard lock(s.mutex);
            s.takeIn(merged);
        }
        makeChange();
    }

    std::map<QString, quint64> serials;
    {
        std::lock_guard lock(s.mutex);
        serials = s.changed;
        for (const auto &entry : serials) {
            const auto it = s.values.find(entry.first);
            if (it == s.values.end())
                merged.erase(entry.first);
            else
                merged.insert_or_assign(entry.first, it->second);
        }
    }
    // Nothing to write unless something changed, or an unreadable file was set aside and memory stands in.
    // Without the lock there was nothing to write when this flush began; what was set since is
    // written by the next one.
    const bool writes = locked && (!serials.empty() || rewriteWhole);
    if (!locked)
        serials.clear();

    if (writes) {
        removeLeftOverCopies(s.filePath);
        QByteArray bytes = encodeDefaults(merged);
        if (bytes.size() > s.fileByteLimit)
            bytes = fitWithinLimit(merged, onDisk, serials);
        if (const auto error = writeDefaultsFile(s.filePath, bytes, s.fileByteLimit)) {
            s.known.reset();
            return fail(*error);
        }
        const auto identity = identityOf(s.filePath);
        const quint64 mark = fileLock->leaveWriterMark();
        if (identity && mark != 0)
            s.known = KnownFile{merged, *identity, mark};
        else
            s.known.reset();
    }

    std::lock_guard lock(s.mutex);
    // Keys changed while the file was written stay pending with their newer state.
    for (auto it = s.changed.begin(); it != s.changed.end();) {
        const auto flushed = serials.find(it->first);
        if (flushed != serials.end() && flushed->second == it->second)
            it = s.changed.erase(it);
        else
            ++it;
    }
    s.takeIn(std::move(merged));
    s.lastFlushFailed = false;
    return true;
}

void UserDefaults::setWriteFailureHandler(std::function<void(const QString &reason)> handler) {
    std::lock_guard lock(state_->handlerMutex);
    state_->writeFailureHandler = std::move(handler);
}

void UserDefaults::setDiscardable(const QString &key) {
    std::lock_guard lock(state_->mutex);
    state_->discardable.insert(key);
}

QByteArray UserDefaults::fitWithinLimit(std::map<QString, PlistValue> &values,
                                        const std::map<QString, PlistValue> &onDisk,
                                        const std::map<QString, quint64> &changed) {
    State &s = *state_;
    std::set<QString> discardable;
    {
        std::lock_guard lock(s.mutex);
        discardable = s.discardable;
    }
    // What each key adds to the file, near enough to choose which give way; the whole is measured
    // after each step.
    auto sizeOf = [](const QString &key, const PlistValue &value) {
        return encodeDefaults(Values{{key, value}}).size();
    };
    auto largestFirst = [&](const std::function<bool(const QString &)> &chosen) {
        std::vector<std::pair<qsizetype, QString>> keys;
        for (const auto &[key, value] : values)
            if (chosen(key))
                keys.emplace_back(sizeOf(key, value), key);
        std::sort(keys.begin(), keys.end(), std::greater<>());
        return keys;
    };

    QByteArray bytes = encodeDefaults(values);
    QStringList dropped;
    QStringList kept;
    qint64 estimate = bytes.size();
    auto fits = [&] {
        if (estimate > s.fileByteLimit)
            return false;
        bytes = encodeDefaults(values);
        estimate = bytes.size();
        return bytes.size() <= s.fileByteLimit;
    };
    // Caches and other expendable keys go first, the largest first.
    for (const auto &[size, key] :
         largestFirst([&](const QString &key) { return discardable.count(key) != 0; })) {
        if (fits())
            break;
        values.erase(key);
        estimate -= size;
        dropped.append(key);
    }
    // Then a value set here that does not fit keeps what the file held: one oversized value never
    // stops the others from being written.
    for (const auto &[size, key] : largestFirst([&](const QString &key) {
             const auto stored = onDisk.find(key);
             return changed.count(key) != 0 &&
                    (stored == onDisk.end() || !(stored->second == values.at(key)));
         })) {
        if (fits())
            break;
        const auto stored = onDisk.find(key);
        estimate -= size;
        if (stored == onDisk.end()) {
            values.erase(key);
        } else {
            values.insert_or_assign(key, stored->second);
            estimate += sizeOf(key, stored->second);
        }
        kept.append(key);
    }
    // Without a file to fall back on (memory stands in for one), the largest values go.
    for (const auto &[size, key] : largestFirst([](const QString &) { return true; })) {
        if (fits())
            break;
        values.erase(key);
        estimate -= size;
        dropped.append(key);
    }
    fits();

    QString report = QStringLiteral("Defaults file would exceed %1 bytes, ").arg(s.fileByteLimit);
    if (!dropped.isEmpty())
        report += QStringLiteral("written without: ") + dropped.join(QStringLiteral(", "));
    if (!kept.isEmpty())
        report += QString(dropped.isEmpty() ? "" : "; ") + QStringLiteral("kept the stored values of: ") +
                  kept.join(QStringLiteral(", "));
    report += QStringLiteral(": ") + s.filePath;
    {
        std::lock_guard lock(s.mutex);
        if (report == s.lastSizeReport)
            return bytes;
        s.lastSizeReport = report;
    }
    printLine(report);
    return bytes;
}

QString UserDefaults::filePath() const {
    return state_->filePath;
}

} // namespace orvex
