#include "settings/LensSettings.h"

#include "platform/UserDefaults.h"

namespace talvex {

LensSettings LensSettings::read(const UserDefaults& defaults) {
    return {
        .redStripes = defaults.integerForKey(keys::redStripesEnabled),
        .greenStripes = defaults.integerForKey(keys::greenStripesEnabled),
        .strength = currentStripeStrength(defaults),
        .speed = currentRefreshSpeed(defaults),
        .area = currentViewArea(defaults),
        .magnification = currentMagnification(defaults),
        .findNear = currentFindNear(defaults),
        .nameColours = nameColoursEnabled(defaults),
        .panelShortcut = currentPanelShortcut(defaults),
    };
}

}  // namespace talvex
