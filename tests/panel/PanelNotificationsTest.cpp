#include "panel/PanelNotifications.h"

#include <QString>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(PanelNotifications, RawNamesAreExact) {
    const std::pair<QLatin1StringView, const char *> names[] = {
        {NotificationName::launcherThemeChanged, "LauncherThemeChanged"},
        {NotificationName::launcherWindowAppeared, "WindowAppeared"},
        {NotificationName::launcherWindowHidden, "WindowHidden"},
    };
    for (const auto &[name, raw] : names)
        EXPECT_EQ(QString(name), QString::fromLatin1(raw));
}

} // namespace
} // namespace orvex
