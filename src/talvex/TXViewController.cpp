#include "talvex/TXViewController.h"

#include "platform/UserDefaults.h"
#include "render/ColourNamer.h"

namespace talvex {

TXViewController::TXViewController(FilteredView* view) : view_(view) {
    if (view_)
        foundColourShown_ =
            QObject::connect(view_, &FilteredView::foundColourChanged, [this] { showTitle(); });
}

TXViewController::~TXViewController() {
    QObject::disconnect(foundColourShown_);
}

void TXViewController::toggleHoldPicture() {
    if (!view_)
        return;
    view_->scheduler().setHeld(!view_->scheduler().held());
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
    QString title =
        view_->scheduler().held() ? QStringLiteral("Talvex (held)") : QStringLiteral("Talvex");
    if (const std::optional<Rgb> found = view_->foundColour()) {
        title = QStringLiteral("finding: ") +
                QString::fromStdString(ColourNamer::standard().describe(*found));
    } else if (view_->pickingColour()) {
        title = QStringLiteral("Talvex: click the colour to find");
    }
    panel->setWindowTitle(title);
}

}  // namespace talvex
