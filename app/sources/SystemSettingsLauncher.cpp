#include "sources/SystemSettingsLauncher.h"

namespace orvex {

bool openSystemSettingsLink(const QString &link) {
    Q_UNUSED(link);
    return false;
}

} // namespace orvex
