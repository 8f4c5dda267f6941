#pragma once

#include "platform/PlistValue.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

// One settings pane offered as a row: the built-in table and the panes found by the scan.
struct SystemSettingsShortcut {
    QString title;
    QString subtitle;
    QString primaryURLString;
    std::optional<QString> fallbackURLString;
    QStringList keywords;

    bool operator==(const SystemSettingsShortcut &) const = default;
};

// A settings-extension bundle as the scan sees it: its folder and the dictionary of its
// "Contents/Info.plist". Bundles carry no localized dictionary on this platform.
struct SystemSettingsBundle {
    QString path;
    PlistValue::Dictionary infoDictionary;

    // Opens the folder at `path` as a bundle; nothing when it is not a folder or its Info.plist is
    // missing, unreadable or not a dictionary.
    static std::optional<SystemSettingsBundle> open(const QString &path);

    // "CFBundleIdentifier" when it is a non-empty text.
    std::optional<QString> bundleIdentifier() const;
    // A text value of the information dictionary.
    std::optional<QString> infoString(const QString &key) const;
};

} // namespace orvex
