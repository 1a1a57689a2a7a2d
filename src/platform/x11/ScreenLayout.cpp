#include "platform/x11/ScreenLayout.h"
#include "platform/x11/XDisplay.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/x11/XDisplay.h"

namespace talvex {

namespace {

struct ResourcesDeleter {
    void operator()(XRRScreenResources* r) const { XRRFreeScreenResources(r); }
};
struct CrtcDeleter {
    void operator()(XRRCrtcInfo* c) const { XRRFreeCrtcInfo(c); }
};
struct OutputDeleter {
    void operator()(XRROutputInfo* o) const { XRRFreeOutputInfo(o); }
};

PixelRect rootBounds(Display* display, Window root) {
    if (auto size = windowSize(display, root)) {
        return *size;
    }
    return {0, 0, DisplayWidth(display, DefaultScreen(display)),
            DisplayHeight(display, DefaultScreen(display))};
}

bool hasRandr(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    // Primary outputs and the current-resources request came with RandR 1.3.
    return XRRQueryExtension(display, &eventBase, &errorBase) &&
           XRRQueryVersion(display, &major, &minor) && (major > 1 || minor >= 3);
}

std::optional<PixelRect> crtcBounds(Display* display, XRRScreenResources* resources, RRCrtc crtc) {
    if (crtc == 0) {
        return std::nullopt;
    }
    std::unique_ptr<XRRCrtcInfo, CrtcDeleter> info(XRRGetCrtcInfo(display, resources, crtc));
    if (!info || info->mode == 0 || info->width == 0 || info->height == 0) {
        return std::nullopt;
    }
    return PixelRect{info->x, info->y, static_cast<int>(info->width),
                     static_cast<int>(info->height)};
}

std::optional<PixelRect> primaryBounds(Display* display, Window root,
                                       XRRScreenResources* resources) {
    const RROutput primary = XRRGetOutputPrimary(display, root);
    if (primary == 0) {
        return std::nullopt;
    }
    std::unique_ptr<XRROutputInfo, OutputDeleter> output(
        XRRGetOutputInfo(display, resources, primary));
    if (!output) {
        return std::nullopt;
    }
    return crtcBounds(display, resources, output->crtc);
}

}  // namespace

// 1. The root's size.
// 2. Every lit CRTC is a monitor.
// 3. The main display: the primary output's CRTC, else the first monitor, else the root.
ScreenLayout ScreenLayout::query(Display* display, unsigned long root) {
    ScreenLayout layout;
    layout.root_ = rootBounds(display, root);
    layout.main_ = layout.root_;
    if (!hasRandr(display)) {
        layout.monitors_ = {layout.root_};
        return layout;
    }
    std::unique_ptr<XRRScreenResources, ResourcesDeleter> resources(
        XRRGetScreenResourcesCurrent(display, root));
    if (resources) {
        for (int i = 0; i < resources->ncrtc; ++i) {
            if (auto bounds = crtcBounds(display, resources.get(), resources->crtcs[i])) {
                layout.monitors_.push_back(*bounds);
            }
        }
        if (auto primary = primaryBounds(display, root, resources.get())) {
            layout.main_ = *primary;
        } else if (!layout.monitors_.empty()) {
            layout.main_ = layout.monitors_.front();
        }
    }
    if (layout.monitors_.empty()) {
        layout.monitors_ = {layout.root_};
    }
    return layout;
}

Rect ScreenLayout::mainDisplayBounds() const {
    return {static_cast<double>(main_.x), static_cast<double>(main_.y),
            static_cast<double>(main_.width), static_cast<double>(main_.height)};
}

bool ScreenLayout::isOnScreen(const PixelRect& area) const {
    return std::any_of(monitors_.begin(), monitors_.end(),
                       [&](const PixelRect& monitor) { return monitor.intersects(area); });
}

}  // namespace talvex
