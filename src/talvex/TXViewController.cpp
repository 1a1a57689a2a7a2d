#include "talvex/TXViewController.h"

#include "talvex/SettingsActions.h"

namespace talvex {

void TXViewController::adoptTalvexSetting(const MenuItem& sender) {
    talvex::adoptTalvexSetting(sender);
}

void TXViewController::adoptGreenStripeSetting(const MenuItem& sender) {
    talvex::adoptGreenStripeSetting(sender);
}

bool TXViewController::validateMenuItem(MenuItem& item) {
    return validateViewControllerMenuItem(item);
}

bool TXViewController::respondsTo(MenuAction action) const {
    return action == MenuAction::adoptTalvexSetting ||
           action == MenuAction::adoptGreenStripeSetting;
}

bool TXViewController::perform(const MenuItem& sender) {
    switch (sender.action()) {
        case MenuAction::adoptTalvexSetting:
            adoptTalvexSetting(sender);
            return true;
        case MenuAction::adoptGreenStripeSetting:
            adoptGreenStripeSetting(sender);
            return true;
        default:
            return false;
    }
}

}  // namespace talvex
