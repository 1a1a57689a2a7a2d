#include "talvex/TXWindowController.h"

#include <QApplication>

#include "app/FilteredView.h"
#include "app/Window.h"
#include "platform/Dispatch.h"
#include "talvex/FilterSettingsController.h"
#include "talvex/TXViewController.h"
#include "ui_Main.h"

namespace talvex {

TXWindowController::TXWindowController(MenuActionTarget& target, QObject* parent)
    : QObject(parent), target_(target) {}

TXWindowController::~TXWindowController() {
    // The panel deletes itself once closed; one still open goes with its controller.
    if (window_)
        delete window_.data();
}

Window* TXWindowController::window() {
    if (!loaded_)
        loadWindow();
    return window_.data();
}

void TXWindowController::showWindow() {
    Window* panel = window();
    if (!panel)
        return;
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void TXWindowController::loadWindow() {
    loaded_ = true;
    auto* panel = new Window;
    Ui::Main form;
    form.setupUi(panel);
    panel->setContentWidget(form.filteredView);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    window_ = panel;
    viewController_ = std::make_unique<TXViewController>(form.filteredView);
    connect(panel, &Window::windowWillClose, this, &TXWindowController::windowWillClose);
    windowDidLoad();
}

// Above ordinary, floating and utility windows, and on screen while another
// application is active: on X11 that is the window manager's "above" state, which Qt
// asks for when the window maps. The flag must be in place before the first show:
// changing window flags of a visible widget hides it.
void TXWindowController::setPanelLevel() {
    if (!window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window_->raise();
}

void TXWindowController::windowDidLoad() {
    setPanelLevel();
    // Nothing to do to stay on screen while another application is active: Qt hides
    // no window on deactivation under X11.
    window_->setZoomButtonEnabled(false);
    auto* controls = new FilterSettingsController;
    controls->setObjectName(QLatin1String(accessorySceneIdentifier));
    controls->setMenuActionTarget(&target_);
    window_->setTitlebarAccessory(controls);
    accessory_ = controls;
    window_->setWindowOpacity(1.0);
    setPanelLevel();
}

void TXWindowController::windowWillClose() {
    emit terminationRequested();
    if (!terminatesOnClose_)
        return;
    // Later, so that the close in progress completes first.
    dispatch::mainAsync([] { QApplication::quit(); });
}

}  // namespace talvex
