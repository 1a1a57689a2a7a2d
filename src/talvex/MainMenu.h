#pragma once

// The application's menus — Talvex (about, preferences, start at login, quit),
// Stripes (with toggles), Refresh Speed, View Area and Help — gathered in one menu that
// the panel's title bar, a right-click on the title bar, F10 and the system-tray icon
// all open, plus the keyboard shortcuts of the panel. Every item sends its command
// through a MenuActionTarget and takes its check mark from it each time its menu opens.
// The items, their titles, shortcuts and places come from the items table (ItemTable).
#include <QList>
#include <QString>
#include <memory>

#include "talvex/ItemTable.h"

class QAction;
class QMenu;
class QWidget;

namespace talvex {

class MenuActionTarget;

class MainMenu {
public:
    explicit MainMenu(MenuActionTarget& target);
    ~MainMenu();

    QMenu* menu() const { return menu_.get(); }
    QMenu* applicationMenu() const { return application_; }
    QMenu* stripesMenu() const { return stripes_; }
    QMenu* speedMenu() const { return speed_; }
    QMenu* areaMenu() const { return area_; }
    QMenu* helpMenu() const { return help_; }

    // Makes the keyboard shortcuts work while `window` is shown, whichever window of
    // Talvex is active. May be called for several windows.
    void installShortcuts(QWidget* window) const;

    // F10: opens the menus from the keyboard (the application connects it, knowing
    // where to open them). One of the shortcut actions.
    QAction* openMenusAction() const { return openMenus_; }

    // The items that carry shortcuts (for the help text and tests).
    const QList<QAction*>& shortcutActions() const { return shortcutActions_; }

private:
    QMenu* menuFor(MenuPlace place);
    QAction* addItem(QMenu* menu, const ItemRow& row);
    QAction* addStripeToggle(const ItemRow& row);
    static void flipStripeToggle(QAction* toggle);
    void buildSubmenus();
    void addItems();

    MenuActionTarget& target_;
    std::unique_ptr<QMenu> menu_;
    QMenu* application_ = nullptr;
    QMenu* stripes_ = nullptr;
    QMenu* speed_ = nullptr;
    QMenu* area_ = nullptr;
    QMenu* help_ = nullptr;
    QMenu* strength_ = nullptr;
    QMenu* magnify_ = nullptr;
    QList<QAction*> shortcutActions_;
    QList<QAction*> stripeToggles_;
    QAction* openMenus_ = nullptr;
};

}  // namespace talvex
