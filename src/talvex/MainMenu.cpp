#include "talvex/MainMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "app/MenuActionTarget.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"

namespace talvex {

namespace {

// Each submenu validates its own items when it opens and sends what is chosen.
QMenu* addRoutedSubmenu(QMenu* parent, const QString& title, MenuActionTarget& target) {
    QMenu* submenu = parent->addMenu(title);
    routeMenuThroughTarget(submenu, [&target] { return &target; });
    return submenu;
}

// Items that stand for a setting value show a check box from the start, so that the
// values of one setting line up whether or not one of them is in force.
bool selectsSettingValue(MenuAction action) {
    switch (action) {
        case MenuAction::adoptSpeedSetting:
        case MenuAction::adoptViewAreaSetting:
        case MenuAction::adoptTalvexSetting:
        case MenuAction::adoptGreenStripeSetting:
        case MenuAction::toggleStartAtLogin:
        case MenuAction::toggleNameColours:
        case MenuAction::adoptStripeStrengthSetting:
        case MenuAction::toggleHoldPicture:
            return true;
        default:
            return false;
    }
}

}  // namespace

MainMenu::MainMenu(MenuActionTarget& target)
    : target_(target), menu_(std::make_unique<QMenu>(QStringLiteral("Talvex"))) {
    buildApplicationMenu();
    buildStripesMenu();
    buildSpeedMenu();
    buildAreaMenu();
    buildHelpMenu();
    openMenus_ = new QAction(QStringLiteral("Open Menus"), menu_.get());
    openMenus_->setShortcut(QKeySequence(Qt::Key_F10));
    shortcutActions_.append(openMenus_);
}

MainMenu::~MainMenu() = default;

QAction* MainMenu::addItem(QMenu* menu, const QString& title, MenuAction action, std::int64_t tag,
                           const QString& shortcut) {
    QAction* item = menu->addAction(title);
    QtMenuItem::configure(item, action, tag);
    item->setCheckable(selectsSettingValue(action));
    if (!shortcut.isEmpty()) {
        item->setShortcut(QKeySequence(shortcut));
        shortcutActions_.append(item);
    }
    return item;
}

void MainMenu::buildApplicationMenu() {
    application_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Talvex"), target_);
    addItem(application_, QStringLiteral("&About Talvex"), MenuAction::orderFrontAboutBox, 0);
    application_->addSeparator();
    addItem(application_, QStringLiteral("&Preferences…"), MenuAction::showPreferences, 0,
            QStringLiteral("Ctrl+,"));
    addItem(application_, QStringLiteral("Start at &Login"), MenuAction::toggleStartAtLogin, 0);
    application_->addSeparator();
    QAction* quit = addItem(application_, QStringLiteral("&Quit Talvex"), MenuAction::terminate, 0,
                            QStringLiteral("Ctrl+Q"));
    quit->setMenuRole(QAction::QuitRole);
}

void MainMenu::buildStripesMenu() {
    stripes_ = menu_->addMenu(QStringLiteral("&Stripes"));
    // Ahead of the routing's own handler, so the toggles are up to date when validated.
    QObject::connect(stripes_, &QMenu::aboutToShow, stripes_, [this] {
        for (QAction* toggle : stripeToggles_)
            flipStripeToggle(toggle);
    });
    routeMenuThroughTarget(stripes_, [this] { return &target_; });
    addItem(stripes_, QStringLiteral("Show Red Stripes"), MenuAction::adoptTalvexSetting, 1);
    addItem(stripes_, QStringLiteral("Hide Red Stripes"), MenuAction::adoptTalvexSetting, 0);
    stripes_->addSeparator();
    addItem(stripes_, QStringLiteral("Show Green Stripes"), MenuAction::adoptGreenStripeSetting, 1);
    addItem(stripes_, QStringLiteral("Hide Green Stripes"), MenuAction::adoptGreenStripeSetting, 0);
    stripes_->addSeparator();
    QMenu* strength = addRoutedSubmenu(stripes_, QStringLiteral("Stripe S&trength"), target_);
    for (int percent : {25, 50, 75, 100})
        addItem(strength, QStringLiteral("%1 %").arg(percent),
                MenuAction::adoptStripeStrengthSetting, percent);
    stripes_->addSeparator();
    addStripeToggle(MenuAction::adoptTalvexSetting, QStringLiteral("Toggle Red Stripes"),
                    QStringLiteral("Ctrl+R"));
    addStripeToggle(MenuAction::adoptGreenStripeSetting, QStringLiteral("Toggle Green Stripes"),
                    QStringLiteral("Ctrl+G"));
}

// A toggle is a stripe item whose tag flips the stored switch. The tag is worked out
// afresh when the toggle fires (connected before the menu's routing sees it, so the
// menu sends the fresh tag) and when the menu opens, so the store stays the only
// source of truth and a toggle never carries a check mark.
void MainMenu::addStripeToggle(MenuAction action, const QString& title, const QString& shortcut) {
    auto* toggle = new QAction(title, stripes_);
    QtMenuItem::configure(toggle, action, 1);
    toggle->setShortcut(QKeySequence(shortcut));
    QObject::connect(toggle, &QAction::triggered, toggle, [toggle] { flipStripeToggle(toggle); });
    stripes_->addAction(toggle);
    shortcutActions_.append(toggle);
    stripeToggles_.append(toggle);
}

void MainMenu::flipStripeToggle(QAction* toggle) {
    const char* key = QtMenuItem(toggle).action() == MenuAction::adoptTalvexSetting
                          ? keys::redStripesEnabled
                          : keys::greenStripesEnabled;
    const bool shown = UserDefaults::standard().integerForKey(key) != 0;
    toggle->setProperty(QtMenuItem::tagProperty, QVariant::fromValue<qlonglong>(shown ? 0 : 1));
}

void MainMenu::buildSpeedMenu() {
    speed_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Refresh Speed"), target_);
    addItem(speed_, QStringLiteral("Slow"), MenuAction::adoptSpeedSetting, -1,
            QStringLiteral("Ctrl+1"));
    addItem(speed_, QStringLiteral("Normal"), MenuAction::adoptSpeedSetting, 0,
            QStringLiteral("Ctrl+2"));
    addItem(speed_, QStringLiteral("Fast"), MenuAction::adoptSpeedSetting, 1,
            QStringLiteral("Ctrl+3"));
}

void MainMenu::buildAreaMenu() {
    area_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&View Area"), target_);
    addItem(area_, QStringLiteral("Beneath the Panel"), MenuAction::adoptViewAreaSetting, 0,
            QStringLiteral("Ctrl+B"));
    addItem(area_, QStringLiteral("Around the Pointer"), MenuAction::adoptViewAreaSetting, 1,
            QStringLiteral("Ctrl+M"));
    area_->addSeparator();
    addItem(area_, QStringLiteral("&Name Colours"), MenuAction::toggleNameColours, 0);
    addItem(area_, QStringLiteral("&Copy Colour Name"), MenuAction::copyColourName, 0,
            QStringLiteral("Ctrl+C"));
    area_->addSeparator();
    addItem(area_, QStringLiteral("&Hold Picture"), MenuAction::toggleHoldPicture, 0,
            QStringLiteral("Ctrl+H"));
}

void MainMenu::buildHelpMenu() {
    help_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Help"), target_);
    addItem(help_, QStringLiteral("Send Feedback…"), MenuAction::sendFeedback, 0);
    addItem(help_, QStringLiteral("Talvex Website"), MenuAction::openWebsite, 0);
}

void MainMenu::installShortcuts(QWidget* window) const {
    for (QAction* action : shortcutActions_) {
        action->setShortcutContext(Qt::ApplicationShortcut);
        window->addAction(action);
    }
}

}  // namespace talvex
