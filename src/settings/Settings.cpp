#include "settings/Settings.h"

#include <variant>

#include "platform/UserDefaults.h"

namespace talvex {

RefreshSpeed currentRefreshSpeed(const UserDefaults& defaults) {
    switch (defaults.integerForKey(keys::refreshSpeed)) {
        case -1:
            return RefreshSpeed::slow;
        case 1:
            return RefreshSpeed::fast;
        default:
            return RefreshSpeed::normal;
    }
}

ViewArea currentViewArea(const UserDefaults& defaults) {
    return defaults.integerForKey(keys::viewArea) == 1 ? ViewArea::mousePointer
                                                       : ViewArea::underWindow;
}

bool isStripeStrength(std::int64_t percent) {
    return percent == 25 || percent == 50 || percent == 75 || percent == 100;
}

int currentStripeStrength(const UserDefaults& defaults) {
    const std::int64_t stored = defaults.integerForKey(keys::stripeStrength);
    return isStripeStrength(stored) ? static_cast<int>(stored) : 100;
}

bool isMagnification(std::int64_t factor) {
    return factor >= 1 && factor <= largestMagnification;
}

int currentMagnification(const UserDefaults& defaults) {
    const std::int64_t stored = defaults.integerForKey(keys::magnification);
    return isMagnification(stored) ? static_cast<int>(stored) : 1;
}

FindNear currentFindNear(const UserDefaults& defaults) {
    switch (defaults.integerForKey(keys::findNear)) {
        case -1:
            return FindNear::close;
        case 1:
            return FindNear::wide;
        default:
            return FindNear::medium;
    }
}

double findRange(FindNear near) {
    switch (near) {
        case FindNear::close:
            return 8;
        case FindNear::wide:
            return 30;
        case FindNear::medium:
            break;
    }
    return 16;
}

double refreshInterval(RefreshSpeed speed) {
    // Indexed by the speed's position in declaration order: slow, normal, fast.
    static constexpr double intervals[] = {0.1, 0.05, 0.02};
    switch (speed) {
        case RefreshSpeed::slow:
            return intervals[0];
        case RefreshSpeed::fast:
            return intervals[2];
        case RefreshSpeed::normal:
            break;
    }
    return intervals[1];
}

std::int64_t currentPanelShortcut(const UserDefaults& defaults) {
    const auto stored = defaults.persistentValueForKey(keys::panelShortcut);
    if (!stored)
        return defaultPanelShortcut;
    return std::visit([](auto value) { return static_cast<std::int64_t>(value); }, *stored);
}

bool nameColoursEnabled(const UserDefaults& defaults) {
    return defaults.boolForKey(keys::nameColours);
}

}  // namespace talvex
