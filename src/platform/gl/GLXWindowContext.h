#pragma once

// An OpenGL 2.1 compatibility-profile context that draws into an existing X window
// through GLX, on an X connection of its own (an XDisplay, not the toolkit's), so that the
// capture thread can draw while the main thread runs the event loop. The process must
// have called XInitThreads() before its first Xlib call. The connection follows the X
// error policy: errors on it (a window resized or destroyed under a frame) are counted,
// never fatal.
//
// The window belongs to someone else (the toolkit creates and destroys it). Before the
// window goes away the owner calls detach(): afterwards the context never touches the
// drawable again and makeCurrent() fails.
#include <cstdint>
#include <memory>

#include "platform/gl/GLContext.h"
#include "platform/x11/XWindowId.h"

namespace talvex {

class XDisplay;

class GLXWindowContext final : public GLContext {
public:
    // A context for `window` (an X window id). None when the window's visual has no
    // matching GLX frame-buffer configuration or GLX is not available.
    static std::unique_ptr<GLXWindowContext> create(XWindowId window);
    // A visual of the default visual's depth, class and colour masks whose GL
    // configuration is double buffered without depth, stencil, accumulation or
    // multisample buffers, on `display`'s server; 0 when the server has
    // none (or no GLX). A software renderer allocates those buffers at the window's full
    // size, and the lens draws flat quads: windows of this visual spare the memory.
    static unsigned long leanVisual(XDisplay& display);
    ~GLXWindowContext() override;

    bool makeCurrent() override;
    void clearCurrent() override;
    bool isCurrent() const override;
    void flushBuffer() override;
    // With the GLX_MESA_copy_sub_buffer extension, rectangles of the back buffer are
    // copied to the window and the rest of the window stays. A single-buffered window
    // draws on screen directly and keeps the rest too.
    bool keepsPicture() const override;
    void presentRects(const std::vector<PixelRect>& rects) override;
    std::uint64_t windowSystemErrors() const override;
    std::uint64_t currentElsewhereCount() const override;

    // Stops all use of the window. Call under the context lock, from any thread.
    void detach();

private:
    struct State;
    explicit GLXWindowContext(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace talvex
