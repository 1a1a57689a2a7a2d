#pragma once

// The title-bar accessory ("WindowControls"): three menu buttons for the stripes, the
// refresh speed and the filtered area, each with a pop-up menu of setting commands.
// The speed and area buttons show the value in force; they follow every change of
// the store, wherever it was made, through the store's valueChanged signal.
//
// The pop-ups' items come from the items table and carry their value as a tag and
// their action (see QtMenuItem); choosing one sends it to the MenuActionTarget that the application
// installs, and each menu asks that target for its check marks every time it opens.
#include <QWidget>
#include <memory>

#include "app/MenuActionTarget.h"

class QMenu;

namespace Ui {
class FilterSettingsController;
}

namespace talvex {

class MenuButton;
class UserDefaults;

class FilterSettingsController : public QWidget {
    Q_OBJECT

public:
    // Reads its settings from `defaults` (the standard store unless a test gives one).
    explicit FilterSettingsController(QWidget* parent = nullptr);
    FilterSettingsController(UserDefaults& defaults, QWidget* parent = nullptr);
    ~FilterSettingsController() override;

    MenuButton* visionButton() const;
    MenuButton* refreshSpeedButton() const;
    MenuButton* viewAreaButton() const;
    QMenu* stripesMenu() const;
    QMenu* speedMenu() const;
    QMenu* areaMenu() const;

    // Where the menus send their actions; not owned, may be nullptr (menus inert).
    void setMenuActionTarget(MenuActionTarget* target) { target_ = target; }
    MenuActionTarget* menuActionTarget() const { return target_; }

    // Shows the speed and view area in force on their buttons.
    void refresh();

private:
    void fillMenus();
    void connectMenus();
    void observeDefaults();

    std::unique_ptr<Ui::FilterSettingsController> ui_;
    UserDefaults& defaults_;
    MenuActionTarget* target_ = nullptr;
};

}  // namespace talvex
