#include "talvex/ResponderChain.h"

#include "platform/UserDefaults.h"
#include "talvex/Commands.h"
#include "talvex/TXAppDelegate.h"
#include "talvex/TXViewController.h"

namespace talvex {

// A command sent while its row says it is disabled (a shortcut, which no menu validates
// first) is not performed.
void ResponderChain::sendAction(const MenuItem& sender) {
    const Command* row = commandFor(sender.action());
    if (!row || (row->isEnabled && !row->isEnabled({UserDefaults::standard(), viewController_})))
        return;
    switch (row->responder()) {
        case Responder::viewController:
            if (viewController_)
                viewController_->perform(sender);
            return;
        case Responder::appDelegate:
            delegate_.perform(sender);
            return;
        case Responder::application:
            if (application_)
                row->onApplication(*application_, sender);
            return;
    }
}

bool ResponderChain::validateMenuItem(MenuItem& item) {
    const Command* row = commandFor(item.action());
    if (!row)
        return false;
    switch (row->responder()) {
        case Responder::viewController:
            return viewController_ && viewController_->validateMenuItem(item);
        case Responder::appDelegate:
            return delegate_.validateMenuItem(item);
        case Responder::application:
            return application_ &&
                   validateCommand(item, Responder::application, {UserDefaults::standard()});
    }
    return false;
}

}  // namespace talvex
