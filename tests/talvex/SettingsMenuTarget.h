#pragma once

// A MenuActionTarget as the application wires it: the settings commands write the
// given store, validation reads it. It also records every item sent, for checking
// which action and tag a widget sends.
#include <utility>
#include <vector>

#include "app/MenuActionTarget.h"
#include "talvex/ActionTable.h"
#include "talvex/SettingsActions.h"

namespace talvex::test {

class SettingsMenuTarget : public MenuActionTarget {
public:
    explicit SettingsMenuTarget(UserDefaults& defaults) : defaults_(defaults) {}

    void sendAction(const MenuItem& sender) override {
        sent.emplace_back(sender.action(), sender.tag());
        switch (sender.action()) {
            case MenuAction::adoptSpeedSetting:
                return adoptSpeedSetting(sender, defaults_);
            case MenuAction::adoptViewAreaSetting:
                return adoptViewAreaSetting(sender, defaults_);
            case MenuAction::adoptRedStripeSetting:
                return adoptRedStripeSetting(sender, defaults_);
            case MenuAction::adoptGreenStripeSetting:
                return adoptGreenStripeSetting(sender, defaults_);
            case MenuAction::adoptStripeStrengthSetting:
                return adoptStripeStrengthSetting(sender, defaults_);
            case MenuAction::adoptPanelShortcutSetting:
                return adoptPanelShortcutSetting(sender, defaults_);
            case MenuAction::adoptMagnificationSetting:
                return adoptMagnificationSetting(sender, defaults_);
            case MenuAction::stepMagnification:
                return stepMagnification(sender, defaults_);
            case MenuAction::adoptFindNearSetting:
                return adoptFindNearSetting(sender, defaults_);
            case MenuAction::toggleNameColours:
                return toggleNameColours(defaults_);
            default:
                return;
        }
    }

    bool validateMenuItem(MenuItem& item) override { return validateAction(item, {defaults_}); }

    std::vector<std::pair<MenuAction, std::int64_t>> sent;

private:
    UserDefaults& defaults_;
};

}  // namespace talvex::test
