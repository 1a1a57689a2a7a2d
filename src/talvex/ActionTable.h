#pragma once

// Every action Talvex answers, one row each: its name, who answers it (the type of its
// perform function says which), what it does and the rules for its check mark and its
// enabled state. The items that send an action (menus, pop-ups, shortcuts, preference
// controls) are in ItemTable and carry no facts of the action's own. A new action is a
// MenuAction value and one row here, in the enum's order.
#include <cstdint>
#include <variant>

#include "app/MenuItem.h"

namespace talvex {

class TXAppDelegate;
class TXApplication;
class TXViewController;
class UserDefaults;

// Who answers an action, in the order of ActionRow::Perform's alternatives. The view
// controller's actions are answered only while the panel exists; the application's
// only once it is running.
enum class Responder { appDelegate, viewController, application };

// What a check mark or enabling rule may read.
struct CheckContext {
    const UserDefaults& defaults;
    const TXViewController* viewController = nullptr;
};

struct ActionRow {
    using DelegateAction = void (*)(TXAppDelegate&, const MenuItem& sender);
    using PanelAction = void (*)(TXViewController&, const MenuItem& sender);
    using ApplicationAction = void (*)(TXApplication&, const MenuItem& sender);
    using Perform = std::variant<DelegateAction, PanelAction, ApplicationAction>;
    using CheckRule = bool (*)(const CheckContext&, std::int64_t tag);
    using EnableRule = bool (*)(const CheckContext&);

    MenuAction action = MenuAction::none;
    const char* name = "";
    Perform perform;
    // Whether an item with this tag carries a check mark now (none: it never carries one).
    CheckRule isOn = nullptr;
    // Whether the action may be performed now (none: always, while its responder is there).
    EnableRule isEnabled = nullptr;

    Responder responder() const { return static_cast<Responder>(perform.index()); }
};

// The action's row; nullptr for MenuAction::none and values outside the enum.
const ActionRow* actionRow(MenuAction action);
// The action's name ("adoptSpeedSetting"); "none" without a row.
const char* actionName(MenuAction action);

// Validation by the action's rules, whoever answers it: an action without a row is
// disabled and the item keeps its state; else the check rule sets the item's state
// and the enabling rule gives the result.
bool validateAction(MenuItem& item, const CheckContext& context);
bool validateAction(const ActionRow& row, MenuItem& item, const CheckContext& context);

}  // namespace talvex
