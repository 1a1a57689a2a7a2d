#include "platform/Timer.h"

#include <chrono>
#include <climits>
#include <cmath>

namespace talvex {

namespace {

// Qt's documented accuracy of a coarse timer, as a fraction of its interval.
constexpr double coarseTimerSlack = 0.05;

int millisecondsFor(double seconds) {
    if (!(seconds * 1000.0 >= 1.0))
        return 1;  // also catches NaN
    if (seconds * 1000.0 >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(std::lround(seconds * 1000.0));
}

}  // namespace

Timer::Timer(double interval, bool repeats, Action action)
    : interval_(interval), repeats_(repeats), action_(std::move(action)) {
    timer_.setSingleShot(!repeats_);
    timer_.setInterval(millisecondsFor(interval_));
    timer_.setTimerType(timerTypeFor(interval_, tolerance_));
    QObject::connect(&timer_, &QTimer::timeout, [this] { timedOut(); });
}

std::unique_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Action action) {
    auto timer = std::make_unique<Timer>(interval, repeats, std::move(action));
    timer->schedule();
    return timer;
}

Timer::~Timer() {
    timer_.stop();
}

Qt::TimerType Timer::timerTypeFor(double interval, double tolerance) {
    return tolerance >= interval * coarseTimerSlack && tolerance > 0 ? Qt::CoarseTimer
                                                                     : Qt::PreciseTimer;
}

void Timer::schedule() {
    if (!valid_)
        return;
    restoreIntervalOnFire_ = false;
    timer_.start(millisecondsFor(interval_));
}

void Timer::invalidate() {
    valid_ = false;
    restoreIntervalOnFire_ = false;
    timer_.stop();
    action_ = nullptr;
}

void Timer::setTolerance(double tolerance) {
    tolerance_ = tolerance > 0 ? tolerance : 0;
    const Qt::TimerType type = timerTypeFor(interval_, tolerance_);
    if (type == timer_.timerType())
        return;
    if (timer_.isActive()) {
        restartKeepingFireDate(type);
    } else {
        timer_.setTimerType(type);
    }
}

void Timer::setTimeInterval(double interval) {
    interval_ = interval;
    restoreIntervalOnFire_ = false;
    timer_.setTimerType(timerTypeFor(interval_, tolerance_));
    if (timer_.isActive())
        timer_.start(millisecondsFor(interval_));
    else
        timer_.setInterval(millisecondsFor(interval_));
}

// QTimer takes a new type only at start: restart it so that it still fires when it
// would have, then return to the full interval from that firing on.
void Timer::restartKeepingFireDate(Qt::TimerType type) {
    const int remaining = timer_.remainingTime();
    timer_.stop();
    timer_.setTimerType(type);
    timer_.start(remaining > 0 ? remaining : 0);
    restoreIntervalOnFire_ = true;
}

void Timer::timedOut() {
    if (restoreIntervalOnFire_) {
        restoreIntervalOnFire_ = false;
        if (repeats_)
            timer_.start(millisecondsFor(interval_));
    }
    runAction();
}

void Timer::runAction() {
    // The action may invalidate or destroy this timer: run a copy, and touch no member
    // afterwards unless the timer still exists.
    std::weak_ptr<char> alive = lifetime_;
    Action action = action_;
    if (!repeats_)
        valid_ = false;
    if (action)
        action();
    if (alive.expired())
        return;
    if (!repeats_)
        action_ = nullptr;
}

}  // namespace talvex
