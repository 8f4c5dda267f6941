// Messages through the desktop's notification service on a bus of the test's own.
#include "platform/DesktopNotifier.h"

#include "support/FakeNotificationService.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

using namespace std::chrono_literals;

TEST(DesktopNotifier, AMessageReachesTheServiceMarkedAsTheProgramsAndNothingWaitsWithoutOne) {
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    const DesktopNotifier notifier(QStringLiteral("Orvex Launcher"), QStringLiteral("io.orvex.launcher"),
                                   QStringLiteral("io.orvex.launcher"),
                                   bus.connect(QStringLiteral("program")));

    // No service: nothing is shown, and the answer says so.
    EXPECT_FALSE(notifier.notify(QStringLiteral("Hot key not registered"), QStringLiteral("unseen")));

    test::FakeNotificationService service;
    ASSERT_TRUE(service.registerOn(bus.connect(QStringLiteral("service"))));
    EXPECT_TRUE(notifier.notify(QStringLiteral("Hot key not registered"),
                                QStringLiteral("Control + Space: another program holds it")));
    ASSERT_TRUE(test::waitUntil([&] { return service.messages.size() == 1; }, 10s));
    const test::FakeNotificationService::Message &message = service.messages.first();
    EXPECT_EQ(message.applicationName, QStringLiteral("Orvex Launcher"));
    EXPECT_EQ(message.icon, QStringLiteral("io.orvex.launcher"));
    EXPECT_EQ(message.summary, QStringLiteral("Hot key not registered"));
    EXPECT_EQ(message.body, QStringLiteral("Control + Space: another program holds it"));
    EXPECT_EQ(message.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("io.orvex.launcher"));

    // A bus that cannot be reached at all.
    const DesktopNotifier unreachable(
        QStringLiteral("Orvex Launcher"), {}, {},
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                      QStringLiteral("nowhere")));
    EXPECT_FALSE(unreachable.notify(QStringLiteral("x"), QStringLiteral("y")));
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

} // namespace
} // namespace orvex
