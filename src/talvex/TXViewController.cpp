#include "talvex/TXViewController.h"

#include "platform/UserDefaults.h"
#include "talvex/Commands.h"
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
    return validateCommand(item, Responder::viewController, {UserDefaults::standard(), this});
}

bool TXViewController::respondsTo(MenuAction action) const {
    const Command* row = commandFor(action);
    return row && row->responder() == Responder::viewController;
}

bool TXViewController::perform(const MenuItem& sender) {
    const Command* row = commandFor(sender.action());
    if (!row || !row->onPanel)
        return false;
    row->onPanel(*this, sender);
    return true;
}

}  // namespace talvex
