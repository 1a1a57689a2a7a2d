#pragma once

// Where every menu of the application sends its commands. Each command's row (see
// Commands) names the one that answers it: the panel's view controller (stripe
// commands, Hold Picture; while the panel exists), the application's delegate
// (settings, feedback, website, start at login) or the application itself (about box,
// preferences, quit, copying the colour name). That one performs and validates it; an
// item whose responder is not there, or that no row answers, is disabled.
#include "app/MenuActionTarget.h"

namespace talvex {

class TXAppDelegate;
class TXApplication;
class TXViewController;

class ResponderChain final : public MenuActionTarget {
public:
    explicit ResponderChain(TXAppDelegate& delegate) : delegate_(delegate) {}

    // The view controller of the panel; nullptr once the panel is gone.
    void setViewController(TXViewController* controller) { viewController_ = controller; }
    // The application that answers the application-level commands; not owned.
    void setApplication(TXApplication* application) { application_ = application; }

    void sendAction(const MenuItem& sender) override;
    bool validateMenuItem(MenuItem& item) override;

private:
    TXAppDelegate& delegate_;
    TXViewController* viewController_ = nullptr;
    TXApplication* application_ = nullptr;
};

}  // namespace talvex
