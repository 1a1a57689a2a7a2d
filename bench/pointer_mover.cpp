// Moves the pointer in a circle of 60 pixels around X Y every 15 ms until it is ended,
// from a process of its own, so that a benchmark's own CPU time holds none of it.
#include <X11/Xlib.h>

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
    const Window root = DefaultRootWindow(display);
    for (double angle = 0;; angle += 0.2) {
        XWarpPointer(display, None, root, 0, 0, 0, 0, x + int(60 * std::cos(angle)),
                     y + int(60 * std::sin(angle)));
        XFlush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}
