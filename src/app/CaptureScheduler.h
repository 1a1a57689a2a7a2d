#pragma once

// When the lens captures: the refresh interval, the pause switch (live resize, move or
// drag of the panel, or the panel not visible), the tick with its skip rule, the
// click-through decision and the timer's resting cadence. Plain C++ on the main thread;
// the view it schedules for is reached through CaptureSchedulerView, so the rules run
// without a display.
//
// Properties with a follow-up run it after every assignment, even when the value does
// not change: updateInterval -> prepareTimer, resizingOrMoving and occluded ->
// updateCapturingState.
#include <cstdint>

#include "platform/Geometry.h"
#include "settings/Settings.h"

namespace talvex {

// What the scheduler asks of the view it drives.
class CaptureSchedulerView {
public:
    virtual ~CaptureSchedulerView() = default;
    virtual void setCapturingDisabled(bool disabled) = 0;
    virtual void setUnhideOnNextDisplay(bool unhide) = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual void redrawCaptureAsync() = 0;
    // Replaces the refresh timer with one at tickInterval().
    virtual void prepareTimer() = 0;
    // Lets the running timer tick every `seconds`; false when no timer runs.
    virtual bool setTimerInterval(double seconds) = 0;
    virtual void setIgnoresMouseEvents(bool ignore) = 0;
};

class CaptureScheduler {
public:
    // Bit of a window's occlusion state that is set while any part of it is visible.
    static constexpr std::uint64_t occlusionStateVisible = 2;
    // A resting pointer captures on every sixth tick.
    static constexpr std::int64_t maxSkippedTicks = 5;

    explicit CaptureScheduler(CaptureSchedulerView& view) : view_(view) {}

    double updateInterval() const { return updateInterval_; }
    void setUpdateInterval(double seconds);
    bool resizingOrMoving() const { return resizingOrMoving_; }
    void setResizingOrMoving(bool value);
    bool occluded() const { return occluded_; }
    void setOccluded(bool value);
    // A held picture stays on screen as it is, also through drags, resizes and
    // covering; ticks only keep click-through up to date, and nothing is captured
    // until it is let go, which captures afresh.
    bool held() const { return held_; }
    void setHeld(bool value);
    ViewArea viewArea() const { return viewArea_; }
    std::int64_t counter() const { return counter_; }

    // Re-reads speed and view area: the interval is assigned (and the timer replaced)
    // even when it has not changed.
    void updateFromDefaults(RefreshSpeed speed, ViewArea area);
    // A new timer at the full rate (the view's window changed).
    void restartTimer();

    // The resting cadence: the timer ticks once per capture check (every sixth tick)
    // while whatever could make the ticks between useful is announced. Each of its ticks
    // then stands for ticksPerTimerTick() ticks of the refresh speed.
    bool restingCadence() const { return restingCadence_; }
    std::int64_t ticksPerTimerTick() const { return restingCadence_ ? maxSkippedTicks + 1 : 1; }
    double tickInterval() const { return updateInterval_ * double(ticksPerTimerTick()); }
    // Changes the running timer's interval; nothing without a timer.
    void setRestingCadence(bool resting);
    // What the desktop will announce by itself, as found at the end of a tick: the
    // pointer's next motion (it rests), the next change beneath the last capture.
    struct Announcements {
        bool pointerMotion = false;
        bool areaChanges = false;
    };
    // After a tick: slow while the next reason for a tick is announced: the pointer's
    // next motion, once it rests; or, under the window (where the pointer's place decides
    // nothing but click-through), the next change beneath, once a tick found nothing
    // changed, also while the pointer moves.
    void tickDidEnd(bool tickFoundNothing, Announcements announced);
    // Something the slow ticks were waiting for happened: true when a tick is due now
    // (the full rate is back); false while the timer ticks at its full rate anyway or
    // the panel cannot be seen.
    bool resumeFullRate();

    void updateCapturingState();
    void windowWillStartLiveResizeOrMove() { setResizingOrMoving(true); }
    void windowDidEndLiveResizeOrMove() { setResizingOrMoving(false); }
    void windowDidChangeOcclusionState(std::uint64_t occlusionState) {
        setOccluded((occlusionState & occlusionStateVisible) == 0);
    }

    // One tick of the refresh timer. `bounds` and `pointerInView` are in view
    // coordinates, `pointerOnRoot` in root pixels. The pointer location of
    // every tick that captures is kept, so a moving pointer captures at once and a
    // resting one on every sixth tick. A timer slowed down while the pointer rests
    // counts each of its ticks as `ticks`.
    void recaptureIfNeeded(const Rect& bounds, Point pointerInView, Point pointerOnRoot,
                           std::int64_t ticks = 1);

private:
    CaptureSchedulerView& view_;
    double updateInterval_ = 0.05;
    bool resizingOrMoving_ = false;
    bool occluded_ = false;
    bool held_ = false;
    bool restingCadence_ = false;
    ViewArea viewArea_ = ViewArea::underWindow;
    std::int64_t counter_ = 0;
    Point lastMouseLocation_{0, 0};
};

}  // namespace talvex
