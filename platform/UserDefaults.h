#pragma once

#include "PlistValue.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace orvex {

// The defaults database: a key-value store of property-list values that survives restarts.
// Writes land in memory at once and reach the backing file atomically within a second, on flush()
// and at destruction. Several instances and processes may share one file: a flush merges only this
// instance's changed keys into what the file holds. A file deleted while an instance runs is written
// back whole, with every value the instance holds, at its next write (at the latest when it is
// destroyed). Reads serve memory and never wait for the file. Safe to use from any thread.
class UserDefaults {
public:
    // Delay between the first unsaved change and the background write that carries it (and every
    // change made meanwhile) to the file.
    static constexpr std::chrono::milliseconds defaultFlushDelay{500};
    // Larger files are neither read nor written (unless an instance is given another limit).
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

    // Memory only: nothing is read or written on disk.
    UserDefaults();
    // Backed by the property-list file at `filePath` (created on first write, mode 0600, its missing
    // folders 0700), written in the binary form, which carries every text exactly; XML files that
    // earlier versions wrote are read too. Its root must be a dictionary, otherwise it is renamed aside
    // ("<file>.corrupt-<time>") and reading starts empty. Values this build does not understand are
    // kept and written back unchanged.
    explicit UserDefaults(const QString &filePath, std::chrono::milliseconds flushDelay = defaultFlushDelay,
                          qint64 fileByteLimit = maxFileBytes);
    ~UserDefaults();

    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    // The process-wide instance over $XDG_CONFIG_HOME/orvex-launcher/defaults.plist.
    static UserDefaults &standard();
    static QString standardFilePath();

    std::optional<PlistValue> value(const QString &key) const;
    std::optional<bool> boolValue(const QString &key) const;
    std::optional<qint64> integerValue(const QString &key) const;
    std::optional<double> realValue(const QString &key) const;
    std::optional<QString> stringValue(const QString &key) const;
    std::optional<QByteArray> dataValue(const QString &key) const;
    std::optional<Date> dateValue(const QString &key) const;
    std::optional<PlistValue::Array> arrayValue(const QString &key) const;
    std::optional<PlistValue::Dictionary> dictionaryValue(const QString &key) const;
    QStringList keys() const;

    // A value that would nest deeper than PropertyList::maxDepth in the file, where the root dictionary
    // adds a level, is refused (one line on stdout) and not stored. Keys and values are stored as
    // PropertyList::portable() makes them, which is how they read back.
    void set(const QString &key, PlistValue value);
    void remove(const QString &key);
    // Marks a key whose value may be left out of the file (and dropped from memory) when the file would
    // otherwise grow past its limit: a cache or a history, which must not stop the writes of everything
    // else. The owner of the keys says which they are. When leaving those out is not enough, a value
    // set here that does not fit keeps the one the file holds, so that no single key makes the file
    // refuse the others (one line on stdout says which).
    void setDiscardable(const QString &key);

    // Writes pending changes now, under a lock on "<file>.lock": takes in what other writers stored
    // (reading the file again only when one has replaced it since this instance last read or wrote
    // it), applies the keys set or removed here since the last flush, writes the result atomically
    // and takes the other writers' keys into memory. False when the file could not be read or written
    // (the changes stay pending).
    bool flush();

    // The file's value under a key as update() found it; nothing when absent.
    using StoredValues = std::function<std::optional<PlistValue>(const QString &key)>;
    // A read-merge-write no other writer can come between: with the file's lock held, memory takes in
    // what the file holds (keys changed here and not yet written keep their state), `change` runs
    // (it is shown the file's own values and may read and set keys, but must not flush), and
    // everything pending is written before the lock is released. The change is made also when the
    // file cannot be read or written; then it stays pending and the answer is false.
    bool update(const std::function<void(const StoredValues &stored)> &change);
    // True while changes made here have not reached the file.
    bool hasPendingChanges() const;

    // Told why, when the file stops taking writes (a full disk, a read-only folder, ...): at the first
    // failure after a success, as the line on stdout. The failures that follow are silent; the values
    // stay in memory, pending, and the background writer tries again every few seconds. Called on the
    // thread that tried to write, inside that write: it must not flush or update. Once this returns, no
    // call of the handler it replaces is under way.
    void setWriteFailureHandler(std::function<void(const QString &reason)> handler);

    QString filePath() const;

private:
    struct State;
    void runWriter();
    bool synchronize(const std::function<void(const StoredValues &stored)> *change);
    // Makes `values` fit the file's limit: discardable keys go first, then changed values fall back to
    // `onDisk`; answers the encoded result.
    QByteArray fitWithinLimit(std::map<QString, PlistValue> &values,
                              const std::map<QString, PlistValue> &onDisk,
                              const std::map<QString, quint64> &changed);

    std::unique_ptr<State> state_;
};

} // namespace orvex
