#pragma once

// The capture work of a lens, on the global queue: the image below the panel from the
// lens's capture source, handed to its renderer on that thread.
//
// A request is checked and made on the main thread; the work item owns it and holds the
// renderer and the source through shared pointers. It reaches its view only through the
// request's two callbacks, which it posts to the main queue, where they look whether the
// view is still there. `capturing` is cleared when the work item ends, on every path.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/CaptureSource.h"
#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

namespace talvex {

class PixelBufferRenderer;

class CaptureWorker {
public:
    // What the captures of one view have done, shared with their work items.
    struct History {
        std::atomic<std::int64_t> lastCaptureMs{0};  // steady clock
        std::atomic<std::uint64_t> captures{0};
        std::atomic<std::uint64_t> skipped{0};  // nothing beneath had changed
    };

    // Everything one capture needs, owned by its work item.
    struct Request {
        std::shared_ptr<PixelBufferRenderer> renderer;
        std::shared_ptr<CaptureSource> source;
        std::shared_ptr<History> history;
        PixelRect area;  // root pixels
        XWindowId windowId = 0;
        std::uint64_t pausesBegun = 0;  // the renderer's count when it was asked for
        int magnification = 1;          // the picture is drawn this many times larger
        // Main thread: a capture asked for again (a pause came and went meanwhile), and
        // the first picture after a pause drawn (with the request's pausesBegun).
        std::function<void()> askAgain;
        std::function<void(std::uint64_t pausesBegun)> firstPictureDrawn;
    };

    // A capture that would find nothing changed beneath is skipped, but never for longer
    // than this: what the server does not report (drawing on the root itself) shows up
    // within it.
    static constexpr std::int64_t longestSkipMs = 5000;

    // Main thread: nothing beneath changed and the picture on screen needs no redraw, so
    // the request ends here without waking the capture thread; counted as skipped.
    static bool skip(const Request& request);
    // Main thread: sets `capturing` and hands the request to the global queue.
    static void post(Request request);
    // The work itself (capture thread).
    static void run(const Request& request);
};

}  // namespace talvex
