#pragma once

#include "PlistValue.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace orvex {

// The defaults database: a key-value store of property-list values that survives restarts.
// Writes land in memory at once and reach the backing file atomically within a second, on flush()
// and at destruction. Safe to use from any thread.
class UserDefaults {
public:
    // Memory only: nothing is read or written on disk.
    UserDefaults();
    // Backed by the XML property-list file at `filePath` (created on first write, mode 0600).
    explicit UserDefaults(const QString &filePath);
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

    void set(const QString &key, PlistValue value);
    void remove(const QString &key);

    // Writes pending changes now. False when the file could not be written (the changes stay pending).
    bool flush();

    QString filePath() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace orvex
