#include "platform/x11/RootBackground.h"

#include <X11/extensions/shape.h>

#include <string>

namespace talvex {

RootBackground::RootBackground(Display* display, Window root, int screen)
    : dpy_(display), root_(root), screen_(screen) {}

// A compositing manager owns the screen's `_NET_WM_CM_S<n>` selection.
bool RootBackground::compositorRuns() const {
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen_);
    return XGetSelectionOwner(dpy_, XInternAtom(dpy_, name.c_str(), False)) != 0;
}

// 1. Made once: the root's depth and visual, its background, no manager, no input.
// 2. Kept at the bottom of the stack, moved to each new place.
bool RootBackground::ensureWindow(const PixelRect& part) {
    if (!window_) {
        if (unavailable_ || (unavailable_ = compositorRuns()))
            return false;
        int shapeEvent = 0;
        int shapeError = 0;
        if (!XShapeQueryExtension(dpy_, &shapeEvent, &shapeError)) {
            unavailable_ = true;
            return false;
        }
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = ParentRelative;
        attributes.override_redirect = True;
        window_ = XResource(
            dpy_,
            XCreateWindow(dpy_, root_, part.x, part.y, static_cast<unsigned>(part.width),
                          static_cast<unsigned>(part.height), 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWBackPixmap | CWOverrideRedirect, &attributes),
            &xrelease::destroyWindow);
        XShapeCombineRectangles(dpy_, window_.id(), ShapeInput, 0, 0, nullptr, 0, ShapeSet,
                                Unsorted);
        XLowerWindow(dpy_, window_.id());
        XMapWindow(dpy_, window_.id());
        XRenderPictFormat* format = XRenderFindVisualFormat(dpy_, DefaultVisual(dpy_, screen_));
        if (!format)
            return false;
        picture_ = XResource(dpy_, XRenderCreatePicture(dpy_, window_.id(), format, 0, nullptr),
                             &xrelease::freePicture);
        placed_ = part;
    }
    if (!(placed_ == part)) {
        XMoveResizeWindow(dpy_, window_.id(), part.x, part.y, static_cast<unsigned>(part.width),
                          static_cast<unsigned>(part.height));
        XLowerWindow(dpy_, window_.id());
        placed_ = part;
    }
    return true;
}

// The window is painted afresh each time: the root's background may have changed.
bool RootBackground::paint(Picture target, const PixelRect& part, const PixelRect& area) {
    if (part.isEmpty() || !ensureWindow(part) || !picture_)
        return false;
    XClearArea(dpy_, window_.id(), 0, 0, 0, 0, False);
    XRenderComposite(dpy_, PictOpSrc, picture_.id(), 0, target, 0, 0, 0, 0, part.x - area.x,
                     part.y - area.y, static_cast<unsigned>(part.width),
                     static_cast<unsigned>(part.height));
    return true;
}

}  // namespace talvex
