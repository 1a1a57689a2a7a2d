#include "talvex/TXViewController.h"

#include "talvex/SettingsActions.h"

namespace talvex {

void TXViewController::adoptTalvexSetting(const MenuItem& sender) {
    talvex::adoptTalvexSetting(sender);
}

void TXViewController::adoptGreenStripeSetting(const MenuItem& sender) {
    talvex::adoptGreenStripeSetting(sender);
}

void TXViewController::toggleHoldPicture() {
    if (!view_)
        return;
    const bool hold = !view_->held();
    view_->setHeld(hold);
    if (QWidget* panel = view_->window())
        panel->setWindowTitle(hold ? QStringLiteral("Talvex (held)") : QStringLiteral("Talvex"));
}

bool TXViewController::validateMenuItem(MenuItem& item) {
    if (item.action() == MenuAction::toggleHoldPicture) {
        item.setState(view_ && view_->held() ? ControlState::on : ControlState::off);
        return view_ != nullptr;
    }
    return validateViewControllerMenuItem(item);
}

bool TXViewController::respondsTo(MenuAction action) const {
    return action == MenuAction::adoptTalvexSetting ||
           action == MenuAction::adoptGreenStripeSetting || action == MenuAction::toggleHoldPicture;
}

bool TXViewController::perform(const MenuItem& sender) {
    switch (sender.action()) {
        case MenuAction::adoptTalvexSetting:
            adoptTalvexSetting(sender);
            return true;
        case MenuAction::adoptGreenStripeSetting:
            adoptGreenStripeSetting(sender);
            return true;
        case MenuAction::toggleHoldPicture:
            toggleHoldPicture();
            return true;
        default:
            return false;
    }
}

}  // namespace talvex
