#include "UserDefaults.h"

#include <QDir>
#include <QStandardPaths>

#include <map>
#include <mutex>

namespace orvex {

struct UserDefaults::State {
    QString filePath;
    mutable std::mutex mutex;
    std::map<QString, PlistValue> values;
};

UserDefaults::UserDefaults() : state_(std::make_unique<State>()) {}

UserDefaults::UserDefaults(const QString &filePath) : state_(std::make_unique<State>()) {
    state_->filePath = filePath;
}

UserDefaults::~UserDefaults() = default;

UserDefaults &UserDefaults::standard() {
    static UserDefaults defaults(standardFilePath());
    return defaults;
}

QString UserDefaults::standardFilePath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
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

void UserDefaults::set(const QString &key, PlistValue value) {
    std::lock_guard lock(state_->mutex);
    state_->values.insert_or_assign(key, std::move(value));
}

void UserDefaults::remove(const QString &key) {
    std::lock_guard lock(state_->mutex);
    state_->values.erase(key);
}

bool UserDefaults::flush() { return true; }

QString UserDefaults::filePath() const { return state_->filePath; }

} // namespace orvex
