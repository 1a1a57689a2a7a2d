#pragma once

// Every item that sends an action, one row each: the action and the value it sends
// (tag), its title and place in the ☰ menu, its shortcut and what the shortcut does,
// its title in a title-bar pop-up and the preferences window's control that stands for
// it. The menus, the pop-ups, the shortcuts, the preferences' controls and the
// shortcut list of `talvex --help` are built from these rows. What the action does and
// when it is checked or enabled is its own row's (ActionTable).
#include <cstdint>
#include <span>
#include <string>

#include "app/MenuItem.h"

namespace talvex {

// Where an item shows in the ☰ menu (which the right-click, F10 and the tray open too).
enum class MenuPlace {
    none,
    application,
    stripes,
    stripeStrength,
    stripeToggles,
    speed,
    area,
    magnify,
    help
};

// Which title-bar pop-up shows an item.
enum class Popup { none, stripes, speed, area };

struct ItemRow {
    MenuAction action = MenuAction::none;
    std::int64_t tag = 0;
    // The ☰ menu: title (none: not there), place, a separator above it.
    const char* title = nullptr;
    MenuPlace place = MenuPlace::none;
    bool sectionStart = false;
    // The keyboard shortcut (none: no key) and what it does, for `talvex --help`.
    const char* shortcut = nullptr;
    const char* keyHelp = nullptr;
    // The title-bar pop-up: its title there (none: not there).
    Popup popup = Popup::none;
    const char* popupTitle = nullptr;
    // The object name of the preferences window's control (none: not there).
    const char* control = nullptr;
};

// All rows, in the order their items show.
std::span<const ItemRow> itemRows();

// The key that opens the menus from the keyboard; a shortcut of Talvex's, though no row's.
inline constexpr const char* openMenusShortcut = "F10";
inline constexpr const char* openMenusTitle = "Open Menus";

// What Talvex does with the key combination `combined` (a QKeyCombination's combined
// value) while one of its windows is active: the title of the item whose shortcut it
// is, without its mnemonic mark ("Toggle Red Stripes"); empty when none uses it.
std::string commandUsingKey(std::int64_t combined);

// One line of `talvex --help`'s shortcut list: the keys, then what they do in a column.
std::string shortcutHelpLine(const char* keys, const char* help);
// The shortcut list: the rows' shortcuts in the rows' order, then F10.
std::string shortcutHelp();

}  // namespace talvex
