#include "talvex/ActionTable.h"

#include <QApplication>
#include <array>

#include "about/KPAboutBox.h"
#include "platform/AutostartEntry.h"
#include "settings/Settings.h"
#include "talvex/SettingsActions.h"
#include "talvex/TXAppDelegate.h"
#include "talvex/TXApplication.h"
#include "talvex/TXViewController.h"

namespace talvex {

namespace {

// What the rows perform, by responder.
void adoptSpeed(TXAppDelegate&, const MenuItem& sender) {
    adoptSpeedSetting(sender);
}
void adoptViewArea(TXAppDelegate&, const MenuItem& sender) {
    adoptViewAreaSetting(sender);
}
void adoptStripeStrength(TXAppDelegate&, const MenuItem& sender) {
    adoptStripeStrengthSetting(sender);
}
void adoptPanelShortcut(TXAppDelegate&, const MenuItem& sender) {
    adoptPanelShortcutSetting(sender);
}
void adoptMagnification(TXAppDelegate&, const MenuItem& sender) {
    adoptMagnificationSetting(sender);
}
void magnifyStep(TXAppDelegate&, const MenuItem& sender) {
    stepMagnification(sender);
}
void adoptFindNear(TXAppDelegate&, const MenuItem& sender) {
    adoptFindNearSetting(sender);
}
void toggleColourNames(TXAppDelegate&, const MenuItem&) {
    toggleNameColours();
}
void toggleLogin(TXAppDelegate& delegate, const MenuItem&) {
    delegate.toggleStartAtLogin();
}
void sendFeedback(TXAppDelegate& delegate, const MenuItem&) {
    delegate.sendFeedback();
}
void openWebsite(TXAppDelegate& delegate, const MenuItem&) {
    delegate.openWebsite();
}

void adoptRedStripes(TXViewController&, const MenuItem& sender) {
    adoptRedStripeSetting(sender);
}
void adoptGreenStripes(TXViewController&, const MenuItem& sender) {
    adoptGreenStripeSetting(sender);
}
void holdPicture(TXViewController& controller, const MenuItem&) {
    controller.toggleHoldPicture();
}
void findColour(TXViewController& controller, const MenuItem&) {
    controller.toggleFindColour();
}

void showAboutBox(TXApplication&, const MenuItem&) {
    KPAboutBoxShow();
}
void showPreferences(TXApplication& application, const MenuItem&) {
    application.showPreferences();
}
void quit(TXApplication&, const MenuItem&) {
    QApplication::quit();
}
void copyColourName(TXApplication& application, const MenuItem&) {
    application.copyColourName();
}
void findNamedColour(TXApplication& application, const MenuItem&) {
    application.findNamedColour();
}

// The check mark rules: the item's tag against the value in force.
bool speedIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == static_cast<std::int64_t>(currentRefreshSpeed(context.defaults));
}
bool viewAreaIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == static_cast<std::int64_t>(currentViewArea(context.defaults));
}
bool redStripesAreOn(const CheckContext& context, std::int64_t tag) {
    return tag == context.defaults.integerForKey(keys::redStripesEnabled);
}
bool greenStripesAreOn(const CheckContext& context, std::int64_t tag) {
    return tag == context.defaults.integerForKey(keys::greenStripesEnabled);
}
bool stripeStrengthIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == currentStripeStrength(context.defaults);
}
bool magnificationIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == currentMagnification(context.defaults);
}
bool panelShortcutIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == currentPanelShortcut(context.defaults);
}
bool findNearIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == static_cast<std::int64_t>(currentFindNear(context.defaults));
}
bool colourNamesAreOn(const CheckContext& context, std::int64_t) {
    return nameColoursEnabled(context.defaults);
}
bool startsAtLogin(const CheckContext&, std::int64_t) {
    return AutostartEntry().isInstalled();
}
bool hasLens(const CheckContext& context) {
    return context.viewController && context.viewController->filteredView();
}
bool pictureIsHeld(const CheckContext& context, std::int64_t) {
    return hasLens(context) && context.viewController->filteredView()->scheduler().held();
}
bool findsColour(const CheckContext& context, std::int64_t) {
    const FilteredView* view = hasLens(context) ? context.viewController->filteredView() : nullptr;
    return view && (view->pickingColour() || view->foundColour());
}
// The enabling rule of the actions that use the colour named last.
bool namesColours(const CheckContext& context) {
    return nameColoursEnabled(context.defaults);
}

// In MenuAction's order: the action's value is its row's place.
constexpr std::array table{
    ActionRow{.action = MenuAction::adoptSpeedSetting,
              .name = "adoptSpeedSetting",
              .perform = adoptSpeed,
              .isOn = speedIsOn},
    ActionRow{.action = MenuAction::adoptViewAreaSetting,
              .name = "adoptViewAreaSetting",
              .perform = adoptViewArea,
              .isOn = viewAreaIsOn},
    ActionRow{.action = MenuAction::adoptRedStripeSetting,
              .name = "adoptRedStripeSetting",
              .perform = adoptRedStripes,
              .isOn = redStripesAreOn},
    ActionRow{.action = MenuAction::adoptGreenStripeSetting,
              .name = "adoptGreenStripeSetting",
              .perform = adoptGreenStripes,
              .isOn = greenStripesAreOn},
    ActionRow{.action = MenuAction::sendFeedback, .name = "sendFeedback", .perform = sendFeedback},
    ActionRow{.action = MenuAction::openWebsite, .name = "openWebsite", .perform = openWebsite},
    ActionRow{.action = MenuAction::orderFrontAboutBox,
              .name = "orderFrontAboutBox",
              .perform = showAboutBox},
    ActionRow{.action = MenuAction::showPreferences,
              .name = "showPreferences",
              .perform = showPreferences},
    ActionRow{.action = MenuAction::terminate, .name = "terminate", .perform = quit},
    ActionRow{.action = MenuAction::toggleStartAtLogin,
              .name = "toggleStartAtLogin",
              .perform = toggleLogin,
              .isOn = startsAtLogin},
    ActionRow{.action = MenuAction::adoptPanelShortcutSetting,
              .name = "adoptPanelShortcutSetting",
              .perform = adoptPanelShortcut,
              .isOn = panelShortcutIsOn},
    ActionRow{.action = MenuAction::toggleNameColours,
              .name = "toggleNameColours",
              .perform = toggleColourNames,
              .isOn = colourNamesAreOn},
    ActionRow{.action = MenuAction::copyColourName,
              .name = "copyColourName",
              .perform = copyColourName,
              .isEnabled = namesColours},
    ActionRow{.action = MenuAction::adoptStripeStrengthSetting,
              .name = "adoptStripeStrengthSetting",
              .perform = adoptStripeStrength,
              .isOn = stripeStrengthIsOn},
    ActionRow{.action = MenuAction::toggleHoldPicture,
              .name = "toggleHoldPicture",
              .perform = holdPicture,
              .isOn = pictureIsHeld,
              .isEnabled = hasLens},
    ActionRow{.action = MenuAction::adoptMagnificationSetting,
              .name = "adoptMagnificationSetting",
              .perform = adoptMagnification,
              .isOn = magnificationIsOn},
    ActionRow{.action = MenuAction::stepMagnification,
              .name = "stepMagnification",
              .perform = magnifyStep},
    ActionRow{.action = MenuAction::toggleFindColour,
              .name = "toggleFindColour",
              .perform = findColour,
              .isOn = findsColour,
              .isEnabled = hasLens},
    ActionRow{.action = MenuAction::findNamedColour,
              .name = "findNamedColour",
              .perform = findNamedColour,
              .isEnabled = namesColours},
    ActionRow{.action = MenuAction::adoptFindNearSetting,
              .name = "adoptFindNearSetting",
              .perform = adoptFindNear,
              .isOn = findNearIsOn},
};

constexpr bool oneRowPerActionInOrder() {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].action != static_cast<MenuAction>(i + 1))
            return false;
    }
    return table.size() + 1 == static_cast<std::size_t>(MenuAction::endOfActions);
}
static_assert(oneRowPerActionInOrder(), "one row per MenuAction, in the enum's order");

}  // namespace

const ActionRow* actionRow(MenuAction action) {
    // none (0) and values outside the enum fall outside the table.
    const std::size_t index = static_cast<std::size_t>(action) - 1;
    return index < table.size() ? &table[index] : nullptr;
}

const char* actionName(MenuAction action) {
    const ActionRow* row = actionRow(action);
    return row ? row->name : "none";
}

bool validateAction(const ActionRow& row, MenuItem& item, const CheckContext& context) {
    if (row.isOn)
        item.setState(row.isOn(context, item.tag()) ? ControlState::on : ControlState::off);
    return !row.isEnabled || row.isEnabled(context);
}

bool validateAction(MenuItem& item, const CheckContext& context) {
    const ActionRow* row = actionRow(item.action());
    return row && validateAction(*row, item, context);
}

}  // namespace talvex
