#include "platform/x11/XWindowId.h"

#include <QWidget>

namespace talvex {

XWindowId nativeWindowId(const QWidget& widget) {
    return static_cast<XWindowId>(widget.internalWinId());
}

}  // namespace talvex
