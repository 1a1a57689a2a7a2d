#pragma once

// Adapts a Qt menu action, or a checkable button that stands for one (the preference
// window's radio buttons), to MenuItem. The value and the action live on the object
// as dynamic properties, set by configure():
//   "tag"        (int)    the value the item selects
//   "menuAction" (int)    the MenuAction
// The item's state is the object's "checked" property.
#include <QPointer>
#include <functional>

#include "app/MenuItem.h"

class QAbstractButton;
class QAction;
class QMenu;
class QObject;

namespace talvex {

class MenuActionTarget;

class QtMenuItem final : public MenuItem {
public:
    static constexpr const char* tagProperty = "tag";
    static constexpr const char* actionProperty = "menuAction";

    explicit QtMenuItem(QAction* action);
    explicit QtMenuItem(QAbstractButton* button);

    std::int64_t tag() const override;
    MenuAction action() const override;
    ControlState state() const override;
    void setState(ControlState state) override;

    // Gives `object` the tag and action properties that this adapter reads.
    static void configure(QObject* object, MenuAction action, std::int64_t tag);

private:
    QPointer<QObject> object_;
};

// Sends every item of `menu` to `*target` when it is triggered, and validates every
// item each time the menu is about to show, so that its check marks and enabled
// states follow the store wherever the value was changed. `target` is read at the
// moment of use; while it gives nullptr the items do nothing and keep their state.
void routeMenuThroughTarget(QMenu* menu, std::function<MenuActionTarget*()> target);
// Validates every item of `menu` once, now.
void validateMenuItems(QMenu* menu, MenuActionTarget* target);

}  // namespace talvex
