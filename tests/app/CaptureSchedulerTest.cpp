#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CaptureScheduler.h"

namespace talvex {
namespace {

// Records what the scheduler asks of its view, in order.
class RecordingView : public CaptureSchedulerView {
public:
    std::vector<std::string> calls;
    bool capturingDisabled = false, hidden = false, unhide = false, ignoring = false;
    int captures = 0, timers = 0;

    void setCapturingDisabled(bool v) override {
        capturingDisabled = v;
        calls.push_back(v ? "disable" : "enable");
    }
    void setUnhideOnNextDisplay(bool v) override {
        unhide = v;
        calls.push_back("unhideNext");
    }
    void setHidden(bool v) override {
        hidden = v;
        calls.push_back(v ? "hide" : "show");
    }
    void redrawCaptureAsync() override {
        ++captures;
        calls.push_back("capture");
    }
    void prepareTimer() override { ++timers; }
    bool setTimerInterval(double seconds) override {
        interval = seconds;
        return hasTimer;
    }
    bool hasTimer = true;
    double interval = 0;
    void setIgnoresMouseEvents(bool v) override { ignoring = v; }
};

TEST(CaptureScheduler, PausesAndResumesWithAFreshPictureBeforeShowing) {
    RecordingView view;
    CaptureScheduler s(view);
    s.windowWillStartLiveResizeOrMove();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"disable", "hide"}));
    view.calls.clear();
    s.windowDidEndLiveResizeOrMove();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"enable", "capture", "unhideNext"}));
    EXPECT_FALSE(view.capturingDisabled);
    EXPECT_TRUE(view.unhide);
}

TEST(CaptureScheduler, StartsAndEndsAreNotCountedAndOcclusionHoldsThePause) {
    RecordingView view;
    CaptureScheduler s(view);
    // A live resize starts, a drag starts and ends before the resize ends: the first
    // end resumes capturing.
    s.windowWillStartLiveResizeOrMove();
    s.windowWillStartLiveResizeOrMove();
    s.windowDidEndLiveResizeOrMove();
    EXPECT_FALSE(view.capturingDisabled);

    // Visible again during a resize: capturing stays off until the resize ends.
    s.windowDidChangeOcclusionState(0);
    s.windowWillStartLiveResizeOrMove();
    s.windowDidChangeOcclusionState(CaptureScheduler::occlusionStateVisible);
    EXPECT_TRUE(view.capturingDisabled);
    EXPECT_TRUE(view.hidden);
    s.windowDidEndLiveResizeOrMove();
    EXPECT_FALSE(view.capturingDisabled);

    // Resize ends while not visible: still paused, by occlusion now.
    s.windowDidChangeOcclusionState(0);
    s.windowWillStartLiveResizeOrMove();
    s.windowDidEndLiveResizeOrMove();
    EXPECT_TRUE(view.capturingDisabled);
    EXPECT_TRUE(s.occluded());

    // An occlusion change that still finds the window visible requests a capture.
    s.windowDidChangeOcclusionState(CaptureScheduler::occlusionStateVisible | 8);
    const int before = view.captures;
    s.windowDidChangeOcclusionState(CaptureScheduler::occlusionStateVisible);
    EXPECT_EQ(view.captures, before + 1);
}

TEST(CaptureScheduler, EverySettingsChangeReplacesTheTimerWithTheSpeedsInterval) {
    RecordingView view;
    CaptureScheduler s(view);
    s.updateFromDefaults(RefreshSpeed::fast, ViewArea::mousePointer);
    EXPECT_DOUBLE_EQ(s.updateInterval(), 0.02);
    EXPECT_EQ(s.viewArea(), ViewArea::mousePointer);
    s.updateFromDefaults(RefreshSpeed::fast, ViewArea::mousePointer);  // e.g. a stripe switch
    EXPECT_EQ(view.timers, 2);
    s.updateFromDefaults(RefreshSpeed::slow, ViewArea::underWindow);
    EXPECT_DOUBLE_EQ(s.updateInterval(), 0.1);
}

TEST(CaptureScheduler, RestingPointerCapturesOnEverySixthTickAMovingOneOnEach) {
    RecordingView view;
    CaptureScheduler s(view);
    const Rect bounds{0, 0, 200, 100};
    s.recaptureIfNeeded(bounds, {-5, -5}, {700, 300});  // pointer moved: captures
    EXPECT_EQ(view.captures, 1);
    for (int i = 0; i < 5; ++i)
        s.recaptureIfNeeded(bounds, {-5, -5}, {700, 300});
    EXPECT_EQ(view.captures, 1);
    s.recaptureIfNeeded(bounds, {-5, -5}, {700, 300});  // sixth resting tick
    EXPECT_EQ(view.captures, 2);
    EXPECT_EQ(s.counter(), 0);
    s.recaptureIfNeeded(bounds, {-5, -5}, {701, 300});
    s.recaptureIfNeeded(bounds, {-5, -5}, {702, 300});
    EXPECT_EQ(view.captures, 4);
}

// The timer slows to one tick per capture check while the next reason for a tick is
// announced, and each slow tick then counts as six.
TEST(CaptureScheduler, TheTimerRestsWhileTheNextReasonForATickIsAnnounced) {
    RecordingView view;
    CaptureScheduler s(view);
    s.updateFromDefaults(RefreshSpeed::fast, ViewArea::underWindow);
    s.tickDidEnd(false, {false, true});  // a capture was due: changes beneath don't count
    EXPECT_FALSE(s.restingCadence());
    s.tickDidEnd(true, {false, true});  // nothing changed, and the next change is announced
    EXPECT_TRUE(s.restingCadence());
    EXPECT_DOUBLE_EQ(view.interval, 0.12);
    EXPECT_EQ(s.ticksPerTimerTick(), 6);
    EXPECT_TRUE(s.resumeFullRate());
    EXPECT_DOUBLE_EQ(view.interval, 0.02);
    EXPECT_FALSE(s.resumeFullRate());  // already at the full rate: no extra tick

    // Around the pointer only a resting pointer counts; a hidden panel never resumes.
    s.updateFromDefaults(RefreshSpeed::fast, ViewArea::mousePointer);
    s.tickDidEnd(true, {false, true});
    EXPECT_FALSE(s.restingCadence());
    s.tickDidEnd(false, {true, false});
    EXPECT_TRUE(s.restingCadence());
    s.setOccluded(true);
    EXPECT_FALSE(s.resumeFullRate());
    s.restartTimer();  // a new timer starts at the full rate
    EXPECT_FALSE(s.restingCadence());

    view.hasTimer = false;  // without a timer nothing slows down
    s.setRestingCadence(true);
    EXPECT_EQ(s.ticksPerTimerTick(), 1);
}

TEST(CaptureScheduler, EveryTickSetsClickThroughFromThePointer) {
    RecordingView view;
    CaptureScheduler s(view);
    const Rect bounds{0, 0, 200, 100};
    s.recaptureIfNeeded(bounds, {100, 4}, {1, 1});
    EXPECT_TRUE(view.ignoring);
    s.recaptureIfNeeded(bounds, {196, 4}, {1, 1});  // a skipped tick still decides
    EXPECT_FALSE(view.ignoring);
}

// Every row of the capture switch's transition table, and assignments that leave
// `resizingOrMoving` or `occluded` as they were: each runs the state update again.
TEST(CaptureScheduler, EveryTransitionOfTheCaptureSwitchAndUnchangedAssignmentsAct) {
    using Calls = std::vector<std::string>;
    const Calls pause{"disable", "hide"};
    const Calls resume{"enable", "capture", "unhideNext"};
    constexpr unsigned visible = CaptureScheduler::occlusionStateVisible;
    enum From { live, movement, occlusion };
    struct Row {
        From from;
        void (*event)(CaptureScheduler&);
        Calls expected;
    };
    const Row rows[] = {
        {live, [](CaptureScheduler& s) { s.windowWillStartLiveResizeOrMove(); }, pause},
        {live, [](CaptureScheduler& s) { s.windowDidChangeOcclusionState(0); }, pause},
        {movement, [](CaptureScheduler& s) { s.windowDidEndLiveResizeOrMove(); }, resume},
        {movement, [](CaptureScheduler& s) { s.windowDidChangeOcclusionState(0); }, pause},
        {movement, [](CaptureScheduler& s) { s.windowDidChangeOcclusionState(visible); }, pause},
        {occlusion, [](CaptureScheduler& s) { s.windowDidChangeOcclusionState(visible); }, resume},
        {occlusion, [](CaptureScheduler& s) { s.windowWillStartLiveResizeOrMove(); }, pause},
        {occlusion, [](CaptureScheduler& s) { s.windowDidEndLiveResizeOrMove(); }, pause},
        {live, [](CaptureScheduler& s) { s.windowDidChangeOcclusionState(visible); }, resume},
        {live, [](CaptureScheduler& s) { s.setResizingOrMoving(false); }, resume},
        {live, [](CaptureScheduler& s) { s.setOccluded(false); }, resume},
        {movement, [](CaptureScheduler& s) { s.setResizingOrMoving(true); }, pause},
    };
    for (std::size_t n = 0; n < std::size(rows); ++n) {
        RecordingView view;
        CaptureScheduler s(view);
        if (rows[n].from == movement)
            s.windowWillStartLiveResizeOrMove();
        if (rows[n].from == occlusion)
            s.windowDidChangeOcclusionState(0);
        view.calls.clear();
        rows[n].event(s);
        EXPECT_EQ(view.calls, rows[n].expected) << "row " << n;
        EXPECT_EQ(view.capturingDisabled, rows[n].expected == pause) << "row " << n;
    }
}

}  // namespace
}  // namespace talvex
