#pragma once

// What a compositor that draws the lens needs of the settings (Configure of
// org.talvex.Lens1, docs/LENS-DBUS.md), read from the store as every reader does.
#include <QString>
#include <QVariantMap>
#include <cstdint>

namespace talvex {

class UserDefaults;

namespace lens {

// red-stripes, green-stripes (b), strength (d, 0..1), area ("beneath" or "pointer"),
// held (b), name-colours (b), shortcut (s, an accelerator; "" for none), scale (d).
QVariantMap settingsFor(const UserDefaults& defaults, bool held, double scale);

// A Qt key combination (QKeyCombination::toCombined) as the accelerator text GNOME's
// key grabs take ("<Control><Alt>l"); "" for none or a key it has no name for.
QString accelerator(std::int64_t combined);

}  // namespace lens
}  // namespace talvex
