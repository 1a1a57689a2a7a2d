#include "talvex/SettingsActions.h"

#include <algorithm>
#include <array>

#include "settings/Settings.h"

namespace talvex {

namespace {

constexpr std::array appDelegateActions = {
    MenuAction::adoptSpeedSetting,
    MenuAction::adoptViewAreaSetting,
    MenuAction::sendFeedback,
    MenuAction::openWebsite,
    MenuAction::adoptPanelShortcutSetting,
    MenuAction::toggleNameColours,
    MenuAction::adoptStripeStrengthSetting,
};

void checkIf(MenuItem& item, bool on) {
    item.setState(on ? ControlState::on : ControlState::off);
}

std::int64_t rawValue(RefreshSpeed speed) {
    return static_cast<std::int64_t>(speed);
}
std::int64_t rawValue(ViewArea area) {
    return static_cast<std::int64_t>(area);
}

}  // namespace

void adoptSpeedSetting(const MenuItem& sender, UserDefaults& defaults) {
    const std::int64_t tag = sender.tag();
    if (tag < rawValue(RefreshSpeed::slow) || tag > rawValue(RefreshSpeed::fast))
        return;
    defaults.setIntegerForKey(tag, keys::refreshSpeed);
}

void adoptViewAreaSetting(const MenuItem& sender, UserDefaults& defaults) {
    const std::int64_t tag = sender.tag();
    if (tag != rawValue(ViewArea::underWindow) && tag != rawValue(ViewArea::mousePointer))
        return;
    defaults.setIntegerForKey(tag, keys::viewArea);
}

void adoptTalvexSetting(const MenuItem& sender, UserDefaults& defaults) {
    defaults.setIntegerForKey(sender.tag(), keys::redStripesEnabled);
}

void adoptGreenStripeSetting(const MenuItem& sender, UserDefaults& defaults) {
    defaults.setIntegerForKey(sender.tag(), keys::greenStripesEnabled);
}

void adoptStripeStrengthSetting(const MenuItem& sender, UserDefaults& defaults) {
    if (isStripeStrength(sender.tag()))
        defaults.setIntegerForKey(sender.tag(), keys::stripeStrength);
}

void adoptPanelShortcutSetting(const MenuItem& sender, UserDefaults& defaults) {
    defaults.setIntegerForKey(sender.tag(), keys::panelShortcut);
}

void toggleNameColours(UserDefaults& defaults) {
    defaults.setIntegerForKey(nameColoursEnabled(defaults) ? 0 : 1, keys::nameColours);
}

bool appDelegateRespondsTo(MenuAction action) {
    return std::find(appDelegateActions.begin(), appDelegateActions.end(), action) !=
           appDelegateActions.end();
}

bool validateAppDelegateMenuItem(MenuItem& item, const UserDefaults& defaults) {
    switch (item.action()) {
        case MenuAction::adoptSpeedSetting:
            checkIf(item, item.tag() == rawValue(currentRefreshSpeed(defaults)));
            return true;
        case MenuAction::adoptViewAreaSetting:
            checkIf(item, item.tag() == rawValue(currentViewArea(defaults)));
            return true;
        case MenuAction::adoptPanelShortcutSetting:
            checkIf(item, item.tag() == currentPanelShortcut(defaults));
            return true;
        case MenuAction::toggleNameColours:
            checkIf(item, nameColoursEnabled(defaults));
            return true;
        case MenuAction::adoptStripeStrengthSetting:
            checkIf(item, item.tag() == currentStripeStrength(defaults));
            return true;
        default:
            return appDelegateRespondsTo(item.action());
    }
}

bool validateViewControllerMenuItem(MenuItem& item, const UserDefaults& defaults) {
    switch (item.action()) {
        case MenuAction::adoptTalvexSetting:
            checkIf(item, item.tag() == defaults.integerForKey(keys::redStripesEnabled));
            return true;
        case MenuAction::adoptGreenStripeSetting:
            checkIf(item, item.tag() == defaults.integerForKey(keys::greenStripesEnabled));
            return true;
        default:
            return false;
    }
}

}  // namespace talvex
