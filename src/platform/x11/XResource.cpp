#include "platform/x11/XResource.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xrender.h>

namespace talvex::xrelease {

void freePixmap(Display* display, unsigned long id) {
    XFreePixmap(display, id);
}

void freePicture(Display* display, unsigned long id) {
    XRenderFreePicture(display, id);
}

void destroyWindow(Display* display, unsigned long id) {
    XDestroyWindow(display, id);
}

void destroyDamage(Display* display, unsigned long id) {
    XDamageDestroy(display, id);
}

}  // namespace talvex::xrelease
