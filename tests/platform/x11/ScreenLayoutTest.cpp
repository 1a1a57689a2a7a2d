// The main display and the monitors as RandR reports them, on an Xvfb of the test's
// own whose monitors the test defines (as xrandr --setmonitor does).
#include <gtest/gtest.h>

#include <memory>

#include "platform/x11/ScreenLayout.h"
#include "support/PrivateXServer.h"

// Xlib last: its macros collide with other names.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace talvex {
namespace {

// Defines monitor `name` over `bounds` (root pixels), made of `output` (None: no
// output).
void setMonitor(Display* display, const char* name, PixelRect bounds, RROutput output) {
    RROutput outputs[1] = {output};
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
        monitor->outputs[0] = outputs[0];
    XRRSetMonitor(display, DefaultRootWindow(display), monitor);
    XRRFreeMonitors(monitor);
    XSync(display, False);
}

// Xvfb's one output ("screen"), whose own monitor covers the whole root until a
// defined monitor takes the output over.
RROutput onlyOutput(Display* display) {
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    const RROutput output = resources && resources->noutput > 0 ? resources->outputs[0] : None;
    if (resources)
        XRRFreeScreenResources(resources);
    return output;
}

// Two monitors of 640 x 400: the first one listed lies right of and below the one at
// the root's origin. Without a primary, the one at the origin is the main display.
TEST(ScreenLayout, TheMainDisplayIsThePrimaryElseTheMonitorAtTheOrigin) {
    test::PrivateXServer server;
    if (!server.isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    std::unique_ptr<Display, decltype(&XCloseDisplay)> connection(
        XOpenDisplay(server.name().toLatin1().constData()), XCloseDisplay);
    Display* display = connection.get();
    ASSERT_NE(display, nullptr);
    int major = 0, minor = 0;
    if (!XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105)
        GTEST_SKIP() << "no RandR 1.5 monitors";
    const unsigned long root = DefaultRootWindow(display);
    const PixelRect origin{0, 0, 640, 400};
    const PixelRect rightBelow{640, 400, 640, 400};
    setMonitor(display, "RightBelow", rightBelow, onlyOutput(display));
    setMonitor(display, "Origin", origin, None);

    ScreenLayout layout = ScreenLayout::query(display, root);
    ASSERT_EQ(layout.monitors().size(), 2u);
    EXPECT_EQ(layout.monitors().front(), rightBelow) << "listed first";
    EXPECT_EQ(layout.mainDisplay(), origin);
    EXPECT_TRUE(layout.isOnScreen({900, 500, 10, 10}));
    EXPECT_FALSE(layout.isOnScreen({900, 100, 10, 10})) << "right of the main, above the other";

    XRRSetOutputPrimary(display, root, onlyOutput(display));
    XSync(display, False);
    EXPECT_EQ(ScreenLayout::query(display, root).mainDisplay(), rightBelow);
}

}  // namespace
}  // namespace talvex
