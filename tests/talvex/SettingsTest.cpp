#include <gtest/gtest.h>

#include <QKeySequence>
#include <cstdint>
#include <limits>
#include <vector>

#include "app/MenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"
#include "talvex/ActionTable.h"
#include "talvex/ItemTable.h"
#include "talvex/SettingsActions.h"

namespace talvex {
namespace {

using Tags = std::vector<std::int64_t>;

class SettingsActionsTest : public testing::Test {
protected:
    SettingsActionsTest() : store(test::makeTempDir("settings") / "defaults.json") {
        store.registerDefaults(
            {{keys::redStripesEnabled, true}, {keys::greenStripesEnabled, true}});
        QObject::connect(&store, &UserDefaults::valueChanged, [this] { ++changes; });
    }

    // Validates one item per tag, as opening a menu does; returns the checked tags.
    Tags checked(MenuAction action, Tags tags) {
        Tags on;
        for (auto tag : tags) {
            PlainMenuItem item(action, tag);
            EXPECT_TRUE(validateAction(item, {store}));
            if (item.state() == ControlState::on)
                on.push_back(tag);
        }
        return on;
    }
    Tags checkedSpeed() { return checked(MenuAction::adoptSpeedSetting, {-1, 0, 1}); }
    Tags checkedArea() { return checked(MenuAction::adoptViewAreaSetting, {0, 1}); }
    Tags checkedRed() { return checked(MenuAction::adoptRedStripeSetting, {0, 1}); }
    Tags checkedGreen() { return checked(MenuAction::adoptGreenStripeSetting, {0, 1}); }

    UserDefaults store;
    int changes = 0;
};

TEST_F(SettingsActionsTest, ReadingRulesTurnAnyOtherNumberIntoNormalSpeedAndAreaBeneathPanel) {
    EXPECT_EQ(currentRefreshSpeed(store), RefreshSpeed::normal);
    EXPECT_EQ(currentViewArea(store), ViewArea::underWindow);
    // 4294967297 must not be narrowed to 32 bits on the way (it would become 1).
    const std::int64_t others[] = {7, -2, 2, 4294967297LL,
                                   std::numeric_limits<std::int64_t>::min()};
    for (std::int64_t v : others) {
        store.setIntegerForKey(v, keys::refreshSpeed);
        store.setIntegerForKey(v, keys::viewArea);
        EXPECT_EQ(currentRefreshSpeed(store), RefreshSpeed::normal) << v;
        EXPECT_EQ(currentViewArea(store), ViewArea::underWindow) << v;
    }
    store.setIntegerForKey(-1, keys::refreshSpeed);
    EXPECT_EQ(currentRefreshSpeed(store), RefreshSpeed::slow);
    store.setIntegerForKey(1, keys::refreshSpeed);
    store.setIntegerForKey(1, keys::viewArea);
    EXPECT_EQ(currentRefreshSpeed(store), RefreshSpeed::fast);
    EXPECT_EQ(currentViewArea(store), ViewArea::mousePointer);
}

TEST_F(SettingsActionsTest, CheckMarksFallBackToTheDefaultsAndOddStoredValuesStayStored) {
    EXPECT_EQ(checkedRed(), Tags{1});
    EXPECT_EQ(checkedGreen(), Tags{1});
    EXPECT_EQ(checkedSpeed(), Tags{0});
    EXPECT_EQ(checkedArea(), Tags{0});

    store.setIntegerForKey(7, keys::refreshSpeed);
    store.setIntegerForKey(-3, keys::viewArea);
    EXPECT_EQ(checkedSpeed(), Tags{0});
    EXPECT_EQ(checkedArea(), Tags{0});
    EXPECT_EQ(store.integerForKey(keys::refreshSpeed), 7);
    EXPECT_EQ(store.integerForKey(keys::viewArea), -3);
}

TEST_F(SettingsActionsTest, SpeedAndAreaItemsOutsideTheSetWriteAndPostNothing) {
    for (std::int64_t tag : Tags{2, -2, 4294967296LL})
        adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, tag), store);
    for (std::int64_t tag : Tags{2, -1, 4294967297LL})
        adoptViewAreaSetting(PlainMenuItem(MenuAction::adoptViewAreaSetting, tag), store);
    EXPECT_EQ(changes, 0);
    store.flush();
    EXPECT_FALSE(std::filesystem::exists(store.filePath()));
}

TEST_F(SettingsActionsTest, ChoosingAValueStoresItPostsEachTimeAndChecksItInEveryMenu) {
    // The same speed from the menu bar and from the title-bar pop-up: both writes post.
    adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, -1), store);
    adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, -1), store);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(checkedSpeed(), Tags{-1});

    adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, 1), store);
    adoptViewAreaSetting(PlainMenuItem(MenuAction::adoptViewAreaSetting, 1), store);
    adoptRedStripeSetting(PlainMenuItem(MenuAction::adoptRedStripeSetting, 0), store);
    EXPECT_EQ(checkedSpeed(), Tags{1});
    EXPECT_EQ(checkedArea(), Tags{1});
    EXPECT_EQ(checkedRed(), Tags{0});
    EXPECT_EQ(checkedGreen(), Tags{1});

    store.flush();  // as the program does when it quits
    UserDefaults relaunched(store.filePath());
    EXPECT_EQ(currentRefreshSpeed(relaunched), RefreshSpeed::fast);
    EXPECT_EQ(currentViewArea(relaunched), ViewArea::mousePointer);
    EXPECT_EQ(relaunched.integerForKey(keys::redStripesEnabled), 0);
}

TEST_F(SettingsActionsTest, StripeItemsStoreAnyTagUnchecked) {
    adoptGreenStripeSetting(PlainMenuItem(MenuAction::adoptGreenStripeSetting, 3), store);
    EXPECT_EQ(store.integerForKey(keys::greenStripesEnabled), 3);
    EXPECT_EQ(checkedGreen(), Tags{});
    EXPECT_EQ(checkedRed(), Tags{1});
    EXPECT_EQ(changes, 1);
}

TEST_F(SettingsActionsTest, TheShortcutIsCtrlAltLUntilOneIsStoredAndColourNamesToggle) {
    const auto checkedFor = [&](MenuAction action, std::int64_t tag) {
        PlainMenuItem item(action, tag);
        EXPECT_TRUE(validateAction(item, {store}));
        return item.state() == ControlState::on;
    };
    EXPECT_EQ(currentPanelShortcut(store), defaultPanelShortcut);
    EXPECT_TRUE(checkedFor(MenuAction::adoptPanelShortcutSetting, defaultPanelShortcut));
    adoptPanelShortcutSetting(PlainMenuItem(MenuAction::adoptPanelShortcutSetting, 0), store);
    EXPECT_EQ(currentPanelShortcut(store), 0) << "none, not the default again";
    EXPECT_TRUE(checkedFor(MenuAction::adoptPanelShortcutSetting, 0));
    // Talvex's own keys are refused: grabbed, they would no longer reach Talvex.
    for (const char* own : {"Ctrl+R", "Ctrl+,", "F10"}) {
        const std::int64_t key = QKeySequence(QString::fromLatin1(own))[0].toCombined();
        EXPECT_FALSE(commandUsingKey(key).empty()) << own;
        adoptPanelShortcutSetting(PlainMenuItem(MenuAction::adoptPanelShortcutSetting, key), store);
        EXPECT_EQ(currentPanelShortcut(store), 0) << own;
    }
    EXPECT_EQ(commandUsingKey(QKeySequence(QStringLiteral("Ctrl+R"))[0].toCombined()),
              "Toggle Red Stripes");

    // Copy Colour Name is enabled only while the names are on.
    const auto copyEnabled = [&] {
        PlainMenuItem copy(MenuAction::copyColourName, 0);
        return validateAction(copy, {store});
    };
    EXPECT_FALSE(nameColoursEnabled(store));
    EXPECT_FALSE(copyEnabled());
    toggleNameColours(store);
    EXPECT_TRUE(nameColoursEnabled(store));
    EXPECT_TRUE(checkedFor(MenuAction::toggleNameColours, 0));
    EXPECT_TRUE(copyEnabled());
    toggleNameColours(store);
    EXPECT_FALSE(checkedFor(MenuAction::toggleNameColours, 0));
    EXPECT_EQ(changes, 3);
}

TEST_F(SettingsActionsTest, StripeStrengthTakesOnlyItsFourValuesAndFullIsTheDefault) {
    const auto checkedFor = [&](std::int64_t tag) {
        PlainMenuItem item(MenuAction::adoptStripeStrengthSetting, tag);
        EXPECT_TRUE(validateAction(item, {store}));
        return item.state() == ControlState::on;
    };
    EXPECT_EQ(currentStripeStrength(store), 100);
    EXPECT_TRUE(checkedFor(100));
    adoptStripeStrengthSetting(PlainMenuItem(MenuAction::adoptStripeStrengthSetting, 60), store);
    EXPECT_EQ(changes, 0);
    adoptStripeStrengthSetting(PlainMenuItem(MenuAction::adoptStripeStrengthSetting, 50), store);
    EXPECT_EQ(currentStripeStrength(store), 50);
    EXPECT_TRUE(checkedFor(50));
    EXPECT_FALSE(checkedFor(100));
    store.setIntegerForKey(30, keys::stripeStrength);
    EXPECT_EQ(currentStripeStrength(store), 100) << "an odd stored value draws full stripes";
}

// Older files have no Magnification: 1×. Steps stop at 1× and 4× without writing.
TEST_F(SettingsActionsTest, MagnificationTakesOneToFourAndStepsStayWithinThem) {
    const auto magnifiedBy = [&](std::int64_t tag) {
        PlainMenuItem item(MenuAction::adoptMagnificationSetting, tag);
        EXPECT_TRUE(validateAction(item, {store}));
        return item.state() == ControlState::on;
    };
    const auto step = [&](std::int64_t tag) {
        stepMagnification(PlainMenuItem(MenuAction::stepMagnification, tag), store);
        return currentMagnification(store);
    };
    EXPECT_EQ(currentMagnification(store), 1);
    EXPECT_TRUE(magnifiedBy(1));
    adoptMagnificationSetting(PlainMenuItem(MenuAction::adoptMagnificationSetting, 5), store);
    EXPECT_EQ(step(-1), 1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(step(1), 2);
    EXPECT_EQ(step(1), 3);
    EXPECT_TRUE(magnifiedBy(3));
    EXPECT_FALSE(magnifiedBy(1));
    EXPECT_EQ(step(1), 4);
    EXPECT_EQ(step(1), 4);
    EXPECT_EQ(step(7), 4);
    EXPECT_EQ(changes, 3);
    adoptMagnificationSetting(PlainMenuItem(MenuAction::adoptMagnificationSetting, 1), store);
    EXPECT_EQ(currentMagnification(store), 1);
    store.setIntegerForKey(0, keys::magnification);
    EXPECT_EQ(currentMagnification(store), 1) << "an odd stored value shows the picture as it is";
}

// Without a check rule an item keeps its state; without a row (none, a value outside
// the enum) it is disabled; without a lens the lens's actions are.
TEST_F(SettingsActionsTest, ActionsWithoutACheckRuleKeepTheirStateAndUnknownOnesAreDisabled) {
    auto validate = [&](MenuAction action) {
        PlainMenuItem item(action, 1);
        item.setState(ControlState::on);
        const bool enabled = validateAction(item, {store});
        EXPECT_EQ(item.state(), ControlState::on) << actionName(action);
        return enabled;
    };
    EXPECT_TRUE(validate(MenuAction::sendFeedback));
    EXPECT_TRUE(validate(MenuAction::orderFrontAboutBox));
    EXPECT_FALSE(validate(MenuAction::none));
    EXPECT_FALSE(validate(MenuAction::endOfActions));
    EXPECT_FALSE(validate(static_cast<MenuAction>(-3)));
    PlainMenuItem hold(MenuAction::toggleHoldPicture, 0);
    EXPECT_FALSE(validateAction(hold, {store}));
}

}  // namespace
}  // namespace talvex
