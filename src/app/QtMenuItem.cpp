#include "app/QtMenuItem.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <array>
#include <utility>

#include "app/MenuActionTarget.h"

namespace talvex {

namespace {

constexpr std::array<std::pair<MenuAction, const char*>, 16> actionNames{{
    {MenuAction::none, "none"},
    {MenuAction::adoptSpeedSetting, "adoptSpeedSetting"},
    {MenuAction::adoptViewAreaSetting, "adoptViewAreaSetting"},
    {MenuAction::adoptTalvexSetting, "adoptTalvexSetting"},
    {MenuAction::adoptGreenStripeSetting, "adoptGreenStripeSetting"},
    {MenuAction::sendFeedback, "sendFeedback"},
    {MenuAction::openWebsite, "openWebsite"},
    {MenuAction::orderFrontAboutBox, "orderFrontAboutBox"},
    {MenuAction::showPreferences, "showPreferences"},
    {MenuAction::terminate, "terminate"},
    {MenuAction::toggleStartAtLogin, "toggleStartAtLogin"},
    {MenuAction::adoptPanelShortcutSetting, "adoptPanelShortcutSetting"},
    {MenuAction::toggleNameColours, "toggleNameColours"},
    {MenuAction::copyColourName, "copyColourName"},
    {MenuAction::adoptStripeStrengthSetting, "adoptStripeStrengthSetting"},
    {MenuAction::toggleHoldPicture, "toggleHoldPicture"},
}};

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
    if (!object_)
        return MenuAction::none;
    return actionNamed(object_->property(actionProperty).toString()).value_or(MenuAction::none);
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
    object->setProperty(actionProperty, nameOf(action));
}

std::optional<MenuAction> QtMenuItem::actionNamed(const QString& name) {
    for (const auto& [action, actionName] : actionNames) {
        if (name == QLatin1String(actionName))
            return action;
    }
    return std::nullopt;
}

QString QtMenuItem::nameOf(MenuAction action) {
    for (const auto& [candidate, name] : actionNames) {
        if (candidate == action)
            return QString::fromLatin1(name);
    }
    return QString();
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
