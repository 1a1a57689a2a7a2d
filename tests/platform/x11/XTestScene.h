#pragma once

// Plain Xlib windows of known colours on a connection of the test's own, for checking
// captures and clicks against real pixels on a real (virtual) X server.
#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

#include "platform/Geometry.h"

namespace talvex::test {

class XTestScene {
public:
    XTestScene();
    ~XTestScene();
    XTestScene(const XTestScene&) = delete;
    XTestScene& operator=(const XTestScene&) = delete;

    Display* display() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }

    // A mapped window (no window manager involvement), raised above the ones made
    // before it, filled with `rgb`. With a parent, `bounds` are relative to it.
    Window makeWindow(const PixelRect& bounds, std::uint32_t rgb, Window parent = 0);
    // A mapped 32-bit window filled with the premultiplied `argb`; 0 when the server
    // has no 32-bit visual.
    Window makeTranslucentWindow(const PixelRect& bounds, std::uint32_t argb);
    // Waits until the server has handled everything sent so far.
    void sync() const;

    // Moves the pointer and clicks button 1 there (XTest).
    void clickAt(int x, int y) const;
    // Whether `window` receives a button press within `timeoutMs` (drains its queue).
    bool receivedButtonPress(Window window, int timeoutMs = 1000) const;

private:
    Display* display_;
    std::vector<Window> windows_;
    std::vector<Colormap> colormaps_;
};

// The 32-bit pixel at (x, y) of B, G, R, A rows, as 0xAARRGGBB.
std::uint32_t pixelAt(const std::uint8_t* bytes, std::size_t bytesPerRow, int x, int y);

}  // namespace talvex::test
