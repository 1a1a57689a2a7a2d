#pragma once

// What a compositor that draws the lens is told of the settings (Configure of
// org.talvex.Lens1, docs/LENS-DBUS.md).
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <optional>

#include "platform/Rgb.h"
#include "settings/LensSettings.h"

namespace talvex {

namespace lens {

// red-stripes, green-stripes (b), strength (d, 0..1), area ("beneath" or "pointer"),
// held (b), name-colours (b), shortcut (s, an accelerator; "" for none), scale (d),
// magnification (u, 1..4), find-colour (s, "#RRGGBB" while `found`, else ""), find-range
// (d, ΔE*ab), picking (b). While `picking` a colour to find the picture takes the next
// click, and the compositor reports the colour under the pointer (name-colours on),
// since that click picks it.
QVariantMap settingsFor(const LensSettings& settings, bool held, double scale,
                        std::optional<Rgb> found = {}, bool picking = false);

// A Qt key combination (QKeyCombination::toCombined) as the accelerator text GNOME's
// key grabs take ("<Control><Alt>l"); "" for none or a key it has no name for.
QString accelerator(std::int64_t combined);

}  // namespace lens
}  // namespace talvex
