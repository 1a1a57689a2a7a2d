#pragma once

// The menu commands that write the four settings, and the menu validation that puts
// the check marks beside the values in force. Each command takes the sending item and
// stores its tag; validation reads the store afresh every time, so a choice made in
// one menu shows in every other the next time it opens.
//
// Which responder answers each command, and with which check mark rule, is in the
// rows of Commands; the rows call these. The store argument defaults to the standard
// store; tests pass their own.
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

// Stores the tag, a Qt key combination (0: none), under PanelShortcut; a key that
// Talvex uses itself (commandUsingKey) is refused and nothing is written.
void adoptPanelShortcutSetting(const MenuItem& sender,
                               UserDefaults& defaults = UserDefaults::standard());

// Turns the colour names on when they are off and off when they are on.
void toggleNameColours(UserDefaults& defaults = UserDefaults::standard());

// Stores the tag under StripeStrength when it is 25, 50, 75 or 100; any other tag is
// ignored.
void adoptStripeStrengthSetting(const MenuItem& sender,
                                UserDefaults& defaults = UserDefaults::standard());

// Stores the tag under Magnification when it is 1, 2, 3 or 4; any other tag is ignored.
void adoptMagnificationSetting(const MenuItem& sender,
                               UserDefaults& defaults = UserDefaults::standard());
// Magnifies one step more (tag 1) or less (tag -1) than now, within 1 ... 4; at either
// end, and for any other tag, nothing is written.
void stepMagnification(const MenuItem& sender, UserDefaults& defaults = UserDefaults::standard());

// Stores the tag under FindNear when it is -1, 0 or 1 (FindNear); any other tag is ignored.
void adoptFindNearSetting(const MenuItem& sender,
                          UserDefaults& defaults = UserDefaults::standard());

// The actions the application delegate answers.
bool appDelegateRespondsTo(MenuAction action);

// Menu validation of the application delegate and of the main panel's view controller
// (without its lens), by the rows of Commands: an item of the other responder's is
// disabled and keeps its state. Returns whether the item is enabled.
bool validateAppDelegateMenuItem(MenuItem& item,
                                 const UserDefaults& defaults = UserDefaults::standard());
bool validateViewControllerMenuItem(MenuItem& item,
                                    const UserDefaults& defaults = UserDefaults::standard());

}  // namespace talvex
