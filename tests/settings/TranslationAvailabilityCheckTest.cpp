// The engines' availability for the settings window: Argos's check (an interpreter start) runs on a
// worker, once, and the window hears when it has answered.
#include "settings/TranslationAvailabilityCheck.h"

#include "support/TestEnvironment.h"

#include <QSemaphore>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace orvex {
namespace {

// An Argos check that waits at a gate, or until it is stopped, and records where it ran.
struct GatedArgosCheck {
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
    std::shared_ptr<std::atomic<int>> runs = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> stopped = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<QThread *>> thread = std::make_shared<std::atomic<QThread *>>(nullptr);

    TranslationAvailabilityCheck::ArgosCheck check() const {
        return [gate = gate, runs = runs, stopped = stopped,
                thread = thread](std::stop_token stop) -> std::optional<TranslationEngineAvailability> {
            ++*runs;
            *thread = QThread::currentThread();
            while (!gate->tryAcquire(1, 5))
                if (stop.stop_requested()) {
                    ++*stopped;
                    return std::nullopt;
                }
            return TranslationEngineAvailability{true, QStringLiteral("Ready (python3).")};
        };
    }
};

TranslationEngineAvailability apple() {
    return {false, QStringLiteral("Unavailable on Linux; Apple Translation runs only on macOS.")};
}

TEST(TranslationAvailabilityCheck, ArgosIsCheckedOnceOffTheGuiThreadAndTheTableFollowsItsAnswer) {
    GatedArgosCheck argos;
    TranslationAvailabilityCheck check(&apple, argos.check());
    int changes = 0;
    QObject::connect(&check, &TranslationAvailabilityCheck::changed, [&] { ++changes; });

    // Asked while the check is held at its gate: the table comes at once.
    const TranslationEngineAvailabilityTable pending = check.table();
    EXPECT_EQ(pending.value(TranslationEngineID::apple), apple());
    EXPECT_EQ(pending.value(TranslationEngineID::argos),
              (TranslationEngineAvailability{true, TranslationAvailabilityCheck::checkingMessage}));
    check.table();
    ASSERT_TRUE(test::waitUntil([&] { return *argos.runs == 1; }));
    EXPECT_NE(argos.thread->load(), QThread::currentThread());
    EXPECT_FALSE(check.isArgosKnown());
    EXPECT_EQ(changes, 0);

    argos.gate->release();
    ASSERT_TRUE(test::waitUntil([&] { return changes == 1; }));
    EXPECT_TRUE(check.isArgosKnown());
    EXPECT_EQ(check.table().value(TranslationEngineID::argos),
              (TranslationEngineAvailability{true, QStringLiteral("Ready (python3).")}));
    EXPECT_EQ(*argos.runs, 1);
}

TEST(TranslationAvailabilityCheck, AnAnswerAfterItsCheckIsGoneReachesNothing) {
    GatedArgosCheck argos;
    auto check = std::make_unique<TranslationAvailabilityCheck>(&apple, argos.check());
    check->table();
    ASSERT_TRUE(test::waitUntil([&] { return *argos.runs == 1; }));
    check.reset();
    argos.gate->release();
    // The answer's hand-over runs and finds no one.
    test::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(*argos.runs, 1);
}

// The window or the launcher goes while the interpreter is still being asked: the check stops at once,
// says nothing, and the next window that asks checks again. Destroying the check stops its run too.
TEST(TranslationAvailabilityCheck, AStoppedCheckAnswersNothingAndTheNextAskingChecksAgain) {
    GatedArgosCheck argos;
    auto check = std::make_unique<TranslationAvailabilityCheck>(&apple, argos.check());
    int changes = 0;
    QObject::connect(check.get(), &TranslationAvailabilityCheck::changed, [&] { ++changes; });
    check->table();
    ASSERT_TRUE(test::waitUntil([&] { return *argos.runs == 1; }));

    check->cancel();
    ASSERT_TRUE(test::waitUntil([&] { return *argos.stopped == 1; })) << "the running check goes on";
    EXPECT_FALSE(check->isArgosBeingChecked());
    EXPECT_FALSE(check->isArgosKnown());
    EXPECT_EQ(check->table().value(TranslationEngineID::argos),
              (TranslationEngineAvailability{true, TranslationAvailabilityCheck::checkingMessage}));
    ASSERT_TRUE(test::waitUntil([&] { return *argos.runs == 2; })) << "asked again, nothing checks";
    EXPECT_EQ(changes, 0);

    check.reset();
    EXPECT_TRUE(test::waitUntil([&] { return *argos.stopped == 2; })) << "a destroyed check's run goes on";
    EXPECT_EQ(changes, 0);
}

// Each window that shows the answer observes the check; the run stops only when the last of them goes.
TEST(TranslationAvailabilityCheck, TheCheckStopsWhenTheLastWindowWaitingForItGoes) {
    GatedArgosCheck argos;
    TranslationAvailabilityCheck check(&apple, argos.check());
    auto first = std::make_unique<QObject>();
    auto second = std::make_unique<QObject>();
    int redrawn = 0;
    check.observe(first.get(), [&] { ++redrawn; });
    check.observe(second.get(), [&] { ++redrawn; });
    check.table();
    ASSERT_TRUE(test::waitUntil([&] { return *argos.runs == 1; }));

    first.reset();
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(*argos.stopped, 0) << "stopped while a window still waits for it";
    EXPECT_TRUE(check.isArgosBeingChecked());

    second.reset();
    EXPECT_TRUE(test::waitUntil([&] { return *argos.stopped == 1; }))
        << "nobody waits, and the check runs on";
    EXPECT_FALSE(check.isArgosBeingChecked());
    EXPECT_EQ(redrawn, 0);
}

} // namespace
} // namespace orvex
