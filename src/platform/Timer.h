#pragma once

// The platform timer of the main run loop: an interval in seconds, one-shot or
// repeating, a tolerance, and an action. Built on QTimer, so it also fires while a
// menu or a modal dialog runs its own nested event loop. Main thread only.
//
// Tolerance: Qt offers no per-timer slack, only a timer type. A tolerance of at least
// 5% of the interval selects Qt::CoarseTimer (Qt keeps coarse timers within 5% of
// their interval and may align them to save wake-ups); anything smaller selects
// Qt::PreciseTimer. The tolerance itself is stored as given.
//
// Intervals are kept to whole milliseconds (QTimer's resolution); an interval below
// 1 ms, zero, negative or not a number runs as 1 ms.
#include <QTimer>
#include <functional>
#include <memory>

namespace talvex {

class Timer {
public:
    using Action = std::function<void()>;

    // A timer that is not yet scheduled; schedule() starts it.
    Timer(double interval, bool repeats, Action action);
    // A timer scheduled at once on the calling thread's event loop.
    static std::unique_ptr<Timer> scheduledTimer(double interval, bool repeats, Action action);

    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Starts counting the interval from now. Does nothing once invalidated.
    void schedule();
    // Stops the timer for good and releases its action. Safe inside the action.
    void invalidate();

    bool isValid() const { return valid_; }
    bool isScheduled() const { return timer_.isActive(); }
    bool repeats() const { return repeats_; }
    double timeInterval() const { return interval_; }
    double tolerance() const { return tolerance_; }
    void setTolerance(double tolerance);
    // A new interval; a scheduled timer counts it from now.
    void setTimeInterval(double interval);
    Qt::TimerType timerType() const { return timer_.timerType(); }

    // The timer type that a tolerance selects for an interval (see above).
    static Qt::TimerType timerTypeFor(double interval, double tolerance);

private:
    void timedOut();
    void runAction();
    void restartKeepingFireDate(Qt::TimerType type);

    double interval_;
    double tolerance_ = 0;
    bool repeats_;
    bool valid_ = true;
    // After a restart that kept the fire date, the first period is shorter than the
    // interval; the full interval is restored at that first firing.
    bool restoreIntervalOnFire_ = false;
    Action action_;
    QTimer timer_;
    // Lets a firing notice that its action destroyed the timer.
    std::shared_ptr<char> lifetime_ = std::make_shared<char>();
};

}  // namespace talvex
