#include "app/FilteredView.h"

#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QWheelEvent>
#include <chrono>
#include <cmath>
#include <mutex>
#include <utility>

#include "app/CaptureGeometry.h"
#include "app/LensSource.h"
#include "app/Window.h"
#include "app/X11Capture.h"
#include "platform/CapturedImage.h"
#include "platform/Dispatch.h"
#include "platform/SystemLog.h"
#include "platform/Timer.h"
#include "platform/UserDefaults.h"
#include "platform/x11/WindowServer.h"
#include "render/TalvexFilter.h"

namespace talvex {

namespace {

// A capture source of one function, without change tracking.
class FunctionCapture : public CaptureSource {
public:
    explicit FunctionCapture(FilteredView::ImageSource source) : source_(std::move(source)) {}
    std::unique_ptr<CapturedImage> imageBelowWindow(const PixelRect& area,
                                                    XWindowId windowId) override {
        return source_(area, windowId);
    }

private:
    FilteredView::ImageSource source_;
};

// Click-through is the X Shape input region of the panel's top-level window; the
// rectangles that keep taking clicks arrive in that window's pixels.
void installClickThroughHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        Window::setIgnoresMouseEventsHandler(
            [](XWindowId windowId, bool ignore, const std::vector<Rect>& keptRects) {
                std::vector<PixelRect> clickable;
                clickable.reserve(keptRects.size());
                for (const Rect& r : keptRects) {
                    const int x = static_cast<int>(std::floor(r.minX()));
                    const int y = static_cast<int>(std::floor(r.minY()));
                    clickable.push_back({x, y, static_cast<int>(std::ceil(r.maxX())) - x,
                                         static_cast<int>(std::ceil(r.maxY())) - y});
                }
                WindowServer::shared().setIgnoresMouseEvents(windowId, ignore, clickable);
            });
    });
}

}  // namespace

FilteredView::FilteredView(QWidget* parent)
    : OpenGLPixelBufferView(&FilteredView::makeFilter, parent),
      scheduler_(*this),
      captureSource_(std::make_shared<X11Capture>()) {
    installClickThroughHandler();
    adoptLensSettings(LensSettings::read(UserDefaults::standard()));
    connect(&UserDefaults::standard(), &UserDefaults::valueChanged, this,
            &FilteredView::followStore);
    connect(&WindowServer::shared(), &WindowServer::pointerDidMove, this,
            &FilteredView::resumeFullRate);
    connect(&WindowServer::shared(), &WindowServer::areaDidChange, this,
            &FilteredView::areaDidChange);
    // Escape ends finding while the panel is active.
    stopFinding_ = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { findColour({}); });
    stopFinding_->setContext(Qt::WindowShortcut);
    stopFinding_->setEnabled(false);
    // A parent given at construction: the base class could not run our overrides.
    followWindowChange();
}

FilteredView::~FilteredView() {
    updateTimer_.reset();
}

std::unique_ptr<OpenGLShaderFilter> FilteredView::makeFilter() {
    return std::make_unique<TalvexFilter>();
}

void FilteredView::followStore() {
    setLensSettings(LensSettings::read(UserDefaults::standard()));
}

void FilteredView::setLensSettings(const LensSettings& settings) {
    if (settings == lensSettings_)
        return;
    adoptLensSettings(settings);
    if (scheduler_.held())
        renderer()->redrawShownPicture();
    emit lensSettingsChanged(lensSettings_);
}

void FilteredView::adoptLensSettings(const LensSettings& settings) {
    lensSettings_ = settings;
    magnification_ = settings.magnification;
    scheduler_.updateFromDefaults(settings.speed, settings.area);
    renderer()->setLensSettings(settings);
}

void FilteredView::setLensSource(LensSource* source) {
    lensSource_ = source;
}

bool FilteredView::capturesSuspended() const {
    return lensSource_ && lensSource_->compositorDraws();
}

void FilteredView::setImageSource(ImageSource source) {
    captureSource_ = std::make_shared<FunctionCapture>(std::move(source));
}

void FilteredView::drawRect() {
    renderer()->redrawRequired = true;
    lastViewRect_.reset();  // a reshape or a new scale
    if (scheduler_.held())
        renderer()->redrawShownPicture();
    else
        redrawCaptureAsync();
}

void FilteredView::prepareTimer() {
    if (updateTimer_)
        updateTimer_->invalidate();
    updateTimer_.reset();
    if (!hostWindow())
        return;
    const double interval = scheduler_.tickInterval();
    updateTimer_ = Timer::scheduledTimer(interval, true, [this] { recaptureIfNeeded(); });
    updateTimer_->setTolerance(interval / 10);
}

bool FilteredView::setTimerInterval(double seconds) {
    if (!updateTimer_)
        return false;
    updateTimer_->setTimeInterval(seconds);
    updateTimer_->setTolerance(seconds / 10);
    return true;
}

// Something the slow ticks were waiting for happened: a tick now.
void FilteredView::resumeFullRate() {
    if (scheduler_.resumeFullRate())
        recaptureIfNeeded();
}

// Something changed beneath while the timer ticks slowly for a moving pointer: a tick
// now, which a moving pointer makes a capture. (With the pointer at rest, each slow tick
// is a capture check anyway.)
void FilteredView::areaDidChange() {
    if (WindowServer::shared().pointerMotionIsAnnounced())
        return;
    resumeFullRate();
}

// The picture takes clicks while the pointer was last seen outside it; a pointer that
// enters it gets a tick at once, which lets its clicks through. It may have been warped
// there (no device motion tells of that): the tick asks where it is.
void FilteredView::enterEvent(QEnterEvent* event) {
    OpenGLPixelBufferView::enterEvent(event);
    if (scheduler_.occluded())
        return;
    WindowServer::shared().pointerMayHaveMoved();
    scheduler_.setRestingCadence(false);
    recaptureIfNeeded();
}

void FilteredView::viewWillMoveToWindow(QWidget* newWindow) {
    OpenGLPixelBufferView::viewWillMoveToWindow(newWindow);
    stopObservingWindow();
    if (newWindow)
        observeWindow(newWindow);
}

// A panel not yet on screen has no place of its own yet (a window manager is about to
// put it somewhere): nothing is captured, or shown, until it is.
void FilteredView::viewDidMoveToWindow() {
    OpenGLPixelBufferView::viewDidMoveToWindow();
    scheduler_.restartTimer();
    if (hostWindow())
        windowDidChangeOcclusionState();
}

// Only a Window tells of moves, resizes, drags, occlusion and scale.
void FilteredView::observeWindow(QWidget* window) {
    auto* panel = qobject_cast<Window*>(window);
    if (!panel)
        return;
    observedWindow_ = panel;
    connect(panel, &Window::moved, this, [this] {
        lastViewRect_.reset();  // found again by the next tick or capture request
        redrawCaptureAsync();
    });
    const auto pause = [this] { scheduler_.windowWillStartLiveResizeOrMove(); };
    const auto resume = [this] { scheduler_.windowDidEndLiveResizeOrMove(); };
    connect(panel, &Window::liveResizeStarted, this, pause);
    connect(panel, &Window::liveResizeEnded, this, resume);
    connect(panel, &Window::draggingStarted, this, pause);
    connect(panel, &Window::draggingEnded, this, resume);
    connect(panel, &Window::occlusionStateChanged, this,
            &FilteredView::windowDidChangeOcclusionState);
    connect(panel, &Window::backingScaleFactorChanged, this, &FilteredView::reshape);
}

void FilteredView::windowDidChangeOcclusionState() {
    scheduler_.setRestingCadence(false);
    lastViewRect_.reset();  // found afresh where the panel shows now
    // Only a Window reports occlusion; any other top-level counts as visible.
    const auto* panel = qobject_cast<const Window*>(hostWindow());
    scheduler_.windowDidChangeOcclusionState(panel ? panel->occlusionState()
                                                   : CaptureScheduler::occlusionStateVisible);
}

void FilteredView::stopObservingWindow() {
    if (observedWindow_)
        observedWindow_->disconnect(this);
    observedWindow_ = nullptr;
}

std::int64_t FilteredView::windowNumber() const {
    QWidget* window = hostWindow();
    if (!window)
        return 0;
    if (const auto* panel = qobject_cast<const Window*>(window))
        return panel->windowNumber();
    return window->testAttribute(Qt::WA_WState_Created) ? nativeWindowId(*window) : 0;
}

void FilteredView::setIgnoresMouseEvents(bool ignore) {
    ignoreAsked_ = ignore;
    if (auto* panel = qobject_cast<Window*>(hostWindow()))
        panel->setIgnoresMouseEvents(ignore &&
                                     (replayingClick_ || !(pickingColour_ || replaysClicks())));
}

bool FilteredView::replaysClicks() const {
    return magnification_ > 1 && !capturesSuspended() && qobject_cast<Window*>(hostWindow()) &&
           WindowServer::shared().canReplayClicks();
}

// With the pointer over the view, the area is the view's own, in both view areas.
Point FilteredView::placeShownAt(QPointF position) const {
    const double s = backingScaleFactor();
    const Point viewPixel{position.x() * s, position.y() * s};
    const Rect known = knownViewRect();
    const PixelRect view = capture::wholePixels(known);
    if (magnification_ < 2)
        return {view.x + std::floor(viewPixel.x), view.y + std::floor(viewPixel.y)};
    return capture::shownPixel(
        capture::wholePixels(capture::magnifiedRect(known, magnification_, s)), view.width,
        view.height, viewPixel, magnification_);
}

void FilteredView::startPickingColour() {
    pickingColour_ = true;
    setIgnoresMouseEvents(ignoreAsked_);  // the picture takes the next click
    announceFoundColour();
}

void FilteredView::findColour(std::optional<Rgb> colour) {
    pickingColour_ = false;
    foundColour_ = colour;
    renderer()->setFoundColour(colour);
    setIgnoresMouseEvents(ignoreAsked_);
    if (scheduler_.held())
        renderer()->redrawShownPicture();
    else
        redrawCaptureAsync();
    announceFoundColour();
}

void FilteredView::announceFoundColour() {
    stopFinding_->setEnabled(pickingColour_ || foundColour_);
    emit foundColourChanged();
}

void FilteredView::mousePressEvent(QMouseEvent* event) {
    if (pickingColour_ && event->button() == Qt::LeftButton) {
        event->accept();
        const double s = backingScaleFactor();
        const PixelRect view = capture::wholePixels(knownViewRect());
        // Where the compositor draws the picture, it tells the colour under the pointer.
        const std::optional<Rgb> picked =
            capturesSuspended() ? lensSource_->colourUnderPointer()
                                : capturedColourAt({view.x + event->position().x() * s,
                                                    view.y + event->position().y() * s});
        if (picked)
            findColour(picked);
        return;
    }
    static constexpr std::pair<Qt::MouseButton, unsigned> buttons[] = {
        {Qt::LeftButton, 1}, {Qt::MiddleButton, 2}, {Qt::RightButton, 3}};
    if (!replaysClicks() || pendingClick_) {
        OpenGLPixelBufferView::mousePressEvent(event);
        return;
    }
    for (const auto& [qtButton, xButton] : buttons) {
        if (event->button() == qtButton)
            pendingClick_ = PendingClick{xButton, placeShownAt(event->position())};
    }
    event->accept();
}

// The press is made again with its release, once the real button is up: while it is
// down the server sends every pointer event to the view.
void FilteredView::mouseReleaseEvent(QMouseEvent* event) {
    if (!pendingClick_) {
        OpenGLPixelBufferView::mouseReleaseEvent(event);
        return;
    }
    const PendingClick click = *std::exchange(pendingClick_, std::nullopt);
    event->accept();
    if (replaysClicks())
        replayClick(click.target, click.button);
}

void FilteredView::wheelEvent(QWheelEvent* event) {
    const QPoint steps = event->angleDelta();
    if (!replaysClicks() || steps.isNull()) {
        OpenGLPixelBufferView::wheelEvent(event);
        return;
    }
    event->accept();
    const bool vertical = std::abs(steps.y()) >= std::abs(steps.x());
    const int delta = vertical ? steps.y() : steps.x();
    const unsigned button = vertical ? (delta > 0 ? 4 : 5) : (delta > 0 ? 6 : 7);
    replayClick(placeShownAt(event->position()), button);
}

// The panel lets the click pass while it is made again, then takes clicks again.
void FilteredView::replayClick(Point target, unsigned button) {
    const bool asked = ignoreAsked_;
    replayingClick_ = true;
    setIgnoresMouseEvents(true);
    WindowServer::shared().replayClick(target, button);
    replayingClick_ = false;
    setIgnoresMouseEvents(asked);
}

Rect FilteredView::viewRectInRootPixels() const {
    const double s = backingScaleFactor();
    const Point origin = viewOriginInRootPixels();
    return {origin.x, origin.y, width() * s, height() * s};
}

Point FilteredView::viewOriginInRootPixels() const {
    // The server knows where the view's own X window is, also right after a window
    // manager placed the panel, before the toolkit has heard of it.
    if (testAttribute(Qt::WA_WState_Created)) {
        if (auto origin = WindowServer::shared().windowOrigin(nativeWindowId(*this)))
            return *origin;
    }
    // Qt places screens in device pixels and scales what lies within each: a logical
    // position maps to root pixels about its screen's origin.
    const double s = backingScaleFactor();
    const QPoint logical = mapToGlobal(QPoint(0, 0));
    const QScreen* screen = this->screen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    return {origin.x() + (logical.x() - origin.x()) * s,
            origin.y() + (logical.y() - origin.y()) * s};
}

std::optional<Rgb> FilteredView::capturedColourUnderPointer() const {
    if (capturesSuspended())
        return lensSource_->colourUnderPointer();
    return capturedColourAt(WindowServer::shared().pointerLocation());
}

std::optional<Rgb> FilteredView::capturedColourAt(Point pointer) const {
    // The root pixels the capture of that area took.
    const PixelRect pixels = capture::wholePixels(captureArea(pointer));
    // Over a magnified picture the pointer points at what the picture shows there.
    Point place = pointer;
    const PixelRect view = capture::wholePixels(knownViewRect());
    if (magnification_ > 1 && pointer.x >= view.x && pointer.y >= view.y &&
        pointer.x < view.x + view.width && pointer.y < view.y + view.height) {
        place = capture::shownPixel(pixels, view.width, view.height,
                                    {pointer.x - view.x, pointer.y - view.y}, magnification_);
    }
    const double x = std::floor(place.x) - pixels.x;
    const double y = std::floor(place.y) - pixels.y;
    if (x < 0 || y < 0 || x >= pixels.width || y >= pixels.height)
        return std::nullopt;
    return renderer()->capturedColourAt(static_cast<std::size_t>(x), static_cast<std::size_t>(y));
}

Rect FilteredView::knownViewRect() const {
    const auto now = std::chrono::steady_clock::now();
    const double s = backingScaleFactor();
    const bool known = lastViewRect_ && lastViewRect_->width() == width() * s &&
                       lastViewRect_->height() == height() * s &&
                       now - lastViewRectAt_ < viewRectRecheck;
    if (!known) {
        lastViewRect_ = viewRectInRootPixels();
        lastViewRectAt_ = now;
    }
    return *lastViewRect_;
}

Rect FilteredView::captureArea(Point pointer) const {
    const double s = backingScaleFactor();
    return capture::magnifiedRect(
        capture::viewAreaRect(knownViewRect(), scheduler_.viewArea(), pointer, s), magnification_,
        s);
}

// A tick that captures nothing asks the server at most where the pointer is, and not
// even that while the pointer rests beneath the panel (see WindowServer::pointerLocation);
// the view's place is the one last found.
void FilteredView::recaptureIfNeeded() {
    // A panel that cannot be seen (hidden, minimised, covered) asks the server nothing,
    // and ticks slowly until it is seen again.
    if (scheduler_.occluded()) {
        scheduler_.setRestingCadence(true);
        return;
    }
    auto& server = WindowServer::shared();
    const Rect view = knownViewRect();
    // Around the pointer every tick needs its place, also after a warp.
    if (scheduler_.viewArea() == ViewArea::mousePointer)
        server.pointerMayHaveMoved();
    const Point pointer = server.pointerLocation();
    tickPointer_ = pointer;
    const std::uint64_t skippedBefore = history_->skipped;
    scheduler_.recaptureIfNeeded(bounds(),
                                 capture::pointInView(view, pointer, backingScaleFactor()), pointer,
                                 scheduler_.ticksPerTimerTick());
    tickPointer_.reset();
    scheduler_.tickDidEnd(
        history_->skipped != skippedBefore,
        {server.pointerMotionIsAnnounced(), captureSource_->changesAreAnnounced()});
}

void FilteredView::redrawCaptureAsync() {
    if (!hostWindow() || capturesSuspended())
        return;
    const std::int64_t number = windowNumber();
    if (!capture::isValidWindowNumber(number)) {
        systemLog(capture::skippingCaptureMessage(number));
        return;
    }
    std::shared_ptr<PixelBufferRenderer> target = renderer();
    if (target->capturing || target->capturingDisabled)
        return;
    const std::uint64_t pausesBegun = target->pausesBegun;
    const Point pointer = tickPointer_ ? *tickPointer_ : WindowServer::shared().pointerLocation();
    const QPointer<FilteredView> view(this);
    CaptureWorker::Request request{std::move(target),
                                   captureSource_,
                                   history_,
                                   capture::wholePixels(captureArea(pointer)),
                                   static_cast<XWindowId>(number),
                                   pausesBegun,
                                   magnification_,
                                   [view] {
                                       if (view)
                                           view->redrawCaptureAsync();
                                   },
                                   [view](std::uint64_t begun) {
                                       if (view)
                                           view->firstPictureDrawn(begun);
                                   }};
    // Most ticks find nothing changed beneath: they end here, without waking the
    // capture thread. (Only this thread sets `capturing`.)
    if (CaptureWorker::skip(request))
        return;
    CaptureWorker::post(std::move(request));
}

// A pause that began meanwhile keeps the view hidden: the flag stays set, so the first
// picture after the pause shows it.
void FilteredView::firstPictureDrawn(std::uint64_t pausesBegun) {
    if (!unhideOnNextDisplay() || capturingDisabled())
        return;
    if (renderer()->pausesBegun != pausesBegun) {
        redrawCaptureAsync();  // a pause came and went: this picture is stale
        return;
    }
    OpenGLPixelBufferView::setUnhideOnNextDisplay(false);
    QWidget::setHidden(false);
}

}  // namespace talvex
