#include "platform/x11/XTestScene.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace talvex::test {

XTestScene::XTestScene() : display_(XOpenDisplay(nullptr)) {}

XTestScene::~XTestScene() {
    if (!display_) {
        return;
    }
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        XDestroyWindow(display_, *it);
    }
    for (Colormap colormap : colormaps_) {
        XFreeColormap(display_, colormap);
    }
    XCloseDisplay(display_);
}

Window XTestScene::makeWindow(const PixelRect& bounds, std::uint32_t rgb, Window parent) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = rgb;
    attributes.override_redirect = True;
    attributes.event_mask = ButtonPressMask;
    Window window = XCreateWindow(
        display_, parent ? parent : root(), bounds.x, bounds.y, static_cast<unsigned>(bounds.width),
        static_cast<unsigned>(bounds.height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWBackPixel | CWOverrideRedirect | CWEventMask, &attributes);
    XMapRaised(display_, window);
    windows_.push_back(window);
    sync();
    return window;
}

Window XTestScene::makeTranslucentWindow(const PixelRect& bounds, std::uint32_t argb) {
    XVisualInfo info{};
    if (!XMatchVisualInfo(display_, DefaultScreen(display_), 32, TrueColor, &info)) {
        return 0;
    }
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(display_, root(), info.visual, AllocNone);
    colormaps_.push_back(attributes.colormap);
    attributes.background_pixel = argb;
    attributes.border_pixel = 0;
    attributes.override_redirect = True;
    Window window =
        XCreateWindow(display_, root(), bounds.x, bounds.y, static_cast<unsigned>(bounds.width),
                      static_cast<unsigned>(bounds.height), 0, 32, InputOutput, info.visual,
                      CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect, &attributes);
    XMapRaised(display_, window);
    windows_.push_back(window);
    sync();
    return window;
}

void XTestScene::sync() const {
    XSync(display_, False);
}

void XTestScene::clickAt(int x, int y) const {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    sync();
}

bool XTestScene::receivedButtonPress(Window window, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    XEvent event;
    while (std::chrono::steady_clock::now() < deadline) {
        if (XCheckWindowEvent(display_, window, ButtonPressMask, &event)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::uint32_t pixelAt(const std::uint8_t* bytes, std::size_t bytesPerRow, int x, int y) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, bytes + static_cast<std::size_t>(y) * bytesPerRow + 4 * x, 4);
    return pixel;  // little-endian: B, G, R, A in memory
}

}  // namespace talvex::test
