#pragma once

// The menu commands that write the four settings, and the menu validation that puts
// the check marks beside the values in force. Each command takes the sending item and
// stores its tag; validation reads the store afresh every time, so a choice made in
// one menu shows in every other the next time it opens.
//
// The application delegate answers the speed and view-area commands (and feedback,
// website); the main panel's view controller answers the two stripe commands. Both
// forward their Qt menus here through the MenuItem interface. The store argument
// defaults to the standard store; tests pass their own.
#include "app/MenuItem.h"
#include "platform/UserDefaults.h"

namespace talvex {

// Stores the tag under RefreshSpeed when it is -1, 0 or 1; any other tag is ignored
// (nothing written, no notification).
void adoptSpeedSetting(const MenuItem& sender, UserDefaults& defaults = UserDefaults::standard());

// Stores the tag under ViewArea when it is 0 or 1; any other tag is ignored.
void adoptViewAreaSetting(const MenuItem& sender,
                          UserDefaults& defaults = UserDefaults::standard());

// Store the tag, unchecked, under TalvexsEnabled / GreenStripesEnabled (1 shows the
// stripes, 0 hides them; the filter receives whatever number is stored).
void adoptTalvexSetting(const MenuItem& sender, UserDefaults& defaults = UserDefaults::standard());
void adoptGreenStripeSetting(const MenuItem& sender,
                             UserDefaults& defaults = UserDefaults::standard());

// Stores the tag, a Qt key combination (0: none), under PanelShortcut.
void adoptPanelShortcutSetting(const MenuItem& sender,
                               UserDefaults& defaults = UserDefaults::standard());

// Turns the colour names on when they are off and off when they are on.
void toggleNameColours(UserDefaults& defaults = UserDefaults::standard());

// Stores the tag under StripeStrength when it is 25, 50, 75 or 100; any other tag is
// ignored.
void adoptStripeStrengthSetting(const MenuItem& sender,
                                UserDefaults& defaults = UserDefaults::standard());

// The actions the application delegate answers.
bool appDelegateRespondsTo(MenuAction action);

// Menu validation of the application delegate; returns whether the item is enabled.
//  - speed items: on iff tag == raw value of currentRefreshSpeed; enabled.
//  - view-area items: on iff tag == (stored ViewArea == 1 ? 1 : 0); enabled.
//  - the panel's shortcut: on iff tag == currentPanelShortcut; enabled.
//  - the colour-names toggle: on iff nameColoursEnabled; enabled.
//  - anything else: state unchanged; enabled iff appDelegateRespondsTo(action).
bool validateAppDelegateMenuItem(MenuItem& item,
                                 const UserDefaults& defaults = UserDefaults::standard());

// Menu validation of the main panel's view controller.
//  - stripe items: on iff tag == the integer stored under their key; enabled.
//  - anything else: state unchanged; disabled.
bool validateViewControllerMenuItem(MenuItem& item,
                                    const UserDefaults& defaults = UserDefaults::standard());

}  // namespace talvex
