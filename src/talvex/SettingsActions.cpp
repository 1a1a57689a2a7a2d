#include "talvex/SettingsActions.h"

#include "settings/Settings.h"
#include "talvex/ItemTable.h"

namespace talvex {

namespace {

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

void adoptRedStripeSetting(const MenuItem& sender, UserDefaults& defaults) {
    defaults.setIntegerForKey(sender.tag(), keys::redStripesEnabled);
}

void adoptGreenStripeSetting(const MenuItem& sender, UserDefaults& defaults) {
    defaults.setIntegerForKey(sender.tag(), keys::greenStripesEnabled);
}

void adoptStripeStrengthSetting(const MenuItem& sender, UserDefaults& defaults) {
    if (isStripeStrength(sender.tag()))
        defaults.setIntegerForKey(sender.tag(), keys::stripeStrength);
}

void adoptMagnificationSetting(const MenuItem& sender, UserDefaults& defaults) {
    if (isMagnification(sender.tag()))
        defaults.setIntegerForKey(sender.tag(), keys::magnification);
}

void stepMagnification(const MenuItem& sender, UserDefaults& defaults) {
    if (sender.tag() != 1 && sender.tag() != -1)
        return;
    const std::int64_t next = currentMagnification(defaults) + sender.tag();
    if (isMagnification(next))
        defaults.setIntegerForKey(next, keys::magnification);
}

void adoptFindNearSetting(const MenuItem& sender, UserDefaults& defaults) {
    const std::int64_t tag = sender.tag();
    if (tag >= static_cast<std::int64_t>(FindNear::close) &&
        tag <= static_cast<std::int64_t>(FindNear::wide))
        defaults.setIntegerForKey(tag, keys::findNear);
}

// A key of Talvex's own is refused: grabbed for the panel, it would reach Talvex no more.
void adoptPanelShortcutSetting(const MenuItem& sender, UserDefaults& defaults) {
    if (!commandUsingKey(sender.tag()).empty())
        return;
    defaults.setIntegerForKey(sender.tag(), keys::panelShortcut);
}

void toggleNameColours(UserDefaults& defaults) {
    defaults.setIntegerForKey(nameColoursEnabled(defaults) ? 0 : 1, keys::nameColours);
}

}  // namespace talvex
