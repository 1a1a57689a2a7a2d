#include "platform/x11/WindowCompositor.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

#include "platform/x11/CapturedXImage.h"
#include "platform/x11/XErrorTrap.h"

namespace talvex {

namespace {

void freePixmap(Display* display, unsigned long id) {
    XFreePixmap(display, id);
}
void freePicture(Display* display, unsigned long id) {
    XRenderFreePicture(display, id);
}

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

// A big-endian server writes 32-bit pixels as A, R, G, B; the view wants B, G, R, A.
void swapToLittleEndian(XImageBuffer& buffer) {
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
// 2. Hear about monitor changes and wallpaper changes instead of asking every frame.
// 3. Learn the picture format of every visual, and the 32-bit one we compose into.
bool WindowCompositor::initialise() {
    XCompositeRedirectSubwindows(dpy_, root_, CompositeRedirectAutomatic);
    XSelectInput(dpy_, root_, PropertyChangeMask | StructureNotifyMask);
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
    argb32_ = XRenderFindStandardFormat(dpy_, PictStandardARGB32);
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
    while (XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        if (event.type == PropertyNotify) {
            const Atom atom = event.xproperty.atom;
            wallpaperStale_ |= atom == wallpaperAtoms_[0] || atom == wallpaperAtoms_[1];
        } else if (event.type == ConfigureNotify ||
                   (randrEventBase_ >= 0 && event.type >= randrEventBase_ &&
                    event.type <= randrEventBase_ + RRNotify)) {
            layoutStale_ = true;
        }
    }
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
                &freePicture);
            return;
        }
    }
}

// The 32-bit pixmap we compose into, kept between frames while the size stays.
bool WindowCompositor::prepareTarget(int width, int height) {
    if (target_.pixmap && target_.width == width && target_.height == height) {
        return true;
    }
    target_ = Target{};
    buffers_.clear();
    XErrorTrap trap(dpy_);
    Target fresh;
    fresh.width = width;
    fresh.height = height;
    fresh.pixmap = XResource(
        dpy_,
        XCreatePixmap(dpy_, root_, static_cast<unsigned>(width), static_cast<unsigned>(height), 32),
        &freePixmap);
    fresh.picture = XResource(
        dpy_, XRenderCreatePicture(dpy_, fresh.pixmap.id(), argb32_, 0, nullptr), &freePicture);
    if (trap.failed()) {
        return false;
    }
    target_ = std::move(fresh);
    return true;
}

// The topmost opaque window that covers the whole area hides everything below it:
// composing starts there, and nothing needs painting underneath. Its index, or
// stack.size() when no window covers the area.
std::size_t WindowCompositor::firstVisibleLayer(const std::vector<StackedWindow>& stack,
                                                const PixelRect& area) const {
    for (std::size_t i = stack.size(); i-- > 0;) {
        auto format = formats_.find(stack[i].visual);
        if (format != formats_.end() && !hasAlpha(format->second) &&
            stack[i].bounds.containsRect(area)) {
            return i;
        }
    }
    return stack.size();
}

void WindowCompositor::paintBackground(const PixelRect& area) {
    const XRenderColor black{0, 0, 0, 0xffff};
    XRenderFillRectangle(dpy_, PictOpSrc, target_.picture.id(), &black, 0, 0,
                         static_cast<unsigned>(area.width), static_cast<unsigned>(area.height));
    if (wallpaperStale_) {
        refreshWallpaper();
    }
    if (wallpaper_) {
        XRenderComposite(dpy_, PictOpOver, wallpaper_.id(), 0, target_.picture.id(), area.x, area.y,
                         0, 0, 0, 0, static_cast<unsigned>(area.width),
                         static_cast<unsigned>(area.height));
    }
}

// A window's own picture reads its redirected contents, children included. Windows
// with alpha always blend over what lies below (PictOpOver). Opaque windows are copied:
// the bottom layer with PictOpSrc; the others with PictOpOver, which the server's
// renderer reduces to a copy for an opaque source, and which leaves the pixels below
// untouched where a window that shrank since the walk no longer reaches. A window that
// vanished since the walk only raises errors the policy absorbs.
void WindowCompositor::compositeWindow(const StackedWindow& window, const PixelRect& area, int op) {
    const PixelRect part = window.bounds.intersected(area);
    auto format = formats_.find(window.visual);
    if (part.isEmpty() || format == formats_.end()) {
        return;
    }
    if (hasAlpha(format->second)) {
        op = PictOpOver;
    }
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors;
    XResource source(
        dpy_, XRenderCreatePicture(dpy_, window.id, format->second, CPSubwindowMode, &attributes),
        &freePicture);
    XRenderComposite(dpy_, op, source.id(), 0, target_.picture.id(), part.x - window.bounds.x,
                     part.y - window.bounds.y, 0, 0, part.x - area.x, part.y - area.y,
                     static_cast<unsigned>(part.width), static_cast<unsigned>(part.height));
}

std::shared_ptr<XImageBuffer> WindowCompositor::reusableBuffer() {
    // Only this object hands out references, under the caller's serialisation: a count
    // of one cannot rise behind our back.
    for (auto& buffer : buffers_) {
        if (buffer.use_count() == 1) {
            return buffer;
        }
    }
    std::shared_ptr<XImageBuffer> fresh =
        XImageBuffer::createShared(display_, target_.width, target_.height, 32, visual32_);
    if (!fresh) {
        return nullptr;
    }
    // Keep at most two: one on screen while the next is filled.
    if (buffers_.size() >= 2) {
        buffers_.erase(buffers_.begin());
    }
    buffers_.push_back(fresh);
    return fresh;
}

// Shared memory when the server can attach ours, else a copy through the socket.
std::shared_ptr<XImageBuffer> WindowCompositor::readBack() {
    std::shared_ptr<XImageBuffer> buffer = sharedMemory_ ? reusableBuffer() : nullptr;
    if (sharedMemory_ && !buffer && buffers_.empty()) {
        sharedMemory_ = false;
    }
    if (buffer) {
        return buffer->fillFrom(target_.pixmap.id()) ? buffer : nullptr;
    }
    if (sharedMemory_) {
        return nullptr;
    }
    return XImageBuffer::read(display_, target_.pixmap.id(), target_.width, target_.height);
}

// 1. Drop areas that are empty, oversized or off every monitor.
// 2. The windows below our top-level window, bottom to top.
// 3. Start from the topmost window that hides all below it, else from the background.
// 4. Compose the rest over it, read the result back.
std::unique_ptr<CapturedImage> WindowCompositor::imageBelowWindow(const PixelRect& area,
                                                                  std::uint32_t window) {
    if (display_->lost() || area.isEmpty() || area.width > maximumSide ||
        area.height > maximumSide || !layout().isOnScreen(area)) {
        return nullptr;
    }
    const auto stack = WindowStack::below(dpy_, static_cast<std::uint32_t>(root_), window);
    if (!stack || !prepareTarget(area.width, area.height)) {
        return nullptr;
    }
    std::size_t first = firstVisibleLayer(*stack, area);
    if (first == stack->size()) {
        paintBackground(area);
        first = 0;
    } else {
        compositeWindow((*stack)[first++], area, PictOpSrc);
    }
    for (std::size_t i = first; i < stack->size(); ++i) {
        compositeWindow((*stack)[i], area, PictOpOver);
    }
    std::shared_ptr<XImageBuffer> pixels = readBack();
    if (!pixels || pixels->bitsPerPixel() != 32) {
        return nullptr;
    }
    if (pixels->mostSignificantByteFirst()) {
        swapToLittleEndian(*pixels);
    }
    return std::make_unique<CapturedXImage>(std::move(pixels));
}

}  // namespace talvex
