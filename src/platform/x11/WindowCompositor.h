#pragma once

// Composes, on the X server, the picture of everything below a given top-level window
// within a rectangle of the root, and reads it back.
//
// With the root's children redirected (automatic Composite redirection: the server
// keeps painting the screen as before), every top-level window keeps its full contents
// in an offscreen pixmap, even where other windows cover it. So the picture below a
// window is the bottom-to-top XRender composite of the windows below it, over the
// root's own background (RootBackground), else the desktop's published wallpaper, else
// opaque black (also off the root). The root window itself cannot be the bottom layer:
// under redirection its contents already include every child, our own included.
//
// Internal to the X11 layer. Not thread-safe: one thread at a time (WindowServer
// serialises callers).
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/CapturedImage.h"
#include "platform/Geometry.h"
#include "platform/x11/AreaChangeTracker.h"
#include "platform/x11/ClipRegion.h"
#include "platform/x11/FallbackRetry.h"
#include "platform/x11/RootBackground.h"
#include "platform/x11/ScreenLayout.h"
#include "platform/x11/WindowStack.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XImageBuffer.h"
#include "platform/x11/XResource.h"
#include "platform/x11/XWindowId.h"

namespace talvex {

class WindowCompositor {
    struct Key {
        explicit Key() = default;
    };

public:
    // Largest side of a capture, in pixels; X pixmaps stop at 32767.
    static constexpr int maximumSide = 16384;
    // Shared memory the server refused is asked for again after this many captures.
    static constexpr int capturesBetweenSharedMemoryTries = 250;

    // None when the server lacks Composite or Render.
    static std::unique_ptr<WindowCompositor> create(std::shared_ptr<XDisplay> display);
    WindowCompositor(Key, std::shared_ptr<XDisplay> display);

    // The image of the windows below the top-level window holding `window` within
    // `area` (root pixels): 32-bit B, G, R, A rows, top first, alpha 255. None when the
    // area meets no monitor, is empty or too large, the window is not on screen's
    // window tree, or the server fails.
    std::unique_ptr<CapturedImage> imageBelowWindow(const PixelRect& area, XWindowId window);

    // True when the last capture was of `area` below `window` and the server has
    // reported nothing since that could change it. Always false without DAMAGE.
    bool unchangedSinceLastCapture(const PixelRect& area, XWindowId window);
    // Whether the server reports changes (DAMAGE).
    bool tracksChanges() const { return changes_->isActive(); }
    // Reads what the server reported since it was last read: true when that changed the
    // area of the last capture, which nothing had changed before.
    bool readChanges();

    // The monitor layout, re-read whenever RandR reports a change.
    const ScreenLayout& layout();

    // Whether captures are composed in shared memory now (else on the server and read
    // back, after a refusal, until the next try).
    bool composesInSharedMemory() const { return !sharedPixmaps_.isWaiting(); }
    // Tests: goes on as if the server had just refused a shared-memory pixmap.
    void refuseSharedPixmaps();

private:
    // Where one frame is composed: a 32-bit pixmap and its picture. With shared-memory
    // pixmaps the pixmap's storage is `buffer` itself and composing is all it takes;
    // otherwise the pixmap is the server's own and is read back into a buffer.
    struct Target {
        int width = 0;
        int height = 0;
        std::shared_ptr<XImageBuffer> buffer;
        XResource pixmap;
        XResource picture;
    };

    bool initialise();
    void buildFormatTable();
    void processEvents();
    bool isAboutOurBackground(const XEvent& event) const;
    void refreshWallpaper();
    using TargetList = std::vector<std::unique_ptr<Target>>;
    void retireTargets(TargetList::iterator first, TargetList::iterator last);
    void freeRetiredBuffers();
    Target* prepareTarget(int width, int height);
    Target* reusableSharedTarget(int width, int height);
    Target* serverTarget(int width, int height);
    // One window's share of a frame: the part of it that shows.
    struct Layer {
        const StackedWindow* window;
        XRenderPictFormat* format;
        ClipRegion visible;
    };
    std::vector<Layer> planLayers(const std::vector<StackedWindow>& stack, const PixelRect& area,
                                  ClipRegion& background) const;
    void clipTo(const Target& target, ClipRegion& region, const PixelRect& area);
    void paintBackground(const Target& target, const PixelRect& area);
    void compositeLayer(const Target& target, const Layer& layer, const PixelRect& area);
    std::shared_ptr<XImageBuffer> finish(Target& target);
    std::shared_ptr<XImageBuffer> readBack(Target& target);

    std::shared_ptr<XDisplay> display_;
    Display* dpy_;
    Window root_;
    ScreenLayout layout_;
    bool layoutStale_ = true;
    int randrEventBase_ = -1;
    Atom wallpaperAtoms_[2] = {0, 0};
    XResource wallpaper_;
    bool wallpaperStale_ = true;
    std::unique_ptr<RootBackground> rootBackground_;
    std::unique_ptr<AreaChangeTracker> changes_;
    std::unordered_map<VisualID, XRenderPictFormat*> formats_;
    XRenderPictFormat* argb32_ = nullptr;
    Visual* visual32_ = nullptr;
    // Composing into a pixmap in shared memory; else into a server pixmap read back
    // into shared memory; else read back through the connection.
    FallbackRetry sharedPixmaps_{"Shared-memory pixmaps",
                                 "captures are composed on the server and read back",
                                 capturesBetweenSharedMemoryTries};
    FallbackRetry sharedMemory_{"Shared-memory images",
                                "captures are copied through the connection",
                                capturesBetweenSharedMemoryTries};
    // Targets of the current size. Captured images may still hold a target's buffer;
    // a target is reused once nobody does (two suffice: one on screen, one filling).
    std::vector<std::unique_ptr<Target>> targets_;
    // Buffers of dropped targets that captured images still hold.
    std::vector<std::shared_ptr<XImageBuffer>> retired_;
};

}  // namespace talvex
