#include "LauncherNotifications.h"

namespace orvex {

void postHotKeyRegistrationStatusChanged(bool success, NotificationCenter &center) {
    center.post(NotificationName::launcherHotKeyRegistrationStatusChanged,
                {{QString(NotificationUserInfoKey::success), success}});
}

void postResultsVisibilityChanged(bool hasResults, NotificationCenter &center) {
    center.post(NotificationName::launcherResultsVisibilityChanged,
                {{QString(NotificationUserInfoKey::hasResults), hasResults}});
}

std::optional<bool> notificationFlag(const Notification &notification, QLatin1StringView key) {
    const auto it = notification.userInfo.constFind(QString(key));
    if (it == notification.userInfo.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace orvex
