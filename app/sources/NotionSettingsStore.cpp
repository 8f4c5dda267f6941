#include "sources/NotionSettingsStore.h"

#include "platform/StringUtils.h"
#include "platform/UserDefaults.h"

namespace orvex {

namespace {

// A stored switch of another type reads the way the defaults database's Boolean reading does: numbers
// by being non-zero, texts by a leading Y, T or non-zero digit, everything else as false.
bool booleanReading(const PlistValue &value) {
    if (const auto flag = value.toBool())
        return *flag;
    if (const auto integer = value.toInteger())
        return *integer != 0;
    if (const auto real = value.toReal())
        return *real != 0;
    if (const auto text = value.toString()) {
        QString t = StringUtils::trimmedWhitespaceAndNewlines(*text);
        if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')))
            t.remove(0, 1);
        while (t.startsWith(QLatin1Char('0')))
            t.remove(0, 1);
        if (t.isEmpty())
            return false;
        const QChar first = t.front();
        return QStringLiteral("YyTt123456789").contains(first);
    }
    return false;
}

} // namespace

const NotionSettingsStore &NotionSettingsStore::standard() {
    static const NotionSettingsStore store = withDefaults(UserDefaults::standard());
    return store;
}

NotionSettingsStore NotionSettingsStore::withDefaults(UserDefaults &defaults) {
    return NotionSettingsStore{.defaults = &defaults,
                               .tokenKey = QStringLiteral("notionIntegrationToken"),
                               .enabledKey = QStringLiteral("notionSearchEnabled")};
}

bool NotionSettingsStore::loadEnabled() const {
    if (const auto stored = defaults->value(enabledKey))
        return booleanReading(*stored);
    return hasToken();
}

bool NotionSettingsStore::hasToken() const {
    return !trimmedToken().isEmpty();
}

QString NotionSettingsStore::trimmedToken() const {
    return StringUtils::trimmedWhitespaceAndNewlines(defaults->stringValue(tokenKey).value_or(QString()));
}

} // namespace orvex
