#include "talvex/FilterSettingsController.h"

#include <QAction>
#include <QMenu>

#include "app/MenuButton.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "talvex/ItemTable.h"
#include "ui_FilterSettingsController.h"

namespace talvex {

namespace {

const char* imageNameFor(RefreshSpeed speed) {
    switch (speed) {
        case RefreshSpeed::slow:
            return "SlowFrameRateTemplate.png";
        case RefreshSpeed::fast:
            return "FastFrameRateTemplate.png";
        case RefreshSpeed::normal:
            break;
    }
    return "NormalFrameRateTemplate.png";
}

const char* imageNameFor(ViewArea area) {
    return area == ViewArea::mousePointer ? "FilteredMouseAreaTemplate.png"
                                          : "FilteredTransparencyTemplate.png";
}

}  // namespace

FilterSettingsController::FilterSettingsController(QWidget* parent)
    : FilterSettingsController(UserDefaults::standard(), parent) {}

FilterSettingsController::FilterSettingsController(UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::FilterSettingsController>()), defaults_(defaults) {
    ui_->setupUi(this);
    fillMenus();
    connectMenus();
    observeDefaults();
    // The interface file's images stand for the default values; a stored speed or
    // area shows from the start rather than only after the next change.
    refresh();
}

FilterSettingsController::~FilterSettingsController() = default;

MenuButton* FilterSettingsController::visionButton() const {
    return ui_->visionButton;
}
MenuButton* FilterSettingsController::refreshSpeedButton() const {
    return ui_->refreshSpeedButton;
}
MenuButton* FilterSettingsController::viewAreaButton() const {
    return ui_->viewAreaButton;
}
QMenu* FilterSettingsController::stripesMenu() const {
    return ui_->stripesMenu;
}
QMenu* FilterSettingsController::speedMenu() const {
    return ui_->speedMenu;
}
QMenu* FilterSettingsController::areaMenu() const {
    return ui_->areaMenu;
}

// Each pop-up lists the table's items for it; a separator parts two actions.
void FilterSettingsController::fillMenus() {
    const std::pair<Popup, QMenu*> menus[] = {
        {Popup::stripes, ui_->stripesMenu},
        {Popup::speed, ui_->speedMenu},
        {Popup::area, ui_->areaMenu},
    };
    for (const auto& [popup, menu] : menus) {
        const ItemRow* previous = nullptr;
        for (const ItemRow& row : itemRows()) {
            if (row.popup != popup)
                continue;
            if (previous && previous->action != row.action)
                menu->addSeparator();
            QAction* item = menu->addAction(QString::fromUtf8(row.popupTitle));
            QtMenuItem::configure(item, row.action, row.tag);
            item->setCheckable(true);
            previous = &row;
        }
    }
}

void FilterSettingsController::connectMenus() {
    const auto target = [this] { return target_; };
    const std::pair<MenuButton*, QMenu*> pairs[] = {
        {ui_->visionButton, ui_->stripesMenu},
        {ui_->refreshSpeedButton, ui_->speedMenu},
        {ui_->viewAreaButton, ui_->areaMenu},
    };
    for (const auto& [button, menu] : pairs) {
        button->setMenu(menu);
        routeMenuThroughTarget(menu, target);
    }
}

// Any change of any key, by anyone, makes the buttons re-read the store; a write on
// another thread reaches them queued, on their own thread.
void FilterSettingsController::observeDefaults() {
    connect(&defaults_, &UserDefaults::valueChanged, this, &FilterSettingsController::refresh);
}

void FilterSettingsController::refresh() {
    ui_->refreshSpeedButton->setImageName(imageNameFor(currentRefreshSpeed(defaults_)));
    ui_->viewAreaButton->setImageName(imageNameFor(currentViewArea(defaults_)));
}

}  // namespace talvex
