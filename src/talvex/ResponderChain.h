#pragma once

// Where every menu of the application sends its actions. Each action's row (see
// ActionTable) names the one that answers it: the panel's view controller (stripe
// switches, Hold Picture, Find a Colour; while the panel exists), the application's
// delegate (settings, feedback, website, start at login) or the application itself
// (about box, preferences, quit, the colour name). The chain looks the row up once and
// performs or validates it by the row's own rules; an item whose responder is not
// there, or that no row answers, is disabled.
#include "app/MenuActionTarget.h"

namespace talvex {

class TXAppDelegate;
class TXApplication;
class TXViewController;
struct ActionRow;
enum class Responder;

class ResponderChain final : public MenuActionTarget {
public:
    explicit ResponderChain(TXAppDelegate& delegate) : delegate_(delegate) {}

    // The view controller of the panel; nullptr once the panel is gone.
    void setViewController(TXViewController* controller) { viewController_ = controller; }
    // The application that answers the application-level actions; not owned.
    void setApplication(TXApplication* application) { application_ = application; }

    void sendAction(const MenuItem& sender) override;
    bool validateMenuItem(MenuItem& item) override;

private:
    bool isThere(Responder responder) const;
    void perform(const ActionRow& row, const MenuItem& sender);

    TXAppDelegate& delegate_;
    TXViewController* viewController_ = nullptr;
    TXApplication* application_ = nullptr;
};

}  // namespace talvex
