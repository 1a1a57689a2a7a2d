#pragma once

// The actions that write the settings. Each takes the sending item and stores its tag;
// the check mark rules (ActionTable) read the store afresh every time a menu opens, so
// a choice made in one menu shows in every other the next time it opens.
//
// The rows of ActionTable call these. The store argument defaults to the standard
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

// Store the tag, unchecked, under the red / green stripe switch (1 shows the stripes, 0
// hides them; the filter receives whatever number is stored).
void adoptRedStripeSetting(const MenuItem& sender,
                           UserDefaults& defaults = UserDefaults::standard());
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

}  // namespace talvex
