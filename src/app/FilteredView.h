#pragma once

// The live lens: a pixel buffer view that shows, many times a second, what lies on
// screen beneath its panel (or around the pointer), drawn through the stripe filter.
//
// When to capture is decided by a CaptureScheduler (refresh timer ticks, window moves,
// the pause switch while the panel is resized, dragged or not visible); this class is
// the scheduler's view: it owns the timer, the window observations and the capture.
//
// One capture: on the main thread the request is checked (window, window number,
// capture in flight, capturing disabled), the area is worked out in global display
// coordinates, a request that finds nothing changed beneath ends there, and otherwise
// `capturing` is set and a work item on the global queue then asks the window
// server for the image below the panel's own window and hands it to the renderer on
// that thread. The work item holds the renderer through a shared pointer and the view
// only through a QPointer used on the main thread, so a view that goes away meanwhile
// is never touched. `capturing` is cleared when the work item ends, on every path.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/CaptureScheduler.h"
#include "platform/Geometry.h"
#include "platform/Rgb.h"
#include "platform/x11/XWindowId.h"
#include "render/OpenGLPixelBufferView.h"
#include "settings/LensSettings.h"
#include "settings/Settings.h"

class QShortcut;

namespace talvex {

class CapturedImage;
class Timer;

class FilteredView : public OpenGLPixelBufferView, public CaptureSchedulerView {
    Q_OBJECT

public:
    // Produces the image of everything on screen below window `windowId` within a
    // rectangle in global display points, at `scale` device pixels per point; none when
    // there is no image. Runs on the capture thread.
    using ImageSource = std::function<std::unique_ptr<CapturedImage>(
        Rect globalRect, XWindowId windowId, double scale)>;

    // True when nothing beneath can have changed since the last capture of the same
    // rectangle below the same window at the same scale. Asked on the main thread before
    // a capture is handed over (safe on any thread).
    using ChangeProbe = std::function<bool(Rect globalRect, XWindowId windowId, double scale)>;

    // What the captures of one view have done, shared with their work items.
    struct CaptureHistory {
        std::atomic<std::int64_t> lastCaptureMs{0};  // steady clock
        std::atomic<std::uint64_t> captures{0};
        std::atomic<std::uint64_t> skipped{0};  // nothing beneath had changed
    };

    // Everything one capture needs, owned by its work item.
    struct CaptureRequest {
        std::shared_ptr<PixelBufferRenderer> renderer;
        QPointer<FilteredView> view;  // dereferenced on the main thread only
        ImageSource imageSource;
        ChangeProbe unchanged;  // none: always capture
        std::shared_ptr<CaptureHistory> history;
        Rect rect;  // global display coordinates
        XWindowId windowId = 0;
        double backingScaleFactor = 1;
        std::uint64_t pausesBegun = 0;  // the renderer's count when it was asked for
        int magnification = 1;          // the picture is drawn this many times larger
    };

    explicit FilteredView(QWidget* parent = nullptr);
    ~FilteredView() override;

    // A new stripe filter on every call; the view creates its own on first use.
    static std::unique_ptr<OpenGLShaderFilter> makeFilter();

    // Scheduling state (see CaptureScheduler).
    double updateInterval() const { return scheduler_.updateInterval(); }
    void setUpdateInterval(double seconds) { scheduler_.setUpdateInterval(seconds); }
    bool resizingOrMoving() const { return scheduler_.resizingOrMoving(); }
    void setResizingOrMoving(bool value) { scheduler_.setResizingOrMoving(value); }
    bool occluded() const { return scheduler_.occluded(); }
    // Hold Picture: the picture on screen stays, moves with the panel and is drawn again
    // from what was captured (after an expose, a resize or a settings change); letting
    // go captures afresh.
    bool held() const { return scheduler_.held(); }
    void setHeld(bool value) { scheduler_.setHeld(value); }
    void setOccluded(bool value) { scheduler_.setOccluded(value); }
    ViewArea viewArea() const { return scheduler_.viewArea(); }
    // How many times the picture is enlarged (of the lens settings).
    int magnification() const { return magnification_; }
    Point lastMouseLocation() const { return scheduler_.lastMouseLocation(); }
    void setLastMouseLocation(Point p) { scheduler_.setLastMouseLocation(p); }
    const Timer* updateTimer() const { return updateTimer_.get(); }
    CaptureScheduler& scheduler() { return scheduler_; }

    // The settings the lens follows: read from the standard store when the view is made
    // and again whenever a value there changes (on another thread, queued to this one).
    // A change restarts the timer at its speed, takes the area and magnification, hands
    // the value to the renderer (the next picture is drawn whole; a held one at once),
    // and emits lensSettingsChanged.
    const LensSettings& lensSettings() const { return lensSettings_; }
    void setLensSettings(const LensSettings& settings);
    void updateCapturingState() { scheduler_.updateCapturingState(); }

    // One tick of the refresh timer: click-through, then maybe a capture.
    void recaptureIfNeeded();
    // A capture request at once (window moved).
    void recaptureAsync() { redrawCaptureAsync(); }

    // The area to capture, in screen coordinates: the view area, or its middle part when
    // magnified.
    Rect getViewAreaRect() const;
    // The place on screen (root pixels) that the picture shows at `position` (the
    // view's points, y down), while the pointer is over the view.
    Point placeShownAt(QPointF position) const;
    // Magnified, a click on the picture goes to the place it shows: the picture takes
    // the press, and at the release the click is made again there (the panel lets it
    // pass meanwhile) and the pointer put back. Unmagnified, or on a server without
    // XTest, clicks pass through the picture as they are.
    bool replaysClicks() const;
    // The view's own rectangle in screen coordinates, as the server has it now.
    Rect viewRectOnScreen() const;
    // The same, as last found: found again when not known, after the window moved or
    // the view's size changed, and at least every `viewRectRecheck` (a move nobody
    // reported).
    Rect knownViewRect() const;
    static constexpr std::chrono::milliseconds viewRectRecheck{1000};
    // The top-left corner of the view in X root pixels.
    Point viewOriginInRootPixels() const;
    // The pointer in screen coordinates.
    Point pointerLocationOnScreen() const;
    // The colour under the pointer in the last picture, as captured (before the
    // filter): the pointer's place in the view area (beneath the panel, or around the
    // pointer) picked from the picture's pixels. None when the pointer lies outside
    // that area or there is no picture yet.
    std::optional<Rgb> capturedColourUnderPointer() const;
    // The same for the pointer at `pointer` (root pixels).
    std::optional<Rgb> capturedColourAt(Point pointer) const;

    // Find a Colour: after startPickingColour() the next press on the picture picks the
    // colour there, as captured, instead of passing through; from then on the picture
    // shows colours near it as usual and the rest dimmed grey, until findColour(none)
    // (or Escape while the panel is active). Each change emits foundColourChanged.
    void startPickingColour();
    void findColour(std::optional<Rgb> colour);
    bool pickingColour() const { return pickingColour_; }
    std::optional<Rgb> foundColour() const { return foundColour_; }

    // Where captures come from; the window server by default. Another source is asked
    // on every capture (it has no change tracking).
    void setImageSource(ImageSource source) {
        imageSource_ = std::move(source);
        changeProbe_ = nullptr;
    }
    const CaptureHistory& captureHistory() const { return *history_; }

    // While the compositor draws the lens (see LensSource) the view asks for no capture;
    // ticks still set click-through.
    void setCapturesSuspended(bool suspended) { capturesSuspended_ = suspended; }
    bool capturesSuspended() const { return capturesSuspended_; }
    // ... and tells the colour under the pointer in place of the captured picture.
    using ColourSource = std::function<std::optional<Rgb>()>;
    void setColourSource(ColourSource source) { colourSource_ = std::move(source); }
    bool hasColourSource() const { return static_cast<bool>(colourSource_); }

    // A capture that would find nothing changed beneath is skipped, but never for longer
    // than this: what the server does not report (drawing on the root itself) shows up
    // within it.
    static constexpr std::int64_t longestSkipMs = 5000;

    // The capture work (capture thread).
    static void redrawCaptureInBackground(const CaptureRequest& request);

    // CaptureSchedulerView
    void setCapturingDisabled(bool disabled) override {
        OpenGLPixelBufferView::setCapturingDisabled(disabled);
    }
    void setUnhideOnNextDisplay(bool unhide) override {
        OpenGLPixelBufferView::setUnhideOnNextDisplay(unhide);
    }
    void setHidden(bool hidden) override { QWidget::setHidden(hidden); }
    void redrawCaptureAsync() override;
    void prepareTimer() override;
    void setIgnoresMouseEvents(bool ignore) override;

    // The window number of the panel: the X window id of its top-level, 0 before that
    // window exists or without a window.
    virtual std::int64_t windowNumber() const;

signals:
    // Picking a colour to find began, or the colour found changed (pickingColour,
    // foundColour).
    void foundColourChanged();
    void lensSettingsChanged(const talvex::LensSettings& settings);

protected:
    void viewWillMoveToWindow(QWidget* newWindow) override;
    void viewDidMoveToWindow() override;
    // The window asks for its picture again (exposed): draw the next capture even if
    // nothing beneath changed.
    void drawRect() override;
    void enterEvent(QEnterEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    CaptureScheduler scheduler_;
    std::unique_ptr<Timer> updateTimer_;
    ImageSource imageSource_;
    ChangeProbe changeProbe_;
    std::shared_ptr<CaptureHistory> history_ = std::make_shared<CaptureHistory>();
    // The view's rectangle on screen as last found, and when.
    mutable std::optional<Rect> lastViewRect_;
    mutable std::chrono::steady_clock::time_point lastViewRectAt_;
    // The pointer as the running tick found it, for the capture request that tick makes:
    // one question to the server per tick.
    std::optional<Point> tickPointer_;
    // The timer ticks once per capture check (every sixth tick) while whatever could
    // make the ticks between useful is announced: the pointer's next motion, or the next
    // change beneath (see nextChangeIsAnnounced).
    bool restingCadence_ = false;
    bool capturesSuspended_ = false;
    LensSettings lensSettings_;
    int magnification_ = 1;
    bool pickingColour_ = false;
    std::optional<Rgb> foundColour_;
    QShortcut* stopFinding_ = nullptr;
    // Click-through as the last tick asked for it, and a replay under way (the panel
    // lets every click pass meanwhile).
    bool ignoreAsked_ = false;
    bool replayingClick_ = false;
    // A press on a magnified picture: the button and the place it shows.
    struct PendingClick {
        unsigned button = 0;
        Point target;
    };
    std::optional<PendingClick> pendingClick_;
    ColourSource colourSource_;
    // The panel whose signals the view follows.
    QPointer<QWidget> observedWindow_;

    void observeWindow(QWidget* window);
    void stopObservingWindow();
    void followStore();
    void adoptLensSettings(const LensSettings& settings);
    void windowDidChangeOcclusionState();
    std::int64_t ticksPerTimerTick() const;
    double tickInterval() const;
    void setRestingCadence(bool resting);
    bool nextChangeIsAnnounced(bool tickFoundNothing) const;
    void resumeFullRate();
    void areaDidChange();
    PixelRect rootPixelsOf(const Rect& screenRect) const;
    void replayClick(Point target, unsigned button);
    void announceFoundColour();
};

}  // namespace talvex
