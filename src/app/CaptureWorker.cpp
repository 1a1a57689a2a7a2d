#include "app/CaptureWorker.h"

#include <chrono>
#include <utility>

#include "platform/Dispatch.h"
#include "render/PixelBufferRenderer.h"

namespace talvex {

namespace {

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Clears the in-flight mark when the capture work ends, whichever way it ends, or
// earlier when a fresh capture is asked for in its place.
class CapturingGuard {
public:
    explicit CapturingGuard(PixelBufferRenderer& renderer) : renderer_(renderer) {}
    ~CapturingGuard() { finish(); }
    CapturingGuard(const CapturingGuard&) = delete;
    CapturingGuard& operator=(const CapturingGuard&) = delete;

    void finish() {
        if (std::exchange(armed_, false))
            renderer_.capturing = false;
    }

private:
    PixelBufferRenderer& renderer_;
    bool armed_ = true;
};

// A capture asked for before a pause began shows nothing. When that pause has ended
// meanwhile, its own request found this capture in flight and was dropped: a fresh
// capture is asked for in its place, so the first picture after a pause is always
// taken after it.
bool abandonIfPaused(const CaptureWorker::Request& request, CapturingGuard& guard) {
    PixelBufferRenderer& renderer = *request.renderer;
    if (renderer.pausesBegun == request.pausesBegun && !renderer.capturingDisabled)
        return false;
    if (renderer.capturingDisabled)
        return true;
    guard.finish();
    if (request.askAgain)
        dispatch::mainAsync(request.askAgain);
    return true;
}

}  // namespace

bool CaptureWorker::skip(const Request& request) {
    if (request.renderer->redrawRequired)
        return false;
    if (steadyMs() - request.history->lastCaptureMs >= longestSkipMs)
        return false;
    if (!request.source->unchangedSinceLastCapture(request.area, request.windowId))
        return false;
    ++request.history->skipped;
    return true;
}

void CaptureWorker::post(Request request) {
    request.renderer->capturing = true;
    dispatch::globalAsync([request = std::move(request)] { run(request); });
}

void CaptureWorker::run(const Request& request) {
    PixelBufferRenderer& renderer = *request.renderer;
    CapturingGuard clearCapturingAtEnd(renderer);
    if (abandonIfPaused(request, clearCapturingAtEnd))
        return;
    // Whether anything changed beneath was asked on the main thread just before: what
    // it found changed cannot have become unchanged since.
    request.history->lastCaptureMs = steadyMs();
    ++request.history->captures;

    std::shared_ptr<const CapturedImage> image =
        request.source->imageBelowWindow(request.area, request.windowId);
    if (!image)
        return;
    if (abandonIfPaused(request, clearCapturingAtEnd))
        return;

    // Shared: the renderer keeps the picture on screen to compare the next one with.
    renderer.displayImage(image, request.magnification);
    if (abandonIfPaused(request, clearCapturingAtEnd))
        return;
    if (!renderer.unhideOnNextDisplay || !request.firstPictureDrawn)
        return;
    dispatch::mainAsync([shown = request.firstPictureDrawn, pausesBegun = request.pausesBegun] {
        shown(pausesBegun);
    });
}

}  // namespace talvex
