#include "app/QtMenuItem.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>

#include "app/MenuActionTarget.h"

namespace talvex {

namespace {

// An auto-exclusive radio button refuses to be unchecked directly (one of its group
// must stay checked); a stored value outside the group's values needs all of them off.
void setButtonChecked(QAbstractButton& button, bool checked) {
    if (checked || !button.isChecked() || !button.autoExclusive()) {
        button.setChecked(checked);
        return;
    }
    button.setAutoExclusive(false);
    button.setChecked(false);
    button.setAutoExclusive(true);
}

}  // namespace

QtMenuItem::QtMenuItem(QAction* action) : object_(action) {}

QtMenuItem::QtMenuItem(QAbstractButton* button) : object_(button) {}

std::int64_t QtMenuItem::tag() const {
    return object_ ? object_->property(tagProperty).toLongLong() : 0;
}

MenuAction QtMenuItem::action() const {
    const QVariant action = object_ ? object_->property(actionProperty) : QVariant();
    return action.isValid() ? static_cast<MenuAction>(action.toInt()) : MenuAction::none;
}

ControlState QtMenuItem::state() const {
    const bool checked = object_ && object_->property("checked").toBool();
    return checked ? ControlState::on : ControlState::off;
}

void QtMenuItem::setState(ControlState state) {
    const bool checked = state == ControlState::on;
    if (auto* button = qobject_cast<QAbstractButton*>(object_.data())) {
        setButtonChecked(*button, checked);
    } else if (auto* action = qobject_cast<QAction*>(object_.data())) {
        if (checked)
            action->setCheckable(true);
        action->setChecked(checked);
    }
}

void QtMenuItem::configure(QObject* object, MenuAction action, std::int64_t tag) {
    object->setProperty(tagProperty, QVariant::fromValue<qlonglong>(tag));
    object->setProperty(actionProperty, static_cast<int>(action));
}

void validateMenuItems(QMenu* menu, MenuActionTarget* target) {
    if (!target)
        return;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu())
            continue;
        QtMenuItem item(action);
        action->setEnabled(target->validateMenuItem(item));
    }
}

void routeMenuThroughTarget(QMenu* menu, std::function<MenuActionTarget*()> target) {
    QObject::connect(menu, &QMenu::aboutToShow, menu,
                     [menu, target] { validateMenuItems(menu, target()); });
    // QMenu::triggered also reports the items of submenus; each menu sends only its own,
    // so that routing a menu and its submenus sends a choice once.
    QObject::connect(menu, &QMenu::triggered, menu, [menu, target](QAction* action) {
        if (!menu->actions().contains(action))
            return;
        if (MenuActionTarget* current = target())
            current->sendAction(QtMenuItem(action));
    });
}

}  // namespace talvex
