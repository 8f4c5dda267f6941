// The environment kept at start-up, before the process sets variables for itself.
#include "platform/StartupEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace orvex {
namespace {

bool holds(const QByteArrayList &environment, const QByteArray &entry) {
    return environment.contains(entry);
}

bool names(const QByteArrayList &environment, const QByteArray &name) {
    return std::any_of(environment.cbegin(), environment.cend(),
                       [&](const QByteArray &entry) { return entry.startsWith(name + '='); });
}

// What the process later sets for itself stays its own; what it was started with is kept, except the
// notice of its own start.
TEST(StartupEnvironment, KeepsTheEnvironmentOfTheFirstCaptureWithoutTheProcesssOwnStartNotice) {
    ::setenv("ORVEX_GIVEN", "by the desktop", 1);
    ::setenv("DESKTOP_STARTUP_ID", "launcher-start_TIME1", 1);
    ::setenv("XDG_ACTIVATION_TOKEN", "token-of-the-launcher", 1);
    ::unsetenv("ORVEX_OWN");
    EXPECT_TRUE(holds(StartupEnvironment::environment(), "ORVEX_GIVEN=by the desktop"))
        << "before a capture: the current environment";

    StartupEnvironment::capture();
    ::setenv("ORVEX_OWN", "xcb", 1);
    ::setenv("ORVEX_GIVEN", "changed by the process", 1);
    StartupEnvironment::capture();

    const QByteArrayList kept = StartupEnvironment::environment();
    EXPECT_TRUE(holds(kept, "ORVEX_GIVEN=by the desktop"));
    EXPECT_FALSE(names(kept, "ORVEX_OWN"));
    EXPECT_FALSE(names(kept, "DESKTOP_STARTUP_ID"));
    EXPECT_FALSE(names(kept, "XDG_ACTIVATION_TOKEN"));
    EXPECT_TRUE(holds(kept, "HOME=" + qgetenv("HOME")));
    for (const char *name : {"ORVEX_GIVEN", "ORVEX_OWN", "DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"})
        ::unsetenv(name);
}

} // namespace
} // namespace orvex
