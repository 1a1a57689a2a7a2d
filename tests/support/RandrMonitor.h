#pragma once

// Monitors defined on a test's X server, as xrandr --setmonitor does.
#include "platform/Geometry.h"

struct _XDisplay;

namespace talvex::test {

// Defines monitor `name` over `bounds` (root pixels), made of `output` (0: no output),
// and waits until the server has it.
void defineMonitor(_XDisplay* display, const char* name, PixelRect bounds, unsigned long output);

}  // namespace talvex::test
