#include "talvex/MainMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "app/MenuActionTarget.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "talvex/ActionTable.h"

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
    buildSubmenus();
    addItems();
    openMenus_ = new QAction(QString::fromLatin1(openMenusTitle), menu_.get());
    openMenus_->setShortcut(QKeySequence(QString::fromLatin1(openMenusShortcut)));
    shortcutActions_.append(openMenus_);
}

MainMenu::~MainMenu() = default;

void MainMenu::buildSubmenus() {
    application_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Talvex"), target_);
    stripes_ = menu_->addMenu(QStringLiteral("&Stripes"));
    // Ahead of the routing's own handler, so the toggles are up to date when validated.
    QObject::connect(stripes_, &QMenu::aboutToShow, stripes_, [this] {
        for (QAction* toggle : stripeToggles_)
            flipStripeToggle(toggle);
    });
    routeMenuThroughTarget(stripes_, [this] { return &target_; });
    speed_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Refresh Speed"), target_);
    area_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&View Area"), target_);
    help_ = addRoutedSubmenu(menu_.get(), QStringLiteral("&Help"), target_);
}

// The strength submenu sits among the stripe items, between separators.
QMenu* MainMenu::menuFor(MenuPlace place) {
    switch (place) {
        case MenuPlace::application:
            return application_;
        case MenuPlace::stripes:
        case MenuPlace::stripeToggles:
            return stripes_;
        case MenuPlace::stripeStrength:
            if (!strength_) {
                stripes_->addSeparator();
                strength_ = addRoutedSubmenu(stripes_, QStringLiteral("Stripe S&trength"), target_);
            }
            return strength_;
        case MenuPlace::speed:
            return speed_;
        case MenuPlace::area:
            return area_;
        case MenuPlace::magnify:
            if (!magnify_) {
                area_->addSeparator();
                magnify_ = addRoutedSubmenu(area_, QStringLiteral("&Magnify"), target_);
            }
            return magnify_;
        case MenuPlace::help:
            return help_;
        case MenuPlace::none:
            break;
    }
    return nullptr;
}

void MainMenu::addItems() {
    for (const ItemRow& row : itemRows()) {
        QMenu* menu = menuFor(row.place);
        if (!menu || !row.title)
            continue;
        if (row.sectionStart)
            menu->addSeparator();
        QAction* item =
            row.place == MenuPlace::stripeToggles ? addStripeToggle(row) : addItem(menu, row);
        if (row.action == MenuAction::terminate)
            item->setMenuRole(QAction::QuitRole);
    }
}

// Items whose action has a check mark rule show a check box from the start, so that the values of
// one setting line up whether or not one of them is in force.
QAction* MainMenu::addItem(QMenu* menu, const ItemRow& row) {
    QAction* item = menu->addAction(QString::fromUtf8(row.title));
    QtMenuItem::configure(item, row.action, row.tag);
    item->setCheckable(actionRow(row.action)->isOn != nullptr);
    if (row.shortcut) {
        item->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        shortcutActions_.append(item);
        // Validation disables an item only while its menu shows: its shortcut stays live
        // and the responder decides when it fires.
        QObject::connect(menu, &QMenu::aboutToHide, item, [item] { item->setEnabled(true); });
    }
    return item;
}

// A toggle is a stripe item whose tag flips the stored switch. The tag is worked out
// afresh when the toggle fires (connected before the menu's routing sees it, so the
// menu sends the fresh tag) and when the menu opens, so the store stays the only
// source of truth and a toggle never carries a check mark.
QAction* MainMenu::addStripeToggle(const ItemRow& row) {
    auto* toggle = new QAction(QString::fromUtf8(row.title), stripes_);
    QtMenuItem::configure(toggle, row.action, row.tag);
    toggle->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
    QObject::connect(toggle, &QAction::triggered, toggle, [toggle] { flipStripeToggle(toggle); });
    stripes_->addAction(toggle);
    shortcutActions_.append(toggle);
    stripeToggles_.append(toggle);
    return toggle;
}

void MainMenu::flipStripeToggle(QAction* toggle) {
    const char* key = QtMenuItem(toggle).action() == MenuAction::adoptRedStripeSetting
                          ? keys::redStripesEnabled
                          : keys::greenStripesEnabled;
    const bool shown = UserDefaults::standard().integerForKey(key) != 0;
    toggle->setProperty(QtMenuItem::tagProperty, QVariant::fromValue<qlonglong>(shown ? 0 : 1));
}

void MainMenu::installShortcuts(QWidget* window) const {
    for (QAction* action : shortcutActions_) {
        action->setShortcutContext(Qt::ApplicationShortcut);
        window->addAction(action);
    }
}

}  // namespace talvex
