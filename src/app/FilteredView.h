#pragma once

// The live lens: a pixel buffer view that shows, many times a second, what lies on
// screen beneath its panel (or around the pointer), drawn through the stripe filter.
//
// When to capture is decided by a CaptureScheduler (refresh timer ticks, window moves,
// the pause switch while the panel is resized, dragged or not visible, the timer's
// cadence); this widget is the scheduler's view: it owns the timer, the window
// observations and the capture requests, and answers the geometry.
//
// One tick works out the capture area once, in root pixels, from the view's place on
// the root (as last found) and its size. One capture: on the main thread the request is
// checked (window, window number, capture in flight, capturing disabled), a request that
// finds nothing changed beneath ends there, and otherwise a CaptureWorker takes it to the
// global queue. The work item holds the renderer and the capture source through shared
// pointers and reaches the view only on the main thread, through a QPointer, so a view
// that goes away meanwhile is never touched.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/CaptureScheduler.h"
#include "app/CaptureWorker.h"
#include "platform/Geometry.h"
#include "platform/Rgb.h"
#include "platform/x11/XWindowId.h"
#include "render/OpenGLPixelBufferView.h"
#include "settings/LensSettings.h"
#include "settings/Settings.h"

class QShortcut;

namespace talvex {

class CaptureSource;
class CapturedImage;
class LensSource;
class Timer;

class FilteredView : public OpenGLPixelBufferView, public CaptureSchedulerView {
    Q_OBJECT

public:
    // Produces the image of everything on screen below window `windowId` within `area`
    // (root pixels); none when there is no image. Runs on the capture thread.
    using ImageSource =
        std::function<std::unique_ptr<CapturedImage>(const PixelRect& area, XWindowId windowId)>;

    explicit FilteredView(QWidget* parent = nullptr);
    ~FilteredView() override;

    // A new stripe filter on every call; the view creates its own on first use.
    static std::unique_ptr<OpenGLShaderFilter> makeFilter();

    // Scheduling state: updateInterval, held (Hold Picture: the picture on screen stays,
    // moves with the panel and is drawn again from what was captured, after an expose, a
    // resize or a settings change; letting go captures afresh), occluded, view area.
    CaptureScheduler& scheduler() { return scheduler_; }
    const CaptureScheduler& scheduler() const { return scheduler_; }
    // How many times the picture is enlarged (of the lens settings).
    int magnification() const { return magnification_; }
    const Timer* updateTimer() const { return updateTimer_.get(); }

    // The settings the lens follows: read from the standard store when the view is made
    // and again whenever a value there changes (on another thread, queued to this one).
    // A change restarts the timer at its speed, takes the area and magnification, hands
    // the value to the renderer (the next picture is drawn whole; a held one at once),
    // and emits lensSettingsChanged.
    const LensSettings& lensSettings() const { return lensSettings_; }
    void setLensSettings(const LensSettings& settings);

    // One tick of the refresh timer: click-through, then maybe a capture.
    void recaptureIfNeeded();

    // The area to capture, in root pixels, for the pointer at `pointer` (root pixels):
    // the view area, or its middle part when magnified.
    Rect captureArea(Point pointer) const;
    // The place on screen (root pixels) that the picture shows at `position` (the
    // view's points, y down), while the pointer is over the view.
    Point placeShownAt(QPointF position) const;
    // Magnified, a click on the picture goes to the place it shows: the picture takes
    // the press, and at the release the click is made again there (the panel lets it
    // pass meanwhile) and the pointer put back. Unmagnified, or on a server without
    // XTest, clicks pass through the picture as they are.
    bool replaysClicks() const;
    // The view's own rectangle in root pixels, as the server has it now.
    Rect viewRectInRootPixels() const;
    // The same, as last found: found again when not known, after the window moved or
    // the view's size changed, and at least every `viewRectRecheck` (a move nobody
    // reported).
    Rect knownViewRect() const;
    static constexpr std::chrono::milliseconds viewRectRecheck{1000};
    // The top-left corner of the view in X root pixels.
    Point viewOriginInRootPixels() const;
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

    // A source without change tracking, asked on every capture.
    void setImageSource(ImageSource source);
    const CaptureWorker::History& captureHistory() const { return *history_; }

    // Where the picture comes from (none: the view's own captures). While the source's
    // compositor draws the lens the view asks for no capture (ticks still set
    // click-through) and tells the colour under the pointer the compositor reports.
    void setLensSource(LensSource* source);
    bool capturesSuspended() const;
    bool hasColourSource() const { return capturesSuspended(); }

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
    bool setTimerInterval(double seconds) override;
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
    std::shared_ptr<CaptureSource> captureSource_;
    std::shared_ptr<CaptureWorker::History> history_ = std::make_shared<CaptureWorker::History>();
    // The view's rectangle on screen as last found, and when.
    mutable std::optional<Rect> lastViewRect_;
    mutable std::chrono::steady_clock::time_point lastViewRectAt_;
    // The pointer (root pixels) as the running tick found it, for the capture request
    // that tick makes: one question to the server per tick.
    std::optional<Point> tickPointer_;
    QPointer<LensSource> lensSource_;
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
    // The panel whose signals the view follows.
    QPointer<QWidget> observedWindow_;

    void observeWindow(QWidget* window);
    void stopObservingWindow();
    void followStore();
    void adoptLensSettings(const LensSettings& settings);
    void windowDidChangeOcclusionState();
    void resumeFullRate();
    void areaDidChange();
    void firstPictureDrawn(std::uint64_t pausesBegun);
    void replayClick(Point target, unsigned button);
    void announceFoundColour();
};

}  // namespace talvex
