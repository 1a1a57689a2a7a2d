#pragma once

// The application's menus — Talvex (about, preferences, quit), Stripes, Refresh
// Speed, View Area and Help — gathered in one menu that the panel's title bar, a
// right-click on the title bar and the system-tray icon all open, plus the keyboard
// shortcuts of the panel. Every item sends its command through a MenuActionTarget and
// takes its check mark from it each time its menu opens.
#include <QList>
#include <memory>

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
    QMenu* stripesMenu() const { return stripes_; }
    QMenu* speedMenu() const { return speed_; }
    QMenu* areaMenu() const { return area_; }

    // Makes the keyboard shortcuts work while `window` is active.
    void installShortcuts(QWidget* window) const;

    // The items that carry shortcuts (for the help text and tests).
    const QList<QAction*>& shortcutActions() const { return shortcutActions_; }

private:
    QAction* addItem(QMenu* menu, const QString& title, int action, long long tag,
                     const QString& shortcut = {});
    void addStripeToggle(int action, const QString& title, const QString& shortcut);
    void buildApplicationMenu();
    void buildStripesMenu();
    void buildSpeedMenu();
    void buildAreaMenu();
    void buildHelpMenu();

    MenuActionTarget& target_;
    std::unique_ptr<QMenu> menu_;
    QMenu* stripes_ = nullptr;
    QMenu* speed_ = nullptr;
    QMenu* area_ = nullptr;
    QList<QAction*> shortcutActions_;
};

}  // namespace talvex
