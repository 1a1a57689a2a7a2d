#pragma once

// Every command Talvex answers, one row per item: the action and the value it sends
// (tag), where the item shows (☰ menu, title-bar pop-up, preferences window), its
// title and shortcut, who answers it, the named action it calls and how its check mark
// is worked out. The menus, the pop-ups, the shortcuts and the preferences' controls
// are built from these rows; the responder chain, the delegate and the view controller
// look a row up to perform and validate. A new command is a MenuAction value, its
// named action and one row.
#include <cstdint>
#include <span>
#include <string>

#include "app/MenuItem.h"

namespace talvex {

class TXAppDelegate;
class TXApplication;
class TXViewController;
class UserDefaults;

// Who answers a command. The view controller's commands are answered only while the
// panel exists; the application's only once it is running.
enum class Responder { viewController, appDelegate, application };

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

// What a check mark or enabling rule may read.
struct CheckContext {
    const UserDefaults& defaults;
    const TXViewController* viewController = nullptr;
};

struct Command {
    using DelegateAction = void (*)(TXAppDelegate&, const MenuItem& sender);
    using PanelAction = void (*)(TXViewController&, const MenuItem& sender);
    using ApplicationAction = void (*)(TXApplication&, const MenuItem& sender);
    using CheckRule = bool (*)(const CheckContext&, std::int64_t tag);
    using EnableRule = bool (*)(const CheckContext&);

    MenuAction action = MenuAction::none;
    const char* name = "";
    std::int64_t tag = 0;
    // The ☰ menu: title (none: not there), shortcut, place, a separator above it.
    const char* title = nullptr;
    const char* shortcut = nullptr;
    MenuPlace place = MenuPlace::none;
    bool sectionStart = false;
    // The title-bar pop-up: its title there (none: not there).
    Popup popup = Popup::none;
    const char* popupTitle = nullptr;
    // The object name of the preferences window's control (none: not there).
    const char* controlName = nullptr;
    // Exactly one of the three is set; it names the responder.
    DelegateAction onDelegate = nullptr;
    PanelAction onPanel = nullptr;
    ApplicationAction onApplication = nullptr;
    // Whether the item carries a check mark now (none: it never carries one).
    CheckRule isOn = nullptr;
    // Whether the item is enabled (none: always, while its responder is there).
    EnableRule isEnabled = nullptr;

    Responder responder() const;
};

// All rows, in the order their items show.
std::span<const Command> commands();
// The first row of `action`: the one that says who answers it and how; nullptr for
// MenuAction::none.
const Command* commandFor(MenuAction action);
// The action's name ("adoptSpeedSetting"); "none" for none.
const char* commandName(MenuAction action);

// The key that opens the menus from the keyboard; a shortcut of Talvex's, though no row's.
inline constexpr const char* openMenusShortcut = "F10";
inline constexpr const char* openMenusTitle = "Open Menus";

// What Talvex does with the key combination `combined` (a QKeyCombination's combined
// value) while one of its windows is active: the title of the command whose shortcut it
// is, without its mnemonic mark ("Toggle Red Stripes"); empty when none uses it.
std::string commandUsingKey(std::int64_t combined);

// Validation by `responder`: an action it does not answer is disabled and keeps its
// state; else the row's rule sets the check mark and the row says whether it is enabled.
bool validateCommand(MenuItem& item, Responder responder, const CheckContext& context);

}  // namespace talvex
