#include "talvex/TXViewController.h"

#include "platform/UserDefaults.h"
#include "render/ColourNamer.h"
#include "talvex/Commands.h"
#include "talvex/SettingsActions.h"

namespace talvex {

TXViewController::TXViewController(FilteredView* view) : view_(view) {
    if (view_)
        foundColourShown_ =
            QObject::connect(view_, &FilteredView::foundColourChanged, [this] { showTitle(); });
}

TXViewController::~TXViewController() {
    QObject::disconnect(foundColourShown_);
}

void TXViewController::adoptTalvexSetting(const MenuItem& sender) {
    talvex::adoptTalvexSetting(sender);
}

void TXViewController::adoptGreenStripeSetting(const MenuItem& sender) {
    talvex::adoptGreenStripeSetting(sender);
}

void TXViewController::toggleHoldPicture() {
    if (!view_)
        return;
    view_->setHeld(!view_->held());
    showTitle();
}

void TXViewController::toggleFindColour() {
    if (!view_)
        return;
    if (view_->pickingColour() || view_->foundColour())
        view_->findColour(std::nullopt);
    else
        view_->startPickingColour();
}

void TXViewController::findColour(Rgb colour) {
    if (view_)
        view_->findColour(colour);
}

// Finding says more than holding: a held picture may be searched too.
void TXViewController::showTitle() {
    QWidget* panel = view_ ? view_->window() : nullptr;
    if (!panel)
        return;
    QString title = view_->held() ? QStringLiteral("Talvex (held)") : QStringLiteral("Talvex");
    if (const std::optional<Rgb> found = view_->foundColour()) {
        title = QStringLiteral("finding: ") +
                QString::fromStdString(ColourNamer::standard().describe(*found));
    } else if (view_->pickingColour()) {
        title = QStringLiteral("Talvex: click the colour to find");
    }
    panel->setWindowTitle(title);
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
