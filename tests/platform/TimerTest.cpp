#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>
#include <cmath>
#include <memory>
#include <vector>

#include "support/TestEnvironment.h"

namespace talvex {
namespace {

using test::waitUntil;

TEST(Timer, OneShotFiresOnceAfterItsIntervalThenIsInvalid) {
    int fired = 0;
    QElapsedTimer clock;
    qint64 firedAfter = -1;
    auto timer = Timer::scheduledTimer(0.05, false, [&] {
        ++fired;
        firedAfter = clock.elapsed();
    });
    clock.start();
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(timer->isScheduled());

    ASSERT_TRUE(waitUntil([&] { return fired > 0; }, 2000));
    waitUntil([] { return false; }, 150);  // give a second firing the chance to happen
    EXPECT_EQ(fired, 1);
    EXPECT_GE(firedAfter, 45);
    EXPECT_FALSE(timer->isValid());
    EXPECT_FALSE(timer->isScheduled());
    timer->schedule();  // an invalid timer cannot be started again
    EXPECT_FALSE(timer->isScheduled());
}

TEST(Timer, UnscheduledTimerWaitsForSchedule) {
    int fired = 0;
    Timer timer(0.01, true, [&] { ++fired; });
    waitUntil([] { return false; }, 60);
    EXPECT_EQ(fired, 0);
    timer.schedule();
    EXPECT_TRUE(waitUntil([&] { return fired >= 3; }, 2000));
}

TEST(Timer, InvalidateStopsRepeatingTimerAndReleasesAction) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    int fired = 0;
    Timer timer(0.01, true, [&fired, token] { ++fired; });
    token.reset();
    timer.schedule();
    ASSERT_TRUE(waitUntil([&] { return fired >= 2; }, 2000));
    timer.invalidate();
    const int atInvalidate = fired;
    waitUntil([] { return false; }, 60);
    EXPECT_EQ(fired, atInvalidate);
    EXPECT_FALSE(timer.isValid());
    EXPECT_TRUE(watch.expired());
}

TEST(Timer, ActionMayInvalidateOrDestroyItsOwnTimer) {
    int fired = 0;
    std::unique_ptr<Timer> repeating;
    repeating = std::make_unique<Timer>(0.01, true, [&] {
        ++fired;
        repeating->invalidate();
    });
    repeating->schedule();
    ASSERT_TRUE(waitUntil([&] { return fired > 0; }, 2000));
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 1);

    bool destroyed = false;
    std::unique_ptr<Timer> doomed;
    doomed = Timer::scheduledTimer(0.01, false, [&] {
        doomed.reset();
        destroyed = true;
    });
    EXPECT_TRUE(waitUntil([&] { return destroyed; }, 2000));
    EXPECT_EQ(doomed, nullptr);
}

TEST(Timer, FireRunsActionNowAndEndsOnlyOneShotTimers) {
    int fired = 0;
    Timer repeating(10.0, true, [&] { ++fired; });
    repeating.schedule();
    repeating.fire();
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(repeating.isValid());
    EXPECT_TRUE(repeating.isScheduled());

    Timer oneShot(10.0, false, [&] { ++fired; });
    oneShot.schedule();
    oneShot.fire();
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(oneShot.isValid());
    EXPECT_FALSE(oneShot.isScheduled());
}

TEST(Timer, ToleranceOfAtLeastFivePercentSelectsCoarseTimer) {
    EXPECT_EQ(Timer::timerTypeFor(0.02, 0.002), Qt::CoarseTimer);
    EXPECT_EQ(Timer::timerTypeFor(0.1, 0.01), Qt::CoarseTimer);
    EXPECT_EQ(Timer::timerTypeFor(0.2, 0.0), Qt::PreciseTimer);
    EXPECT_EQ(Timer::timerTypeFor(0.2, 0.005), Qt::PreciseTimer);

    Timer timer(0.05, true, [] {});
    EXPECT_EQ(timer.timerType(), Qt::PreciseTimer);
    timer.setTolerance(0.005);
    EXPECT_DOUBLE_EQ(timer.tolerance(), 0.005);
    EXPECT_EQ(timer.timerType(), Qt::CoarseTimer);
    timer.setTolerance(-1);
    EXPECT_DOUBLE_EQ(timer.tolerance(), 0.0);
    EXPECT_EQ(timer.timerType(), Qt::PreciseTimer);
}

// Changing the timer type restarts the QTimer; the next firing must stay where it was,
// and the firings after it must return to the full interval.
TEST(Timer, ToleranceSetWhileScheduledKeepsFireDateAndInterval) {
    std::vector<qint64> firings;
    QElapsedTimer clock;
    Timer timer(0.3, true, [&] { firings.push_back(clock.elapsed()); });
    clock.start();
    timer.schedule();
    waitUntil([] { return false; }, 150);
    timer.setTolerance(0.03);
    EXPECT_EQ(timer.timerType(), Qt::CoarseTimer);
    ASSERT_TRUE(waitUntil([&] { return firings.size() >= 2; }, 3000));
    EXPECT_LT(firings[0], 450);  // not 150 + 300
    EXPECT_GE(firings[1] - firings[0], 250);
    EXPECT_TRUE(timer.isScheduled());
}

TEST(Timer, OddIntervalsRunAsOneMillisecond) {
    int fired = 0;
    Timer negative(-1.0, false, [&] { ++fired; });
    Timer notANumber(std::nan(""), false, [&] { ++fired; });
    negative.schedule();
    notANumber.schedule();
    EXPECT_TRUE(waitUntil([&] { return fired == 2; }, 2000));
}

// Menus run a nested event loop; the refresh timer must keep ticking meanwhile.
TEST(Timer, FiresWhileMenuRunsNestedEventLoop) {
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    int ticksInMenu = 0;
    Timer timer(0.01, true, [&] {
        if (menu.isVisible())
            ++ticksInMenu;
        if (ticksInMenu >= 3)
            menu.close();
    });
    timer.schedule();
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, &menu, &QMenu::close);
    safety.start(3000);
    menu.exec(QPoint(10, 10));
    EXPECT_GE(ticksInMenu, 3);
}

}  // namespace
}  // namespace talvex
