#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "app/MenuItem.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"
#include "talvex/Settings.h"
#include "talvex/SettingsActions.h"

namespace talvex {
namespace {

class SettingsActionsTest : public testing::Test {
protected:
    SettingsActionsTest() : store(test::makeTempDir("settings") / "defaults.json") {
        store.registerDefaults({{keys::talvexsEnabled, true}, {keys::greenStripesEnabled, true}});
        NotificationCenter::defaultCenter().addObserver(this, UserDefaults::didChangeNotification,
                                                        &store,
                                                        [this](const Notification&) { ++changes; });
    }
    ~SettingsActionsTest() override { NotificationCenter::defaultCenter().removeObserver(this); }

    // The tags of the items of `action` that validation checks.
    std::vector<std::int64_t> checkedTags(MenuAction action, std::vector<std::int64_t> tags) {
        std::vector<std::int64_t> checked;
        for (auto tag : tags) {
            PlainMenuItem item(action, tag);
            const bool enabled = isDelegateAction(action)
                                     ? validateAppDelegateMenuItem(item, store)
                                     : validateViewControllerMenuItem(item, store);
            EXPECT_TRUE(enabled);
            if (item.state() == ControlState::on)
                checked.push_back(tag);
        }
        return checked;
    }
    static bool isDelegateAction(MenuAction a) {
        return a == MenuAction::adoptSpeedSetting || a == MenuAction::adoptViewAreaSetting;
    }
    std::vector<std::int64_t> checkedSpeed() {
        return checkedTags(MenuAction::adoptSpeedSetting, {-1, 0, 1});
    }
    std::vector<std::int64_t> checkedArea() {
        return checkedTags(MenuAction::adoptViewAreaSetting, {0, 1});
    }
    std::vector<std::int64_t> checkedRed() {
        return checkedTags(MenuAction::adoptTalvexSetting, {0, 1});
    }
    std::vector<std::int64_t> checkedGreen() {
        return checkedTags(MenuAction::adoptGreenStripeSetting, {0, 1});
    }

    UserDefaults store;
    int changes = 0;
};

using Tags = std::vector<std::int64_t>;

TEST(SettingsRules, OutOfSetValuesReadAsNormalSpeedAndAreaBeneathThePanel) {
    UserDefaults store(test::makeTempDir("settings") / "defaults.json");
    EXPECT_EQ(currentRefreshSpeed(store), RefreshSpeed::normal);
    EXPECT_EQ(currentViewArea(store), ViewArea::underWindow);

    const std::vector<std::pair<std::int64_t, RefreshSpeed>> speeds = {
        {-1, RefreshSpeed::slow},
        {0, RefreshSpeed::normal},
        {1, RefreshSpeed::fast},
        {7, RefreshSpeed::normal},
        {-2, RefreshSpeed::normal},
        // Must not be narrowed to 32 bits on the way (4294967297 would become 1).
        {4294967297LL, RefreshSpeed::normal},
        {4294967295LL, RefreshSpeed::normal},
        {std::numeric_limits<std::int64_t>::min(), RefreshSpeed::normal}};
    for (auto [stored, expected] : speeds) {
        store.setIntegerForKey(stored, keys::refreshSpeed);
        EXPECT_EQ(currentRefreshSpeed(store), expected) << stored;
    }
    const std::vector<std::pair<std::int64_t, ViewArea>> areas = {
        {1, ViewArea::mousePointer},
        {0, ViewArea::underWindow},
        {-3, ViewArea::underWindow},
        {2, ViewArea::underWindow},
        {4294967297LL, ViewArea::underWindow}};
    for (auto [stored, expected] : areas) {
        store.setIntegerForKey(stored, keys::viewArea);
        EXPECT_EQ(currentViewArea(store), expected) << stored;
    }
}

TEST(SettingsRules, IntervalsAndTolerances) {
    EXPECT_DOUBLE_EQ(refreshInterval(RefreshSpeed::slow), 0.1);
    EXPECT_DOUBLE_EQ(refreshInterval(RefreshSpeed::normal), 0.05);
    EXPECT_DOUBLE_EQ(refreshInterval(RefreshSpeed::fast), 0.02);
    EXPECT_DOUBLE_EQ(refreshTolerance(RefreshSpeed::slow), 0.01);
    EXPECT_DOUBLE_EQ(refreshTolerance(RefreshSpeed::normal), 0.005);
    EXPECT_DOUBLE_EQ(refreshTolerance(RefreshSpeed::fast), 0.002);
}

TEST_F(SettingsActionsTest, WithNothingStoredTheDefaultItemsAreChecked) {
    EXPECT_EQ(checkedRed(), Tags{1});
    EXPECT_EQ(checkedGreen(), Tags{1});
    EXPECT_EQ(checkedSpeed(), Tags{0});
    EXPECT_EQ(checkedArea(), Tags{0});
    EXPECT_EQ(changes, 0);
}

TEST_F(SettingsActionsTest, StoredValuesOutsideTheSetCheckTheFallbackAndStayStored) {
    store.setIntegerForKey(7, keys::refreshSpeed);
    store.setIntegerForKey(-3, keys::viewArea);
    EXPECT_EQ(checkedSpeed(), Tags{0});
    EXPECT_EQ(checkedArea(), Tags{0});
    EXPECT_EQ(store.integerForKey(keys::refreshSpeed), 7);
    EXPECT_EQ(store.integerForKey(keys::viewArea), -3);
}

TEST_F(SettingsActionsTest, SpeedAndAreaItemsOutsideTheSetWriteAndPostNothing) {
    for (std::int64_t tag : {std::int64_t{2}, std::int64_t{-2}, std::int64_t{4294967296LL}}) {
        adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, tag), store);
    }
    for (std::int64_t tag : {std::int64_t{2}, std::int64_t{-1}, std::int64_t{4294967297LL}}) {
        adoptViewAreaSetting(PlainMenuItem(MenuAction::adoptViewAreaSetting, tag), store);
    }
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(store.persistentValueForKey(keys::refreshSpeed));
    EXPECT_FALSE(store.persistentValueForKey(keys::viewArea));
    EXPECT_FALSE(std::filesystem::exists(store.filePath()));
}

TEST_F(SettingsActionsTest, ChoosingAValueStoresItPostsEachTimeAndChecksItEverywhere) {
    // The same speed from two menus (menu bar, title-bar pop-up): both writes post.
    adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, -1), store);
    adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, -1), store);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(currentRefreshSpeed(store), RefreshSpeed::slow);
    EXPECT_EQ(checkedSpeed(), Tags{-1});

    adoptSpeedSetting(PlainMenuItem(MenuAction::adoptSpeedSetting, 1), store);
    EXPECT_EQ(checkedSpeed(), Tags{1});

    adoptViewAreaSetting(PlainMenuItem(MenuAction::adoptViewAreaSetting, 1), store);
    EXPECT_EQ(currentViewArea(store), ViewArea::mousePointer);
    EXPECT_EQ(checkedArea(), Tags{1});

    adoptTalvexSetting(PlainMenuItem(MenuAction::adoptTalvexSetting, 0), store);
    EXPECT_EQ(checkedRed(), Tags{0});
    EXPECT_EQ(checkedGreen(), Tags{1});
    EXPECT_EQ(changes, 5);

    // A fresh store on the same file (the next launch) sees the same choices.
    UserDefaults relaunched(store.filePath());
    EXPECT_EQ(currentRefreshSpeed(relaunched), RefreshSpeed::fast);
    EXPECT_EQ(currentViewArea(relaunched), ViewArea::mousePointer);
    EXPECT_EQ(relaunched.integerForKey(keys::talvexsEnabled), 0);
}

TEST_F(SettingsActionsTest, StripeItemsStoreAnyTagUnchecked) {
    adoptGreenStripeSetting(PlainMenuItem(MenuAction::adoptGreenStripeSetting, 3), store);
    EXPECT_EQ(store.integerForKey(keys::greenStripesEnabled), 3);
    EXPECT_EQ(checkedGreen(), Tags{});
    EXPECT_EQ(checkedRed(), Tags{1});
    EXPECT_EQ(changes, 1);
}

TEST_F(SettingsActionsTest, OtherActionsKeepTheirStateAndAreEnabledOnlyWhereAnswered) {
    auto delegateEnables = [&](MenuAction action) {
        PlainMenuItem item(action, 1);
        item.setState(ControlState::on);
        const bool enabled = validateAppDelegateMenuItem(item, store);
        EXPECT_EQ(item.state(), ControlState::on);
        return enabled;
    };
    EXPECT_TRUE(delegateEnables(MenuAction::sendFeedback));
    EXPECT_TRUE(delegateEnables(MenuAction::openWebsite));
    EXPECT_FALSE(delegateEnables(MenuAction::none));
    EXPECT_FALSE(delegateEnables(MenuAction::adoptTalvexSetting));
    EXPECT_FALSE(delegateEnables(MenuAction::orderFrontAboutBox));

    for (MenuAction action :
         {MenuAction::adoptSpeedSetting, MenuAction::sendFeedback, MenuAction::none}) {
        PlainMenuItem item(action, 0);
        item.setState(ControlState::on);
        EXPECT_FALSE(validateViewControllerMenuItem(item, store));
        EXPECT_EQ(item.state(), ControlState::on);
    }
}

}  // namespace
}  // namespace talvex
