// Messages through the desktop's notification service on a bus of the test's own.
#include "platform/DesktopNotifier.h"

#include "support/FakeNotificationService.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QDBusConnectionInterface>

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

// Many desktops start their notification daemon only when the first message comes (D-Bus activation):
// the message starts it and reaches it, and nothing waits for that.
TEST(DesktopNotifier, AServiceTheBusStartsOnDemandIsStartedByTheMessageAndGetsIt) {
    test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    const QString record = test::homePath() + QStringLiteral("/notifications.jsonl");
    ASSERT_TRUE(bus.addActivatableService(DesktopNotifier::serviceName,
                                          QStringLiteral(ORVEX_NOTIFICATION_SERVICE), {record}));
    const QDBusConnection connection = bus.connect(QStringLiteral("program"));
    ASSERT_FALSE(connection.interface()->isServiceRegistered(DesktopNotifier::serviceName).value())
        << "the service runs before anything asked for it";
    const DesktopNotifier notifier(QStringLiteral("Orvex Launcher"), QStringLiteral("io.orvex.launcher"),
                                   QStringLiteral("io.orvex.launcher"), connection);

    EXPECT_TRUE(notifier.notify(QStringLiteral("Hot key Control + Space is not available"),
                                QStringLiteral("another program holds it")));
    ASSERT_TRUE(test::waitUntil([&] { return test::FakeNotificationService::recorded(record).size() == 1; },
                                20s * test::slowdown))
        << "the message never reached the service";
    const test::FakeNotificationService::Message message =
        test::FakeNotificationService::recorded(record).first();
    EXPECT_EQ(message.applicationName, QStringLiteral("Orvex Launcher"));
    EXPECT_EQ(message.summary, QStringLiteral("Hot key Control + Space is not available"));
    EXPECT_EQ(message.body, QStringLiteral("another program holds it"));
    EXPECT_EQ(message.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("io.orvex.launcher"));
}

} // namespace
} // namespace orvex
