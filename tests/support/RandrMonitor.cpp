#include "support/RandrMonitor.h"

// Xlib last: its macros collide with other names.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace talvex::test {

void defineMonitor(Display* display, const char* name, PixelRect bounds, unsigned long output) {
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, output == None ? 0 : 1);
    monitor->name = XInternAtom(display, name, False);
    monitor->primary = False;
    monitor->x = bounds.x;
    monitor->y = bounds.y;
    monitor->width = bounds.width;
    monitor->height = bounds.height;
    monitor->mwidth = bounds.width / 4;
    monitor->mheight = bounds.height / 4;
    if (output != None)
        monitor->outputs[0] = output;
    XRRSetMonitor(display, DefaultRootWindow(display), monitor);
    XRRFreeMonitors(monitor);
    XSync(display, False);
}

}  // namespace talvex::test
