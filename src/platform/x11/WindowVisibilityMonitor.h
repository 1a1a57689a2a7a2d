#pragma once

// Tells whether an X window is visible on screen: viewable (it and all its ancestors
// mapped) and not fully covered by other windows. Listens on an X connection of its
// own, so the event mask that Qt keeps on the window is left untouched; events are
// read on the main thread through a socket notifier.
//
// Covered: the server says so (VisibilityNotify) only while nobody redirects windows;
// with the root's children redirected it never does. So changes among the root's
// children are followed too, and after each burst of them the opaque windows above
// ours are checked for covering it whole.
#include <functional>
#include <memory>

#include "platform/x11/XWindowId.h"

namespace talvex {

struct EventConnection;

class WindowVisibilityMonitor {
public:
    // Called on the main thread each time the watched window's visibility changes.
    using Handler = std::function<void(bool visible)>;

    explicit WindowVisibilityMonitor(Handler handler);
    ~WindowVisibilityMonitor();
    WindowVisibilityMonitor(const WindowVisibilityMonitor&) = delete;
    WindowVisibilityMonitor& operator=(const WindowVisibilityMonitor&) = delete;

    // False when no X connection could be opened; the monitor then reports nothing.
    bool isAvailable() const;
    // Watches `windowId` from now on (0 watches nothing). Takes the current map state
    // as the starting point; call it before the window is first mapped so that no
    // change is missed.
    void watch(XWindowId windowId);
    bool isVisible() const { return viewable_ && !fullyObscured_ && !covered_; }

private:
    void readEvents();
    void handleEvent(const void* event);
    void update(bool viewable, bool fullyObscured);
    void update(bool viewable, bool fullyObscured, bool covered);
    bool isStackChange(const void* event) const;
    void scheduleCoverCheck();
    void checkCover();

    Handler handler_;
    std::unique_ptr<EventConnection> connection_;
    XWindowId window_ = 0;
    bool viewable_ = false;
    bool fullyObscured_ = false;
    bool covered_ = false;
    bool coverCheckPending_ = false;
};

}  // namespace talvex
