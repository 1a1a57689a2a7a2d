#include "platform/x11/ScreenLayout.h"

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

// The RandR version as major * 100 + minor; 0 without RandR.
int randrVersion(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor)) {
        return 0;
    }
    return major * 100 + minor;
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

struct Monitors {
    std::vector<PixelRect> bounds;
    std::optional<PixelRect> primary;
};

// Whether the monitor is marked primary or shows the primary output (the server marks
// only its own monitors for the primary output, not those a user defined over it).
bool isPrimary(const XRRMonitorInfo& monitor, RROutput primaryOutput) {
    return monitor.primary ||
           (primaryOutput != 0 && std::find(monitor.outputs, monitor.outputs + monitor.noutput,
                                            primaryOutput) != monitor.outputs + monitor.noutput);
}

// RandR 1.5 monitors: the lit outputs and any monitors a user defined over them
// (xrandr --setmonitor).
Monitors randrMonitors(Display* display, Window root) {
    Monitors monitors;
    const RROutput primaryOutput = XRRGetOutputPrimary(display, root);
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count);
    for (int i = 0; i < count; ++i) {
        const PixelRect bounds{info[i].x, info[i].y, info[i].width, info[i].height};
        if (bounds.isEmpty()) {
            continue;
        }
        monitors.bounds.push_back(bounds);
        if (!monitors.primary && isPrimary(info[i], primaryOutput)) {
            monitors.primary = bounds;
        }
    }
    if (info) {
        XRRFreeMonitors(info);
    }
    return monitors;
}

// RandR 1.3 and 1.4: every lit CRTC, and the primary output's.
Monitors crtcMonitors(Display* display, Window root) {
    Monitors monitors;
    std::unique_ptr<XRRScreenResources, ResourcesDeleter> resources(
        XRRGetScreenResourcesCurrent(display, root));
    if (!resources) {
        return monitors;
    }
    for (int i = 0; i < resources->ncrtc; ++i) {
        if (auto bounds = crtcBounds(display, resources.get(), resources->crtcs[i])) {
            monitors.bounds.push_back(*bounds);
        }
    }
    monitors.primary = primaryBounds(display, root, resources.get());
    return monitors;
}

// The main display holds the global origin: the primary monitor, else the one at the
// root's origin, else the first one.
PixelRect mainOf(const Monitors& monitors) {
    if (monitors.primary) {
        return *monitors.primary;
    }
    const PixelRect origin{0, 0, 1, 1};
    for (const PixelRect& monitor : monitors.bounds) {
        if (monitor.containsRect(origin)) {
            return monitor;
        }
    }
    return monitors.bounds.front();
}

}  // namespace

// The monitors come from RandR (1.5 monitors, else lit CRTCs); a server without RandR,
// or with nothing lit, has one monitor: the root.
ScreenLayout ScreenLayout::query(Display* display, XWindowId root) {
    ScreenLayout layout;
    layout.root_ = rootBounds(display, root);
    const int version = randrVersion(display);
    Monitors monitors;
    if (version >= 105) {
        monitors = randrMonitors(display, root);
    } else if (version >= 103) {
        monitors = crtcMonitors(display, root);
    }
    if (monitors.bounds.empty()) {
        monitors.bounds = {layout.root_};
    }
    layout.monitors_ = monitors.bounds;
    layout.main_ = mainOf(monitors);
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
