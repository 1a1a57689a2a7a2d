#include "talvex/MainMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "app/MenuActionTarget.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "talvex/Settings.h"

namespace talvex {

namespace {
// Each submenu validates its own items when it opens and sends what is chosen.
QMenu* addRoutedSubmenu(QMenu* parent, const QString& title, MenuActionTarget& target) {
    QMenu* submenu = parent->addMenu(title);
    routeMenuThroughTarget(submenu, [&target] { return &target; });
    return submenu;
}
}  // namespace

MainMenu::MainMenu(MenuActionTarget& target)
    : target_(target), menu_(std::make_unique<QMenu>(QStringLiteral("Talvex"))) {
    buildApplicationMenu();
    buildStripesMenu();
    buildSpeedMenu();
    buildAreaMenu();
    buildHelpMenu();
}

MainMenu::~MainMenu() = default;

QAction* MainMenu::addItem(QMenu* menu, const QString& title, int action, long long tag,
                           const QString& shortcut) {
    QAction* item = menu->addAction(title);
    QtMenuItem::configure(item, static_cast<MenuAction>(action), tag);
    if (!shortcut.isEmpty()) {
        item->setShortcut(QKeySequence(shortcut));
        shortcutActions_.append(item);
    }
    return item;
}

void MainMenu::buildApplicationMenu() {
    QMenu* app = addRoutedSubmenu(menu_.get(), QStringLiteral("&Talvex"), target_);
    addItem(app, QStringLiteral("&About Talvex"), int(MenuAction::orderFrontAboutBox), 0);
    app->addSeparator();
    addItem(app, QStringLiteral("&Preferences…"), int(MenuAction::showPreferences), 0,
            QStringLiteral("Ctrl+,"));
    app->addSeparator();
    QAction* quit = addItem(app, QStringLiteral("&Quit Talvex"), int(MenuAction::terminate), 0,
                            QKeySequence(QKeySequence::Quit).toString());
    quit->setMenuRole(QAction::QuitRole);
}

void MainMenu::buildStripesMenu() {
    stripes_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Stripes"), target_);
    addItem(stripes_, QStringLiteral("Show Red Stripes"), int(MenuAction::adoptTalvexSetting), 1);
    addItem(stripes_, QStringLiteral("Hide Red Stripes"), int(MenuAction::adoptTalvexSetting), 0);
    stripes_->addSeparator();
    addItem(stripes_, QStringLiteral("Show Green Stripes"),
            int(MenuAction::adoptGreenStripeSetting), 1);
    addItem(stripes_, QStringLiteral("Hide Green Stripes"),
            int(MenuAction::adoptGreenStripeSetting), 0);
    addStripeToggle(int(MenuAction::adoptTalvexSetting), QStringLiteral("Toggle Red Stripes"),
                    QStringLiteral("Ctrl+R"));
    addStripeToggle(int(MenuAction::adoptGreenStripeSetting),
                    QStringLiteral("Toggle Green Stripes"), QStringLiteral("Ctrl+G"));
}

// A toggle sends the stripe command with the tag that flips the stored switch; it is
// worked out when the toggle fires, so the store stays the only source of truth.
// Toggles live outside the menus (they carry no check mark): keyboard only.
void MainMenu::addStripeToggle(int action, const QString& title, const QString& shortcut) {
    auto* toggle = new QAction(title, menu_.get());
    toggle->setShortcut(QKeySequence(shortcut));
    shortcutActions_.append(toggle);
    const char* key = action == int(MenuAction::adoptTalvexSetting) ? keys::talvexsEnabled
                                                                      : keys::greenStripesEnabled;
    QObject::connect(toggle, &QAction::triggered, toggle, [this, action, key] {
        const bool shown = UserDefaults::standard().integerForKey(key) != 0;
        PlainMenuItem flip(static_cast<MenuAction>(action), shown ? 0 : 1);
        target_.sendAction(flip);
    });
}

void MainMenu::buildSpeedMenu() {
    speed_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Refresh Speed"), target_);
    addItem(speed_, QStringLiteral("Slow"), int(MenuAction::adoptSpeedSetting), -1,
            QStringLiteral("Ctrl+1"));
    addItem(speed_, QStringLiteral("Normal"), int(MenuAction::adoptSpeedSetting), 0,
            QStringLiteral("Ctrl+2"));
    addItem(speed_, QStringLiteral("Fast"), int(MenuAction::adoptSpeedSetting), 1,
            QStringLiteral("Ctrl+3"));
}

void MainMenu::buildAreaMenu() {
    area_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&View Area"), target_);
    addItem(area_, QStringLiteral("Beneath the Panel"), int(MenuAction::adoptViewAreaSetting), 0,
            QStringLiteral("Ctrl+B"));
    addItem(area_, QStringLiteral("Around the Pointer"), int(MenuAction::adoptViewAreaSetting), 1,
            QStringLiteral("Ctrl+M"));
}

void MainMenu::buildHelpMenu() {
    QMenu* help = addRoutedSubmenu(menu_.get(), QStringLiteral("&Help"), target_);
    addItem(help, QStringLiteral("Send Feedback…"), int(MenuAction::sendFeedback), 0);
    addItem(help, QStringLiteral("Talvex Website"), int(MenuAction::openWebsite), 0);
}

void MainMenu::installShortcuts(QWidget* window) const {
    for (QAction* action : shortcutActions_) {
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }
}

}  // namespace talvex
