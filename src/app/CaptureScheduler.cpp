#include "app/CaptureScheduler.h"

#include "app/CaptureGeometry.h"

namespace talvex {

void CaptureScheduler::setUpdateInterval(double seconds) {
    updateInterval_ = seconds;
    restartTimer();
}

void CaptureScheduler::restartTimer() {
    restingCadence_ = false;
    view_.prepareTimer();
}

void CaptureScheduler::setRestingCadence(bool resting) {
    if (resting == restingCadence_)
        return;
    const double interval = updateInterval_ * double(resting ? maxSkippedTicks + 1 : 1);
    if (view_.setTimerInterval(interval))
        restingCadence_ = resting;
}

void CaptureScheduler::tickDidEnd(bool tickFoundNothing, Announcements announced) {
    setRestingCadence(
        announced.pointerMotion ||
        (tickFoundNothing && viewArea_ == ViewArea::underWindow && announced.areaChanges));
}

bool CaptureScheduler::resumeFullRate() {
    if (!restingCadence_ || occluded_)
        return false;
    setRestingCadence(false);
    return true;
}

void CaptureScheduler::setResizingOrMoving(bool value) {
    resizingOrMoving_ = value;
    updateCapturingState();
}

void CaptureScheduler::setOccluded(bool value) {
    occluded_ = value;
    updateCapturingState();
}

void CaptureScheduler::setHeld(bool value) {
    held_ = value;
    updateCapturingState();
}

void CaptureScheduler::updateFromDefaults(RefreshSpeed speed, ViewArea area) {
    setUpdateInterval(refreshInterval(speed));
    viewArea_ = area;
}

void CaptureScheduler::updateCapturingState() {
    if (held_) {
        view_.setCapturingDisabled(true);
        view_.setHidden(false);
        return;
    }
    if (resizingOrMoving_ || occluded_) {
        view_.setCapturingDisabled(true);
        view_.setHidden(true);
        return;
    }
    // The view stays hidden until a fresh picture has been shown: never a stale one.
    view_.setCapturingDisabled(false);
    view_.redrawCaptureAsync();
    view_.setUnhideOnNextDisplay(true);
}

void CaptureScheduler::recaptureIfNeeded(const Rect& bounds, Point pointerInView,
                                         Point pointerOnRoot, std::int64_t ticks) {
    view_.setIgnoresMouseEvents(capture::ignoresMouseEvents(bounds, pointerInView));
    if (held_)
        return;
    counter_ += ticks;
    if (counter_ <= maxSkippedTicks && pointerOnRoot == lastMouseLocation_)
        return;
    counter_ = 0;
    lastMouseLocation_ = pointerOnRoot;
    view_.redrawCaptureAsync();
}

}  // namespace talvex
