#include "platform/x11/WindowCompositor.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <bit>
#include <string>

#include "platform/SystemLog.h"
#include "platform/x11/CapturedXImage.h"
#include "platform/x11/XErrorTrap.h"

namespace talvex {

namespace {

bool hasExtensions(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return XCompositeQueryExtension(display, &eventBase, &errorBase) &&
           XCompositeQueryVersion(display, &major, &minor) &&
           XRenderQueryExtension(display, &eventBase, &errorBase);
}

bool hasAlpha(const XRenderPictFormat* format) {
    return format->type == PictTypeDirect && format->direct.alphaMask != 0;
}

// Where a shared-memory request failed, for the log.
std::string sizeText(int width, int height) {
    return "for a capture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Xlib hands pixels over in the server's byte order; the view reads them as words in
// the host's order (on a little-endian host: bytes B, G, R, A).
bool needsByteSwap(const XImageBuffer& buffer) {
    return buffer.mostSignificantByteFirst() != (std::endian::native == std::endian::big);
}

void swapPixelBytes(XImageBuffer& buffer) {
    for (std::size_t row = 0; row < buffer.height(); ++row) {
        std::uint8_t* p = buffer.data() + row * buffer.bytesPerRow();
        for (std::size_t x = 0; x < buffer.width(); ++x, p += 4) {
            std::swap(p[0], p[3]);
            std::swap(p[1], p[2]);
        }
    }
}

}  // namespace

std::unique_ptr<WindowCompositor> WindowCompositor::create(std::shared_ptr<XDisplay> display) {
    if (!display || !hasExtensions(display->get())) {
        return nullptr;
    }
    auto compositor = std::make_unique<WindowCompositor>(Key{}, std::move(display));
    if (!compositor->initialise()) {
        return nullptr;
    }
    return compositor;
}

WindowCompositor::WindowCompositor(Key, std::shared_ptr<XDisplay> display)
    : display_(std::move(display)), dpy_(display_->get()), root_(display_->root()) {}

// 1. Redirect the root's children once; the server undoes it when we disconnect.
// 2. Hear about monitor changes, wallpaper changes and changes of the window tree
//    instead of asking every frame.
// 3. Learn the picture format of every visual, and the 32-bit one we compose into.
bool WindowCompositor::initialise() {
    XCompositeRedirectSubwindows(dpy_, root_, CompositeRedirectAutomatic);
    XSelectInput(dpy_, root_, PropertyChangeMask | StructureNotifyMask | SubstructureNotifyMask);
    changes_ = std::make_unique<AreaChangeTracker>(dpy_);
    int errorBase = 0;
    if (XRRQueryExtension(dpy_, &randrEventBase_, &errorBase)) {
        XRRSelectInput(
            dpy_, root_,
            RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    } else {
        randrEventBase_ = -1;
    }
    wallpaperAtoms_[0] = XInternAtom(dpy_, "_XROOTPMAP_ID", False);
    wallpaperAtoms_[1] = XInternAtom(dpy_, "ESETROOT_PMAP_ID", False);
    buildFormatTable();
    rootBackground_ = std::make_unique<RootBackground>(dpy_, root_, display_->screen());
    argb32_ = XRenderFindStandardFormat(dpy_, PictStandardARGB32);
    if (!XShmQueryExtension(dpy_)) {
        sharedPixmaps_.turnOff();
        sharedMemory_.turnOff();
        systemLog("The X server lacks MIT-SHM; captures are copied through the connection.");
    }
    return argb32_ != nullptr;
}

void WindowCompositor::buildFormatTable() {
    XVisualInfo wanted{};
    wanted.screen = display_->screen();
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(dpy_, VisualScreenMask, &wanted, &count);
    for (int i = 0; i < count; ++i) {
        if (XRenderPictFormat* format = XRenderFindVisualFormat(dpy_, visuals[i].visual)) {
            formats_[visuals[i].visualid] = format;
        }
        if (visuals[i].depth == 32 && !visual32_) {
            visual32_ = visuals[i].visual;
        }
    }
    if (visuals) {
        XFree(visuals);
    }
}

void WindowCompositor::processEvents() {
    while (!display_->lost() && XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        if (display_->lost())
            break;
        if (isAboutOurBackground(event)) {
            if (event.type == DestroyNotify)
                rootBackground_->windowDestroyed();
            continue;
        }
        changes_->handleEvent(event);
        if (event.type == PropertyNotify) {
            const Atom atom = event.xproperty.atom;
            if (atom == wallpaperAtoms_[0] || atom == wallpaperAtoms_[1]) {
                wallpaperStale_ = true;
                changes_->markChanged();
            }
        } else if ((event.type == ConfigureNotify && event.xconfigure.window == root_) ||
                   (randrEventBase_ >= 0 && event.type >= randrEventBase_ &&
                    event.type <= randrEventBase_ + RRNotify)) {
            layoutStale_ = true;
            changes_->markChanged();
        }
    }
}

// Moving our background window changes nothing beneath anyone.
bool WindowCompositor::isAboutOurBackground(const XEvent& event) const {
    return AreaChangeTracker::isTreeChange(event) &&
           rootBackground_->isOurs(event.xconfigure.window);
}

bool WindowCompositor::unchangedSinceLastCapture(const PixelRect& area, XWindowId window) {
    if (display_->lost())
        return false;
    processEvents();
    return changes_->unchangedSinceLastCapture(area, window);
}

bool WindowCompositor::readChanges() {
    if (display_->lost())
        return false;
    const bool changedBefore = changes_->changedSinceLastCapture();
    processEvents();
    return !changedBefore && changes_->changedSinceLastCapture();
}

const ScreenLayout& WindowCompositor::layout() {
    processEvents();
    if (layoutStale_) {
        layout_ = ScreenLayout::query(dpy_, root_);
        layoutStale_ = false;
    }
    return layout_;
}

// The wallpaper pixmap that desktop setters publish on the root (root depth, tiled from
// the root's origin like a root background).
void WindowCompositor::refreshWallpaper() {
    wallpaperStale_ = false;
    wallpaper_.reset();
    for (Atom atom : wallpaperAtoms_) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long remaining = 0;
        unsigned char* value = nullptr;
        const int status = XGetWindowProperty(dpy_, root_, atom, 0, 1, False, XA_PIXMAP, &type,
                                              &format, &items, &remaining, &value);
        Pixmap pixmap = 0;
        if (status == Success && type == XA_PIXMAP && format == 32 && items == 1) {
            pixmap = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(value));
        }
        if (value) {
            XFree(value);
        }
        XRenderPictFormat* rootFormat =
            XRenderFindVisualFormat(dpy_, DefaultVisual(dpy_, display_->screen()));
        if (pixmap != 0 && rootFormat) {
            XRenderPictureAttributes attributes{};
            attributes.repeat = RepeatNormal;
            wallpaper_ = XResource(
                dpy_, XRenderCreatePicture(dpy_, pixmap, rootFormat, CPRepeat, &attributes),
                &xrelease::freePicture);
            return;
        }
    }
}

// A buffer that a captured image still holds is freed here, on the capturing thread,
// once the image has let go, rather than by the image on whatever thread drops it.
void WindowCompositor::retireTargets(TargetList::iterator first, TargetList::iterator last) {
    for (auto it = first; it != last; ++it) {
        if ((*it)->buffer) {
            retired_.push_back(std::move((*it)->buffer));
        }
    }
    targets_.erase(first, last);
}

void WindowCompositor::freeRetiredBuffers() {
    std::erase_if(retired_, [](const auto& buffer) { return buffer.use_count() == 1; });
}

void WindowCompositor::refuseSharedPixmaps() {
    sharedPixmaps_.failed("as a test asked");
    retireTargets(targets_.begin(), targets_.end());
}

// Targets are kept between frames while the size stays. Shared-memory pixmaps the
// server refused are asked for again now and then; meanwhile the targets are the
// server's own.
WindowCompositor::Target* WindowCompositor::prepareTarget(int width, int height) {
    if (!targets_.empty() &&
        (targets_.front()->width != width || targets_.front()->height != height)) {
        retireTargets(targets_.begin(), targets_.end());
    }
    if (sharedPixmaps_.shouldTry()) {
        if (!targets_.empty() && targets_.front()->pixmap) {
            retireTargets(targets_.begin(), targets_.end());  // the server's, of the slow way
        }
        if (Target* target = reusableSharedTarget(width, height)) {
            sharedPixmaps_.succeeded();
            return target;
        }
        sharedPixmaps_.failed(sizeText(width, height));
        retireTargets(targets_.begin(), targets_.end());
    }
    return serverTarget(width, height);
}

// Only this object hands out references to buffers, under the caller's serialisation:
// a use count of one cannot rise behind our back.
WindowCompositor::Target* WindowCompositor::reusableSharedTarget(int width, int height) {
    for (auto& target : targets_) {
        if (target->buffer.use_count() == 1) {
            return target.get();
        }
    }
    auto fresh = std::make_unique<Target>();
    fresh->width = width;
    fresh->height = height;
    fresh->buffer = XImageBuffer::createShared(display_, width, height, 32, visual32_);
    const unsigned long pixmap = fresh->buffer ? fresh->buffer->pixmap(root_) : 0;
    if (pixmap == 0) {
        return nullptr;
    }
    fresh->picture = XResource(dpy_, XRenderCreatePicture(dpy_, pixmap, argb32_, 0, nullptr),
                               &xrelease::freePicture);
    if (targets_.size() >= 2) {
        retireTargets(targets_.begin(), targets_.begin() + 1);
    }
    targets_.push_back(std::move(fresh));
    return targets_.back().get();
}

WindowCompositor::Target* WindowCompositor::serverTarget(int width, int height) {
    if (!targets_.empty()) {
        return targets_.front().get();
    }
    XErrorTrap trap(dpy_);
    auto fresh = std::make_unique<Target>();
    fresh->width = width;
    fresh->height = height;
    fresh->pixmap = XResource(
        dpy_,
        XCreatePixmap(dpy_, root_, static_cast<unsigned>(width), static_cast<unsigned>(height), 32),
        &xrelease::freePixmap);
    fresh->picture =
        XResource(dpy_, XRenderCreatePicture(dpy_, fresh->pixmap.id(), argb32_, 0, nullptr),
                  &xrelease::freePicture);
    if (trap.failed()) {
        return nullptr;
    }
    targets_.push_back(std::move(fresh));
    return targets_.back().get();
}

// Which part of each window shows, from the top down: an opaque window hides what lies
// below it, a translucent one does not. Windows that show nothing are left out, and
// once opaque windows cover the whole area nothing below them is looked at. What no
// opaque window covers is `background`. The layers come out bottom to top.
std::vector<WindowCompositor::Layer> WindowCompositor::planLayers(
    const std::vector<StackedWindow>& stack, const PixelRect& area, ClipRegion& background) const {
    std::vector<Layer> layers;
    ClipRegion covered;
    for (std::size_t i = stack.size(); i-- > 0 && !covered.contains(area);) {
        const PixelRect part = stack[i].bounds.intersected(area);
        auto format = formats_.find(stack[i].visual);
        if (part.isEmpty() || format == formats_.end()) {
            continue;
        }
        ClipRegion visible(part);
        visible.subtract(covered);
        if (visible.isEmpty()) {
            continue;
        }
        if (!hasAlpha(format->second)) {
            covered.add(part);
        }
        layers.push_back({&stack[i], format->second, std::move(visible)});
    }
    std::reverse(layers.begin(), layers.end());
    background = ClipRegion(area);
    background.subtract(covered);
    return layers;
}

// Drawing into the target is limited to `region` (root pixels).
void WindowCompositor::clipTo(const Target& target, ClipRegion& region, const PixelRect& area) {
    region.offset(-area.x, -area.y);
    XRenderSetPictureClipRegion(dpy_, target.picture.id(), region.get());
    region.offset(area.x, area.y);
}

// Black first: off the root nothing else is painted.
void WindowCompositor::paintBackground(const Target& target, const PixelRect& area) {
    const XRenderColor black{0, 0, 0, 0xffff};
    XRenderFillRectangle(dpy_, PictOpSrc, target.picture.id(), &black, 0, 0,
                         static_cast<unsigned>(area.width), static_cast<unsigned>(area.height));
    if (rootBackground_->paint(target.picture.id(), area.intersected(layout().root()), area)) {
        return;
    }
    if (wallpaperStale_) {
        refreshWallpaper();
    }
    if (wallpaper_) {
        XRenderComposite(dpy_, PictOpOver, wallpaper_.id(), 0, target.picture.id(), area.x, area.y,
                         0, 0, 0, 0, static_cast<unsigned>(area.width),
                         static_cast<unsigned>(area.height));
    }
}

// A window's own picture reads its redirected contents, children included. Every layer
// blends over what lies below (PictOpOver): for an opaque window the server's renderer
// reduces that to a copy, and where a window shrank since the walk the target keeps
// opaque pixels instead of the transparent ones a copy would write. A window that
// vanished since the walk only raises errors the policy absorbs.
void WindowCompositor::compositeLayer(const Target& target, const Layer& layer,
                                      const PixelRect& area) {
    const StackedWindow& window = *layer.window;
    const PixelRect part = window.bounds.intersected(area);
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors;
    XResource source(
        dpy_, XRenderCreatePicture(dpy_, window.id, layer.format, CPSubwindowMode, &attributes),
        &xrelease::freePicture);
    XRenderComposite(dpy_, PictOpOver, source.id(), 0, target.picture.id(),
                     part.x - window.bounds.x, part.y - window.bounds.y, 0, 0, part.x - area.x,
                     part.y - area.y, static_cast<unsigned>(part.width),
                     static_cast<unsigned>(part.height));
}

// A shared pixmap (a target without a server pixmap of its own) holds the picture as
// soon as the server has handled our requests; a server pixmap is read back, also when
// its target keeps a shared buffer to read into.
std::shared_ptr<XImageBuffer> WindowCompositor::finish(Target& target) {
    if (!target.pixmap) {
        XSync(dpy_, False);
        return display_->lost() ? nullptr : target.buffer;
    }
    return readBack(target);
}

// Into shared memory when the server can attach ours, else a copy through the socket.
std::shared_ptr<XImageBuffer> WindowCompositor::readBack(Target& target) {
    if (!target.buffer && sharedMemory_.shouldTry()) {
        target.buffer =
            XImageBuffer::createShared(display_, target.width, target.height, 32, visual32_);
        if (target.buffer) {
            sharedMemory_.succeeded();
        } else {
            sharedMemory_.failed(sizeText(target.width, target.height));
        }
    }
    if (!target.buffer) {
        return XImageBuffer::read(display_, target.pixmap.id(), target.width, target.height);
    }
    if (target.buffer.use_count() > 1) {
        // The last picture is still on its way to the screen: read into a fresh buffer.
        retired_.push_back(std::move(target.buffer));
        target.buffer =
            XImageBuffer::createShared(display_, target.width, target.height, 32, visual32_);
    }
    if (!target.buffer || !target.buffer->fillFrom(target.pixmap.id())) {
        return nullptr;
    }
    return target.buffer;
}

// 1. Drop areas that are empty, oversized or off every monitor.
// 2. The windows below our top-level window, bottom to top.
// 3. Work out which part of each window shows, and where the background does.
// 4. Paint each of them there, bottom to top; read the result back.
std::unique_ptr<CapturedImage> WindowCompositor::imageBelowWindow(const PixelRect& area,
                                                                  XWindowId window) {
    if (display_->lost() || area.isEmpty() || area.width > maximumSide ||
        area.height > maximumSide || !layout().isOnScreen(area)) {
        return nullptr;
    }
    freeRetiredBuffers();
    auto stack = WindowStack::below(dpy_, static_cast<XWindowId>(root_), window);
    if (stack) {
        std::erase_if(*stack,
                      [&](const StackedWindow& w) { return rootBackground_->isOurs(w.id); });
    }
    // A connection that broke during the walk takes no further requests.
    Target* target = stack && !display_->lost() ? prepareTarget(area.width, area.height) : nullptr;
    if (!target) {
        return nullptr;
    }
    processEvents();
    changes_->startCapture(*stack, area, window);
    ClipRegion background;
    std::vector<Layer> layers = planLayers(*stack, area, background);
    if (!background.isEmpty()) {
        clipTo(*target, background, area);
        paintBackground(*target, area);
    }
    for (Layer& layer : layers) {
        clipTo(*target, layer.visible, area);
        compositeLayer(*target, layer, area);
    }
    std::shared_ptr<XImageBuffer> pixels = finish(*target);
    if (!pixels || pixels->bitsPerPixel() != 32) {
        return nullptr;
    }
    if (needsByteSwap(*pixels)) {
        swapPixelBytes(*pixels);
    }
    return std::make_unique<CapturedXImage>(std::move(pixels));
}

}  // namespace talvex
