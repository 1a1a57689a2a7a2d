#pragma once

// Where every menu of the application sends its commands: the panel's view
// controller first (stripe commands, while the panel exists), then the application's
// delegate (speed, view area, feedback, website), then the application itself (about
// box, preferences, quit). A command goes to the first of them that answers it, and
// that one validates its items; an item nobody answers is disabled.
#include <functional>
#include <map>

#include "app/MenuActionTarget.h"

namespace talvex {

class TXAppDelegate;
class TXViewController;

class ResponderChain final : public MenuActionTarget {
public:
    explicit ResponderChain(TXAppDelegate& delegate) : delegate_(delegate) {}

    // The view controller of the panel; nullptr once the panel is gone.
    void setViewController(TXViewController* controller) { viewController_ = controller; }
    // An application-level command (about box, preferences, quit).
    void setApplicationAction(MenuAction action, std::function<void()> perform);

    void sendAction(const MenuItem& sender) override;
    bool validateMenuItem(MenuItem& item) override;

private:
    TXAppDelegate& delegate_;
    TXViewController* viewController_ = nullptr;
    std::map<MenuAction, std::function<void()>> applicationActions_;
};

}  // namespace talvex
