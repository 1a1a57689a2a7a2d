#include "platform/x11/AreaChangeTracker.h"

#include <X11/extensions/Xdamage.h>

namespace talvex {

AreaChangeTracker::AreaChangeTracker(Display* display) : dpy_(display) {
    int errorBase = 0;
    if (!XDamageQueryExtension(dpy_, &damageEventBase_, &errorBase))
        damageEventBase_ = -1;
}

// 1. Forget the windows that left the area, track the ones that entered it.
// 2. Clear what every damage object has gathered: from here on a change is news.
void AreaChangeTracker::startCapture(const std::vector<StackedWindow>& windows,
                                     const PixelRect& area, std::uint32_t panel) {
    if (!isActive())
        return;
    std::unordered_map<std::uint32_t, XResource> tracked;
    for (const StackedWindow& window : windows) {
        if (!window.bounds.intersects(area))
            continue;
        auto known = damages_.find(window.id);
        tracked.emplace(window.id,
                        known != damages_.end() ? std::move(known->second) : damageFor(window));
    }
    damages_ = std::move(tracked);
    for (const auto& [id, damage] : damages_)
        XDamageSubtract(dpy_, damage.id(), 0, 0);
    captured_ = true;
    changed_ = false;
    area_ = area;
    panel_ = panel;
}

XResource AreaChangeTracker::damageFor(const StackedWindow& window) {
    return XResource(dpy_, XDamageCreate(dpy_, window.id, XDamageReportBoundingBox),
                     &xrelease::destroyDamage);
}

void AreaChangeTracker::handleEvent(const XEvent& event) {
    if (!isActive())
        return;
    if (event.type == damageEventBase_ + XDamageNotify) {
        handleDamage(event);
    } else if (isTreeChange(event)) {
        changed_ = true;
    }
    if (event.type == DestroyNotify)
        forgetDestroyed(static_cast<std::uint32_t>(event.xdestroywindow.window));
}

// The server freed the window's damage object with it. The id may come back at once
// for another client's window, which must get a damage object of its own.
void AreaChangeTracker::forgetDestroyed(std::uint32_t window) {
    const auto known = damages_.find(window);
    if (known == damages_.end())
        return;
    known->second.forget();
    damages_.erase(known);
}

// The damaged box, moved to root pixels, must meet the area to count.
void AreaChangeTracker::handleDamage(const XEvent& event) {
    const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
    if (!damages_.count(static_cast<std::uint32_t>(damage.drawable)))
        return;
    const PixelRect box{damage.geometry.x + damage.area.x, damage.geometry.y + damage.area.y,
                        damage.area.width, damage.area.height};
    if (box.intersects(area_))
        changed_ = true;
}

bool AreaChangeTracker::isTreeChange(const XEvent& event) {
    switch (event.type) {
        case MapNotify:
        case UnmapNotify:
        case ConfigureNotify:
        case DestroyNotify:
        case ReparentNotify:
        case CirculateNotify:
        case GravityNotify:
            return true;
        default:
            return false;
    }
}

bool AreaChangeTracker::unchangedSinceLastCapture(const PixelRect& area,
                                                  std::uint32_t panel) const {
    return isActive() && captured_ && !changed_ && panel == panel_ && area == area_;
}

}  // namespace talvex
