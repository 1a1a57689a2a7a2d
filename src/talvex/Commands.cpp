#include "talvex/Commands.h"

#include <QApplication>
#include <QKeySequence>
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

// The named actions the rows call, by responder.
void adoptSpeed(TXAppDelegate& delegate, const MenuItem& sender) {
    delegate.adoptSpeedSetting(sender);
}
void adoptViewArea(TXAppDelegate& delegate, const MenuItem& sender) {
    delegate.adoptViewAreaSetting(sender);
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

void adoptRedStripes(TXViewController& controller, const MenuItem& sender) {
    controller.adoptTalvexSetting(sender);
}
void adoptGreenStripes(TXViewController& controller, const MenuItem& sender) {
    controller.adoptGreenStripeSetting(sender);
}
void holdPicture(TXViewController& controller, const MenuItem&) {
    controller.toggleHoldPicture();
}
void findColour(TXViewController& controller, const MenuItem&) {
    controller.toggleFindColour();
}
void findNamedColour(TXApplication& application, const MenuItem&) {
    application.findNamedColour();
}
void adoptFindNear(TXAppDelegate&, const MenuItem& sender) {
    adoptFindNearSetting(sender);
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
bool colourNamesAreOn(const CheckContext& context, std::int64_t) {
    return nameColoursEnabled(context.defaults);
}
bool namesColours(const CheckContext& context) {
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
bool findNearIsOn(const CheckContext& context, std::int64_t tag) {
    return tag == static_cast<std::int64_t>(currentFindNear(context.defaults));
}

constexpr std::array table{
    // The Talvex menu.
    Command{.action = MenuAction::orderFrontAboutBox,
            .name = "orderFrontAboutBox",
            .title = "&About Talvex",
            .place = MenuPlace::application,
            .onApplication = showAboutBox},
    Command{.action = MenuAction::showPreferences,
            .name = "showPreferences",
            .title = "&Preferences…",
            .shortcut = "Ctrl+,",
            .place = MenuPlace::application,
            .sectionStart = true,
            .onApplication = showPreferences},
    Command{.action = MenuAction::toggleStartAtLogin,
            .name = "toggleStartAtLogin",
            .title = "Start at &Login",
            .place = MenuPlace::application,
            .controlName = "startAtLoginChoice",
            .onDelegate = toggleLogin,
            .isOn = startsAtLogin},
    Command{.action = MenuAction::terminate,
            .name = "terminate",
            .title = "&Quit Talvex",
            .shortcut = "Ctrl+Q",
            .place = MenuPlace::application,
            .sectionStart = true,
            .onApplication = quit},
    // Stripes.
    Command{.action = MenuAction::adoptTalvexSetting,
            .name = "adoptTalvexSetting",
            .tag = 1,
            .title = "Show Red Stripes",
            .place = MenuPlace::stripes,
            .popup = Popup::stripes,
            .popupTitle = "Show Red Stripes",
            .controlName = "showRedStripesChoice",
            .onPanel = adoptRedStripes,
            .isOn = redStripesAreOn},
    Command{.action = MenuAction::adoptTalvexSetting,
            .name = "adoptTalvexSetting",
            .tag = 0,
            .title = "Hide Red Stripes",
            .place = MenuPlace::stripes,
            .popup = Popup::stripes,
            .popupTitle = "Hide Red Stripes",
            .controlName = "hideRedStripesChoice",
            .onPanel = adoptRedStripes,
            .isOn = redStripesAreOn},
    Command{.action = MenuAction::adoptGreenStripeSetting,
            .name = "adoptGreenStripeSetting",
            .tag = 1,
            .title = "Show Green Stripes",
            .place = MenuPlace::stripes,
            .sectionStart = true,
            .popup = Popup::stripes,
            .popupTitle = "Show Green Stripes",
            .controlName = "showGreenStripesChoice",
            .onPanel = adoptGreenStripes,
            .isOn = greenStripesAreOn},
    Command{.action = MenuAction::adoptGreenStripeSetting,
            .name = "adoptGreenStripeSetting",
            .tag = 0,
            .title = "Hide Green Stripes",
            .place = MenuPlace::stripes,
            .popup = Popup::stripes,
            .popupTitle = "Hide Green Stripes",
            .controlName = "hideGreenStripesChoice",
            .onPanel = adoptGreenStripes,
            .isOn = greenStripesAreOn},
    Command{.action = MenuAction::adoptStripeStrengthSetting,
            .name = "adoptStripeStrengthSetting",
            .tag = 25,
            .title = "25 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 25 %",
            .controlName = "strength25Choice",
            .onDelegate = adoptStripeStrength,
            .isOn = stripeStrengthIsOn},
    Command{.action = MenuAction::adoptStripeStrengthSetting,
            .name = "adoptStripeStrengthSetting",
            .tag = 50,
            .title = "50 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 50 %",
            .controlName = "strength50Choice",
            .onDelegate = adoptStripeStrength,
            .isOn = stripeStrengthIsOn},
    Command{.action = MenuAction::adoptStripeStrengthSetting,
            .name = "adoptStripeStrengthSetting",
            .tag = 75,
            .title = "75 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 75 %",
            .controlName = "strength75Choice",
            .onDelegate = adoptStripeStrength,
            .isOn = stripeStrengthIsOn},
    Command{.action = MenuAction::adoptStripeStrengthSetting,
            .name = "adoptStripeStrengthSetting",
            .tag = 100,
            .title = "100 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 100 %",
            .controlName = "strength100Choice",
            .onDelegate = adoptStripeStrength,
            .isOn = stripeStrengthIsOn},
    // The toggles send the tag that flips the stored switch (see MainMenu).
    Command{.action = MenuAction::adoptTalvexSetting,
            .name = "adoptTalvexSetting",
            .tag = 1,
            .title = "Toggle Red Stripes",
            .shortcut = "Ctrl+R",
            .place = MenuPlace::stripeToggles,
            .sectionStart = true,
            .onPanel = adoptRedStripes,
            .isOn = redStripesAreOn},
    Command{.action = MenuAction::adoptGreenStripeSetting,
            .name = "adoptGreenStripeSetting",
            .tag = 1,
            .title = "Toggle Green Stripes",
            .shortcut = "Ctrl+G",
            .place = MenuPlace::stripeToggles,
            .onPanel = adoptGreenStripes,
            .isOn = greenStripesAreOn},
    // Refresh Speed.
    Command{.action = MenuAction::adoptSpeedSetting,
            .name = "adoptSpeedSetting",
            .tag = -1,
            .title = "Slow",
            .shortcut = "Ctrl+1",
            .place = MenuPlace::speed,
            .popup = Popup::speed,
            .popupTitle = "Slow (10 Frames per Second)",
            .controlName = "slowSpeedChoice",
            .onDelegate = adoptSpeed,
            .isOn = speedIsOn},
    Command{.action = MenuAction::adoptSpeedSetting,
            .name = "adoptSpeedSetting",
            .tag = 0,
            .title = "Normal",
            .shortcut = "Ctrl+2",
            .place = MenuPlace::speed,
            .popup = Popup::speed,
            .popupTitle = "Normal (20 Frames per Second)",
            .controlName = "normalSpeedChoice",
            .onDelegate = adoptSpeed,
            .isOn = speedIsOn},
    Command{.action = MenuAction::adoptSpeedSetting,
            .name = "adoptSpeedSetting",
            .tag = 1,
            .title = "Fast",
            .shortcut = "Ctrl+3",
            .place = MenuPlace::speed,
            .popup = Popup::speed,
            .popupTitle = "Fast (50 Frames per Second)",
            .controlName = "fastSpeedChoice",
            .onDelegate = adoptSpeed,
            .isOn = speedIsOn},
    // View Area.
    Command{.action = MenuAction::adoptViewAreaSetting,
            .name = "adoptViewAreaSetting",
            .tag = 0,
            .title = "Beneath the Panel",
            .shortcut = "Ctrl+B",
            .place = MenuPlace::area,
            .popup = Popup::area,
            .popupTitle = "Filter the Area Under the Panel",
            .controlName = "underWindowChoice",
            .onDelegate = adoptViewArea,
            .isOn = viewAreaIsOn},
    Command{.action = MenuAction::adoptViewAreaSetting,
            .name = "adoptViewAreaSetting",
            .tag = 1,
            .title = "Around the Pointer",
            .shortcut = "Ctrl+M",
            .place = MenuPlace::area,
            .popup = Popup::area,
            .popupTitle = "Filter the Area Around the Pointer",
            .controlName = "mousePointerChoice",
            .onDelegate = adoptViewArea,
            .isOn = viewAreaIsOn},
    // Magnify, a submenu of View Area.
    Command{.action = MenuAction::adoptMagnificationSetting,
            .name = "adoptMagnificationSetting",
            .tag = 1,
            .title = "1× (Actual Size)",
            .shortcut = "Ctrl+0",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 1× (Actual Size)",
            .controlName = "magnify1Choice",
            .onDelegate = adoptMagnification,
            .isOn = magnificationIsOn},
    Command{.action = MenuAction::adoptMagnificationSetting,
            .name = "adoptMagnificationSetting",
            .tag = 2,
            .title = "2×",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 2×",
            .controlName = "magnify2Choice",
            .onDelegate = adoptMagnification,
            .isOn = magnificationIsOn},
    Command{.action = MenuAction::adoptMagnificationSetting,
            .name = "adoptMagnificationSetting",
            .tag = 3,
            .title = "3×",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 3×",
            .controlName = "magnify3Choice",
            .onDelegate = adoptMagnification,
            .isOn = magnificationIsOn},
    Command{.action = MenuAction::adoptMagnificationSetting,
            .name = "adoptMagnificationSetting",
            .tag = 4,
            .title = "4×",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 4×",
            .controlName = "magnify4Choice",
            .onDelegate = adoptMagnification,
            .isOn = magnificationIsOn},
    Command{.action = MenuAction::stepMagnification,
            .name = "stepMagnification",
            .tag = 1,
            .title = "Magnify More",
            .shortcut = "Ctrl++",
            .place = MenuPlace::magnify,
            .sectionStart = true,
            .onDelegate = magnifyStep},
    Command{.action = MenuAction::stepMagnification,
            .name = "stepMagnification",
            .tag = -1,
            .title = "Magnify Less",
            .shortcut = "Ctrl+-",
            .place = MenuPlace::magnify,
            .onDelegate = magnifyStep},
    Command{.action = MenuAction::toggleNameColours,
            .name = "toggleNameColours",
            .title = "&Name Colours",
            .place = MenuPlace::area,
            .sectionStart = true,
            .controlName = "nameColoursChoice",
            .onDelegate = toggleColourNames,
            .isOn = colourNamesAreOn},
    Command{.action = MenuAction::copyColourName,
            .name = "copyColourName",
            .title = "&Copy Colour Name",
            .shortcut = "Ctrl+C",
            .place = MenuPlace::area,
            .onApplication = copyColourName,
            .isEnabled = namesColours},
    Command{.action = MenuAction::toggleHoldPicture,
            .name = "toggleHoldPicture",
            .title = "&Hold Picture",
            .shortcut = "Ctrl+H",
            .place = MenuPlace::area,
            .sectionStart = true,
            .popup = Popup::stripes,
            .popupTitle = "Hold Picture",
            .onPanel = holdPicture,
            .isOn = pictureIsHeld,
            .isEnabled = hasLens},
    Command{.action = MenuAction::toggleFindColour,
            .name = "toggleFindColour",
            .title = "&Find a Colour",
            .shortcut = "Ctrl+F",
            .place = MenuPlace::area,
            .popup = Popup::stripes,
            .popupTitle = "Find a Colour",
            .onPanel = findColour,
            .isOn = findsColour,
            .isEnabled = hasLens},
    Command{.action = MenuAction::findNamedColour,
            .name = "findNamedColour",
            .title = "Find &This Colour",
            .place = MenuPlace::area,
            .onApplication = findNamedColour,
            .isEnabled = namesColours},
    // The preferences' range of Find a Colour.
    Command{.action = MenuAction::adoptFindNearSetting,
            .name = "adoptFindNearSetting",
            .tag = -1,
            .controlName = "findCloseChoice",
            .onDelegate = adoptFindNear,
            .isOn = findNearIsOn},
    Command{.action = MenuAction::adoptFindNearSetting,
            .name = "adoptFindNearSetting",
            .tag = 0,
            .controlName = "findMediumChoice",
            .onDelegate = adoptFindNear,
            .isOn = findNearIsOn},
    Command{.action = MenuAction::adoptFindNearSetting,
            .name = "adoptFindNearSetting",
            .tag = 1,
            .controlName = "findWideChoice",
            .onDelegate = adoptFindNear,
            .isOn = findNearIsOn},
    // Help.
    Command{.action = MenuAction::sendFeedback,
            .name = "sendFeedback",
            .title = "Send Feedback…",
            .place = MenuPlace::help,
            .onDelegate = sendFeedback},
    Command{.action = MenuAction::openWebsite,
            .name = "openWebsite",
            .title = "Talvex Website",
            .place = MenuPlace::help,
            .onDelegate = openWebsite},
    // The preferences' key field sends the panel's shortcut.
    Command{.action = MenuAction::adoptPanelShortcutSetting,
            .name = "adoptPanelShortcutSetting",
            .onDelegate = adoptPanelShortcut,
            .isOn = panelShortcutIsOn},
};

}  // namespace

Responder Command::responder() const {
    if (onPanel)
        return Responder::viewController;
    return onDelegate ? Responder::appDelegate : Responder::application;
}

std::span<const Command> commands() {
    return table;
}

const Command* commandFor(MenuAction action) {
    for (const Command& row : table) {
        if (row.action == action)
            return &row;
    }
    return nullptr;
}

const char* commandName(MenuAction action) {
    const Command* row = commandFor(action);
    return row ? row->name : "none";
}

namespace {

bool isShortcut(const char* shortcut, std::int64_t combined) {
    const QKeySequence keys(QString::fromLatin1(shortcut));
    return !keys.isEmpty() && keys[0].toCombined() == combined;
}

}  // namespace

std::string commandUsingKey(std::int64_t combined) {
    if (isShortcut(openMenusShortcut, combined))
        return openMenusTitle;
    for (const Command& row : table) {
        if (row.shortcut && isShortcut(row.shortcut, combined))
            return QString::fromUtf8(row.title).remove(QLatin1Char('&')).toStdString();
    }
    return {};
}

bool validateCommand(MenuItem& item, Responder responder, const CheckContext& context) {
    const Command* row = commandFor(item.action());
    if (!row || row->responder() != responder)
        return false;
    if (row->isOn)
        item.setState(row->isOn(context, item.tag()) ? ControlState::on : ControlState::off);
    return !row->isEnabled || row->isEnabled(context);
}

}  // namespace talvex
