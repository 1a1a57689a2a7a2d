#include "platform/x11/InputShape.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include "platform/x11/WindowStack.h"
#include "platform/x11/XDisplay.h"

namespace talvex {

namespace {

XRectangle toXRectangle(const PixelRect& r) {
    return {static_cast<short>(r.x), static_cast<short>(r.y), static_cast<unsigned short>(r.width),
            static_cast<unsigned short>(r.height)};
}

void setInputRegion(Display* display, Window window, const std::vector<PixelRect>& region) {
    std::vector<XRectangle> rectangles;
    rectangles.reserve(region.size());
    for (const PixelRect& r : region) {
        if (!r.isEmpty()) {
            rectangles.push_back(toXRectangle(r));
        }
    }
    XShapeCombineRectangles(display, window, ShapeInput, 0, 0, rectangles.data(),
                            static_cast<int>(rectangles.size()), ShapeSet, Unsorted);
}

// No input shape at all means the window's full extent takes input.
void resetInputRegion(Display* display, Window window) {
    XShapeCombineMask(display, window, ShapeInput, 0, 0, None, ShapeSet);
}

// Our window's place inside its frame, in the frame's pixels.
std::optional<PixelRect> placeInFrame(Display* display, Window window, Window frame) {
    const auto size = windowSize(display, window);
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!size || !XTranslateCoordinates(display, window, frame, 0, 0, &x, &y, &child)) {
        return std::nullopt;
    }
    return PixelRect{x, y, size->width, size->height};
}

// The frame minus our window: the four bands of decoration around it.
std::vector<PixelRect> decorationsAround(const PixelRect& frame, const PixelRect& client) {
    const int right = client.x + client.width;
    const int bottom = client.y + client.height;
    return {{0, 0, frame.width, client.y},
            {0, bottom, frame.width, frame.height - bottom},
            {0, client.y, client.x, client.height},
            {right, client.y, frame.width - right, client.height}};
}

void applyToFrame(Display* display, Window window, Window frame, bool ignore,
                  const std::vector<PixelRect>& clickable) {
    if (!ignore) {
        resetInputRegion(display, frame);
        return;
    }
    const auto frameSize = windowSize(display, frame);
    const auto client = placeInFrame(display, window, frame);
    if (!frameSize || !client) {
        return;
    }
    std::vector<PixelRect> region = decorationsAround(*frameSize, *client);
    for (const PixelRect& r : clickable) {
        region.push_back({r.x + client->x, r.y + client->y, r.width, r.height});
    }
    setInputRegion(display, frame, region);
}

}  // namespace

bool InputShape::isSupported(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return XShapeQueryExtension(display, &eventBase, &errorBase) &&
           XShapeQueryVersion(display, &major, &minor) && (major > 1 || minor >= 1);
}

void InputShape::apply(Display* display, XWindowId root, XWindowId window, bool ignore,
                       const std::vector<PixelRect>& clickable) {
    if (ignore) {
        setInputRegion(display, window, clickable);
    } else {
        resetInputRegion(display, window);
    }
    const auto frame = WindowStack::topLevelAncestor(display, root, window);
    if (frame && *frame != window) {
        applyToFrame(display, window, *frame, ignore, clickable);
    }
    XFlush(display);
}

}  // namespace talvex
