#pragma once

// How every layer names an X window: by its id, 32 bits as on the wire (the server hands
// out 29-bit ids). Xlib's own `Window` (an unsigned long) stays inside the X11 sources.
// A toolkit's id for a native widget (QWidget::winId(), as wide as a pointer) becomes an
// XWindowId in one place, nativeWindowId(), where it enters.
#include <cstdint>

class QWidget;

namespace talvex {

using XWindowId = std::uint32_t;

// The X window of `widget`'s native window; 0 while it has none.
XWindowId nativeWindowId(const QWidget& widget);

}  // namespace talvex
