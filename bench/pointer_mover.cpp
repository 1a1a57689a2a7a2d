// Moves the pointer in a circle of 60 pixels around X Y every 15 ms until it is ended,
// from a process of its own, so that a benchmark's own CPU time holds none of it. The
// moves are XTest's fake device motion, so they come through the server as a mouse's do
// (raw motion events included, which a warp of the pointer never makes).
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pointer_mover X Y\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "pointer_mover: no X display\n");
        return 1;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "pointer_mover: the X server has no XTest\n");
        return 1;
    }
    for (double angle = 0;; angle += 0.2) {
        // Screen -1: the screen the pointer is on.
        XTestFakeMotionEvent(display, -1, x + int(60 * std::cos(angle)),
                             y + int(60 * std::sin(angle)), CurrentTime);
        XFlush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}
