// One window of lens_load's scene, from a process of its own, so that the lens's CPU
// share holds none of the work of drawing it. Plain Xlib, override-redirect windows, no
// window manager needed:
//
//   scene_window bands                    the whole screen in 5 vertical coloured bands,
//                                         at the bottom of the stack
//   scene_window patch X Y W H [SIBLING]  a rectangle that takes a new colour 20 times a
//                                         second, right below the top-level X window
//                                         SIBLING (on top without one)
//   scene_window flicker X Y W H [SIBLING] the same, 100 times a second: faster than
//                                         any refresh speed, so every capture changed
//   scene_window cover X Y W H            a grey rectangle, on top
//
// Prints "ready" once its window is on the screen, then runs until it is ended. The
// windows select no events: the bands and the cover are drawn by the server from their
// backgrounds, so a pointer moving over them costs this process nothing.
#include <sys/prctl.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <X11/Xlib.h>

namespace {

// The pixel of colour r, g, b (0..255) in the default colormap.
unsigned long pixelOf(Display* display, int r, int g, int b) {
    XColor colour{};
    colour.red = static_cast<unsigned short>(r * 257);
    colour.green = static_cast<unsigned short>(g * 257);
    colour.blue = static_cast<unsigned short>(b * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &colour);
    return colour.pixel;
}

// The pixel of hue h (0..359 degrees), saturation s and value v (0..255).
unsigned long pixelOfHsv(Display* display, int h, int s, int v) {
    const double c = v / 255.0 * (s / 255.0);
    const double x = c * (1 - std::fabs(std::fmod(h / 60.0, 2.0) - 1));
    const double m = v / 255.0 - c;
    // Which of red, green, blue takes c and which takes x in each sixth of the circle.
    static const int order[6][2] = {{0, 1}, {1, 0}, {1, 2}, {2, 1}, {2, 0}, {0, 2}};
    double rgb[3] = {0, 0, 0};
    rgb[order[h / 60][0]] = c;
    rgb[order[h / 60][1]] = x;
    auto level = [&](int i) { return static_cast<int>((rgb[i] + m) * 255 + 0.5); };
    return pixelOf(display, level(0), level(1), level(2));
}

Window makeWindow(Display* display, int x, int y, int width, int height) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    return XCreateWindow(display, DefaultRootWindow(display), x, y, width, height, 0,
                         CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect,
                         &attributes);
}

// Maps `window` (after its place in the stack is set), waits until the server has done
// it and says so on stdout.
bool showAndReport(Display* display, Window window) {
    XMapWindow(display, window);
    XSync(display, False);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
        std::fprintf(stderr, "scene_window: the window is not viewable after mapping\n");
        return false;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return true;
}

// Blocks until the process is ended; the window selects no events, so none come. Ends
// the process itself should the server go (Xlib's fatal-error handler).
[[noreturn]] void waitForever(Display* display) {
    XEvent event;
    for (;;)
        XNextEvent(display, &event);
}

int usage() {
    std::fprintf(stderr,
                 "usage: scene_window bands\n"
                 "       scene_window patch|flicker X Y W H [SIBLING]\n"
                 "       scene_window cover X Y W H\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const char* mode = argv[1];
    const bool bands = std::strcmp(mode, "bands") == 0;
    const bool flicker = std::strcmp(mode, "flicker") == 0;
    const bool patch = flicker || std::strcmp(mode, "patch") == 0;
    const bool cover = std::strcmp(mode, "cover") == 0;
    if (!(bands && argc == 2) && !(patch && (argc == 6 || argc == 7)) && !(cover && argc == 6))
        return usage();
    // Ends with the benchmark, should it end without ending this process first.
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "scene_window: no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);

    if (bands) {
        const int width = DisplayWidth(display, screen);
        const int height = DisplayHeight(display, screen);
        const Window window = makeWindow(display, 0, 0, width, height);
        // The bands are the window's background, so the server itself repaints what is
        // exposed.
        const Pixmap picture =
            XCreatePixmap(display, window, width, height, DefaultDepth(display, screen));
        GC gc = XCreateGC(display, picture, 0, nullptr);
        const int colours[5][3] = {
            {220, 30, 30}, {30, 170, 40}, {250, 130, 0}, {0, 130, 130}, {200, 200, 200}};
        const int band = width / 5;
        for (int i = 0; i < 5; ++i) {
            XSetForeground(display, gc,
                           pixelOf(display, colours[i][0], colours[i][1], colours[i][2]));
            XFillRectangle(display, picture, gc, i * band, 0, i == 4 ? width - i * band : band,
                           height);
        }
        XFreeGC(display, gc);
        XSetWindowBackgroundPixmap(display, window, picture);
        XFreePixmap(display, picture);  // the window keeps it
        XLowerWindow(display, window);
        if (!showAndReport(display, window))
            return 1;
        waitForever(display);
    }

    const int x = std::atoi(argv[2]);
    const int y = std::atoi(argv[3]);
    const int width = std::atoi(argv[4]);
    const int height = std::atoi(argv[5]);
    if (width <= 0 || height <= 0)
        return usage();
    const Window window = makeWindow(display, x, y, width, height);

    if (cover) {
        XSetWindowBackground(display, window, pixelOf(display, 128, 128, 128));
        XRaiseWindow(display, window);
        if (!showAndReport(display, window))
            return 1;
        waitForever(display);
    }

    // Never the same colour twice in a row, so every capture of it differs from the last.
    int step = 0;
    XSetWindowBackground(display, window, pixelOfHsv(display, 0, 200, 220));
    if (argc == 7) {
        XWindowChanges changes{};
        changes.sibling = static_cast<Window>(std::strtoul(argv[6], nullptr, 0));
        changes.stack_mode = Below;
        XConfigureWindow(display, window, CWSibling | CWStackMode, &changes);
    }
    if (!showAndReport(display, window))
        return 1;
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        next += std::chrono::milliseconds(flicker ? 10 : 50);
        std::this_thread::sleep_until(next);
        ++step;
        XSetWindowBackground(display, window, pixelOfHsv(display, step * 7 % 360, 200, 220));
        XClearWindow(display, window);
        XFlush(display);
    }
}
