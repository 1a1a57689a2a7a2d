#pragma once

// The window functions a window manager offers for a window, as the Motif hints
// (_MOTIF_WM_HINTS) describe them. Only the maximise function is set here; the
// decorations that the toolkit chose are kept.
#include "platform/x11/XWindowId.h"

struct _XDisplay;

namespace talvex {

class MotifWmHints {
public:
    // Offers (true) or withholds (false) maximising `window`, and with it the manager's
    // own resizing (the window's own resizing is not affected): a window manager that
    // honours the hints then refuses maximise requests (_NET_WM_STATE, its own frame
    // and menus) and leaves it out of _NET_WM_ALLOWED_ACTIONS. The request is flushed; on a
    // connection shared with the toolkit it is ordered after the toolkit's own hints.
    static void setMaximizable(_XDisplay* display, XWindowId window, bool maximizable);
};

}  // namespace talvex
