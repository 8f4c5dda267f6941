#pragma once

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
};

} // namespace orvex
