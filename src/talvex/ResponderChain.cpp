#include "talvex/ResponderChain.h"

#include "talvex/TXAppDelegate.h"
#include "talvex/TXViewController.h"

namespace talvex {

void ResponderChain::setApplicationAction(MenuAction action, std::function<void()> perform) {
    applicationActions_[action] = std::move(perform);
}

void ResponderChain::sendAction(const MenuItem& sender) {
    const MenuAction action = sender.action();
    if (viewController_ && viewController_->respondsTo(action)) {
        viewController_->perform(sender);
    } else if (delegate_.respondsTo(action)) {
        delegate_.perform(sender);
    } else if (auto it = applicationActions_.find(action); it != applicationActions_.end()) {
        it->second();
    }
}

bool ResponderChain::validateMenuItem(MenuItem& item) {
    const MenuAction action = item.action();
    if (viewController_ && viewController_->respondsTo(action)) {
        return viewController_->validateMenuItem(item);
    }
    if (delegate_.respondsTo(action))
        return delegate_.validateMenuItem(item);
    return applicationActions_.count(action) != 0;
}

}  // namespace talvex
