#pragma once

// An OpenGL 2.1 compatibility-profile context that needs no X display: EGL on Mesa's
// surfaceless platform, drawing into an offscreen drawable of a fixed pixel size.
// The drawable is a pbuffer surface; where the driver cannot make a pbuffer of that
// size (Mesa's software renderer stops at 4096 pixels a side) it is a framebuffer
// object of the context instead. Either way window position (0, 0) is the lower-left
// pixel, as for an on-screen window. Used by the still-image mode, tests and
// benchmarks.
//
// Like every GLContext it may be used from any thread, one at a time, under its lock.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/GLContext.h"

namespace talvex {

class EGLHeadlessContext final : public GLContext {
public:
    // A context with a drawable of width × height pixels (RGBA, 8 bits each). None when
    // EGL, the surfaceless platform or a desktop OpenGL context is not available or the
    // size cannot be drawn; `error` (if given) then receives one line saying why.
    static std::unique_ptr<EGLHeadlessContext> create(int width, int height,
                                                      std::string* error = nullptr);
    ~EGLHeadlessContext() override;

    bool makeCurrent() override;
    void clearCurrent() override;
    bool isCurrent() const override;
    // Finishes all drawing, so that the drawable holds the complete frame.
    void flushBuffer() override;
    std::unique_ptr<CurrentBinding> currentBinding() const override;

    int width() const;
    int height() const;

    // The drawable's pixels, top row first, 4 bytes per pixel in the captured-image
    // layout (blue, green, red, alpha), rows packed (stride 4 × width). Takes the
    // context lock and makes the context current itself: do not call with the lock held.
    // Empty when the context cannot be made current.
    std::vector<std::uint8_t> readPixelsBGRA();

private:
    struct State;
    explicit EGLHeadlessContext(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace talvex
