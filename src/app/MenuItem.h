#pragma once

// A menu item as the settings actions and menu validation see it: the value it
// selects (tag), the action it sends, and its check state. Qt menus are adapted to
// this (see QtMenuItem); tests use it directly.
#include <cstdint>

namespace talvex {

// The actions that menu items send. The actions table (talvex/ActionTable) has one row
// per value, in this order: its name, its responder, what it does and its rules.
enum class MenuAction {
    none,
    adoptSpeedSetting,
    adoptViewAreaSetting,
    adoptRedStripeSetting,
    adoptGreenStripeSetting,
    sendFeedback,
    openWebsite,
    orderFrontAboutBox,
    showPreferences,
    terminate,
    toggleStartAtLogin,
    adoptPanelShortcutSetting,
    toggleNameColours,
    copyColourName,
    adoptStripeStrengthSetting,
    toggleHoldPicture,
    adoptMagnificationSetting,
    stepMagnification,
    toggleFindColour,
    findNamedColour,
    adoptFindNearSetting,
    // Not an action: one past the last, so that the actions table can be held to the enum.
    endOfActions,
};

enum class ControlState : int { off = 0, on = 1 };

class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual std::int64_t tag() const = 0;
    virtual MenuAction action() const = 0;
    virtual ControlState state() const = 0;
    virtual void setState(ControlState state) = 0;
};

// A menu item held in memory.
class PlainMenuItem final : public MenuItem {
public:
    PlainMenuItem(MenuAction action, std::int64_t tag) : action_(action), tag_(tag) {}
    std::int64_t tag() const override { return tag_; }
    MenuAction action() const override { return action_; }
    ControlState state() const override { return state_; }
    void setState(ControlState state) override { state_ = state; }

private:
    MenuAction action_;
    std::int64_t tag_;
    ControlState state_ = ControlState::off;
};

}  // namespace talvex
