#include "platform/x11/MotifWmHints.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <array>

namespace talvex {

namespace {

constexpr long hintsFunctions = 1L << 0;
constexpr long functionAll = 1L << 0;
constexpr long functionMove = 1L << 2;
constexpr long functionMinimize = 1L << 3;
constexpr long functionClose = 1L << 5;

// flags, functions, decorations, input mode, status.
using Hints = std::array<long, 5>;

Hints readHints(Display* display, Window window, Atom property) {
    Hints hints{};
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, hints.size(), False, property, &type,
                           &format, &count, &after, &data) == Success &&
        format == 32) {
        const auto* values = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count && i < hints.size(); ++i) {
            hints[i] = values[i];
        }
    }
    if (data) {
        XFree(data);
    }
    return hints;
}

}  // namespace

void MotifWmHints::setMaximizable(Display* display, XWindowId window, bool maximizable) {
    const Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    Hints hints = readHints(display, window, property);
    if (maximizable) {
        hints[0] &= ~hintsFunctions;
        hints[1] = functionAll;
    } else {
        hints[0] |= hintsFunctions;
        // Some managers tie maximising to their own resizing and offer it whenever they
        // may resize: both go. (The window may still resize itself.)
        hints[1] = functionMove | functionMinimize | functionClose;
    }
    XChangeProperty(display, window, property, property, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints.data()), hints.size());
    XFlush(display);
}

}  // namespace talvex
