#pragma once

// Where menu items (and the preference window's choices) send their actions. The
// application installs one target that answers every MenuAction: the settings
// actions write the store, validation puts the check marks on the items. Widgets
// that own menus hold a non-owning pointer to it and do nothing while it is unset.
#include "app/MenuItem.h"

namespace talvex {

class MenuActionTarget {
public:
    virtual ~MenuActionTarget() = default;
    // Performs `sender.action()` with `sender` as the sender (its tag is the value).
    virtual void sendAction(const MenuItem& sender) = 0;
    // Sets the item's state from the value in force; returns whether it is enabled.
    virtual bool validateMenuItem(MenuItem& item) = 0;
};

}  // namespace talvex
