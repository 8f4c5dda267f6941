#pragma once

#include <QString>

namespace orvex {

// Opens a settings-pane row's link with the desktop's own settings application, handing it the pane's
// argument. False when no settings application is installed, the link names no known pane, or the launch
// failed.
bool openSystemSettingsLink(const QString &link);

} // namespace orvex
