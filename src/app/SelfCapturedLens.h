#pragma once

// The lens on X11: the view captures what lies beneath the panel (X11Capture) and draws
// it itself, as FilteredView does without a source.
#include "app/LensSource.h"

namespace talvex {

class SelfCapturedLens : public LensSource {
    Q_OBJECT

public:
    bool compositorDraws() const override { return false; }
};

}  // namespace talvex
