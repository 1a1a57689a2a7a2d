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

void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

TEST(Timer, OneShotFiresOnceAfterItsIntervalThenIsInvalid) {
    int fired = 0;
    QElapsedTimer clock;
    qint64 firedAfter = -1;
    auto timer = Timer::scheduledTimer(0.05, false, [&] {
        ++fired;
        firedAfter = clock.elapsed();
    });
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return fired > 0; }, 2000));
    spin(150);
    EXPECT_EQ(fired, 1);
    EXPECT_GE(firedAfter, 45);
    EXPECT_FALSE(timer->isValid());
    timer->schedule();  // an invalid timer does not start again
    EXPECT_FALSE(timer->isScheduled());

    // Intervals that are no time at all still fire, once.
    Timer negative(-1.0, false, [&] { ++fired; });
    Timer notANumber(std::nan(""), false, [&] { ++fired; });
    negative.schedule();
    notANumber.schedule();
    EXPECT_TRUE(waitUntil([&] { return fired == 3; }, 2000));
}

TEST(Timer, RepeatingTimerRunsFromScheduleUntilInvalidateAndThenReleasesItsAction) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    int fired = 0;
    Timer timer(0.01, true, [&fired, token] { ++fired; });
    token.reset();
    spin(60);
    EXPECT_EQ(fired, 0) << "fired before it was scheduled";
    timer.schedule();
    ASSERT_TRUE(waitUntil([&] { return fired >= 3; }, 2000));
    timer.invalidate();
    const int atInvalidate = fired;
    spin(60);
    EXPECT_EQ(fired, atInvalidate);
    EXPECT_FALSE(timer.isValid());
    EXPECT_TRUE(watch.expired());
}

TEST(Timer, ActionMayInvalidateOrDestroyItsOwnTimer) {
    int fired = 0;
    std::unique_ptr<Timer> repeating;
    repeating = Timer::scheduledTimer(0.01, true, [&] {
        ++fired;
        repeating->invalidate();
    });
    ASSERT_TRUE(waitUntil([&] { return fired > 0; }, 2000));
    spin(50);
    EXPECT_EQ(fired, 1);

    bool destroyed = false;
    std::unique_ptr<Timer> doomed;
    doomed = Timer::scheduledTimer(0.01, false, [&] {
        doomed.reset();
        destroyed = true;
    });
    EXPECT_TRUE(waitUntil([&] { return destroyed; }, 2000));
}

// Qt takes a timer type only at start, so a tolerance set on a running timer restarts
// it: the next firing must stay where it was, the later ones a full interval apart.
TEST(Timer, ToleranceSelectsCoarseTimerAndKeepsTheFireDateOfARunningTimer) {
    EXPECT_EQ(Timer::timerTypeFor(0.02, 0.002), Qt::CoarseTimer);
    EXPECT_EQ(Timer::timerTypeFor(0.2, 0.005), Qt::PreciseTimer);
    EXPECT_EQ(Timer::timerTypeFor(0.2, 0.0), Qt::PreciseTimer);

    std::vector<qint64> firings;
    QElapsedTimer clock;
    Timer timer(0.3, true, [&] { firings.push_back(clock.elapsed()); });
    clock.start();
    timer.schedule();
    spin(150);
    timer.setTolerance(0.03);
    EXPECT_DOUBLE_EQ(timer.tolerance(), 0.03);
    EXPECT_EQ(timer.timerType(), Qt::CoarseTimer);
    ASSERT_TRUE(waitUntil([&] { return firings.size() >= 2; }, 3000));
    EXPECT_LT(firings[0], 450);  // not 150 + 300
    EXPECT_GE(firings[1] - firings[0], 250);
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
    QTimer::singleShot(3000, &menu, &QMenu::close);
    menu.exec(QPoint(10, 10));
    EXPECT_GE(ticksInMenu, 3);
}

}  // namespace
}  // namespace talvex
