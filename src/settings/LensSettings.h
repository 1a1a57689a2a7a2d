#pragma once

// The settings the lens is drawn and captured by, read from the store in one go: a
// small value that the view is handed whenever the store changes and passes on to its
// renderer and, on a Wayland session, to the compositor. Nothing that draws reads the
// store itself. The defaults are those of an empty store with the stripe defaults
// registered.
#include <cstdint>

#include "settings/Settings.h"

namespace talvex {

class UserDefaults;

struct LensSettings {
    // The stripe switches as stored: 0 off, anything else on (the programs take the
    // number itself).
    std::int64_t redStripes = 1;
    std::int64_t greenStripes = 1;
    int strength = 100;  // percent: 25, 50, 75 or 100
    RefreshSpeed speed = RefreshSpeed::normal;
    ViewArea area = ViewArea::underWindow;
    int magnification = 1;  // 1 to largestMagnification
    FindNear findNear = FindNear::medium;
    bool nameColours = false;
    std::int64_t panelShortcut = defaultPanelShortcut;

    // The values in force in `defaults`, by the shared reading rules (Settings.h).
    static LensSettings read(const UserDefaults& defaults);

    friend bool operator==(const LensSettings&, const LensSettings&) = default;
};

}  // namespace talvex
