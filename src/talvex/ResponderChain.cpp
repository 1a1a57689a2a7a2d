#include "talvex/ResponderChain.h"

#include "platform/UserDefaults.h"
#include "talvex/ActionTable.h"

namespace talvex {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

}  // namespace

bool ResponderChain::isThere(Responder responder) const {
    switch (responder) {
        case Responder::appDelegate:
            return true;
        case Responder::viewController:
            return viewController_ != nullptr;
        case Responder::application:
            return application_ != nullptr;
    }
    return false;
}

void ResponderChain::perform(const ActionRow& row, const MenuItem& sender) {
    std::visit(Overloaded{
                   [&](ActionRow::DelegateAction action) { action(delegate_, sender); },
                   [&](ActionRow::PanelAction action) { action(*viewController_, sender); },
                   [&](ActionRow::ApplicationAction action) { action(*application_, sender); },
               },
               row.perform);
}

// An action sent while its row says it is disabled (a shortcut, which no menu validates
// first) is not performed.
void ResponderChain::sendAction(const MenuItem& sender) {
    const ActionRow* row = actionRow(sender.action());
    if (!row || !isThere(row->responder()))
        return;
    if (row->isEnabled && !row->isEnabled({UserDefaults::standard(), viewController_}))
        return;
    perform(*row, sender);
}

bool ResponderChain::validateMenuItem(MenuItem& item) {
    const ActionRow* row = actionRow(item.action());
    return row && isThere(row->responder()) &&
           validateAction(*row, item, {UserDefaults::standard(), viewController_});
}

}  // namespace talvex
