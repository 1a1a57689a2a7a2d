#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>
#include <algorithm>
#include <memory>

#include "SettingsMenuTarget.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"
#include "talvex/PreferenceWindowController.h"

namespace talvex {
namespace {

using Items = std::vector<std::pair<MenuAction, std::int64_t>>;

class PreferenceWindowControllerTest : public ::testing::Test {
protected:
    PreferenceWindowControllerTest() { window.setMenuActionTarget(&target); }

    QAbstractButton* choice(MenuAction action, std::int64_t tag) {
        for (QAbstractButton* button : window.choices()) {
            QtMenuItem item(button);
            if (item.action() == action && item.tag() == tag)
                return button;
        }
        return nullptr;
    }

    Items checkedChoices() {
        Items checked;
        for (QAbstractButton* button : window.choices()) {
            QtMenuItem item(button);
            if (button->isChecked())
                checked.emplace_back(item.action(), item.tag());
        }
        std::sort(checked.begin(), checked.end());
        return checked;
    }

    UserDefaults defaults{test::makeTempDir("preferences") / "defaults.json"};
    test::SettingsMenuTarget target{defaults};
    PreferenceWindowController window;
};

TEST_F(PreferenceWindowControllerTest, EachChoiceWritesItsSettingThroughTheTarget) {
    const Items all{
        {MenuAction::adoptTalvexSetting, 0},      {MenuAction::adoptTalvexSetting, 1},
        {MenuAction::adoptGreenStripeSetting, 0}, {MenuAction::adoptGreenStripeSetting, 1},
        {MenuAction::adoptSpeedSetting, -1},      {MenuAction::adoptSpeedSetting, 0},
        {MenuAction::adoptSpeedSetting, 1},       {MenuAction::adoptViewAreaSetting, 0},
        {MenuAction::adoptViewAreaSetting, 1}};
    ASSERT_EQ(window.choices().size(), static_cast<qsizetype>(all.size()));
    for (const auto& [action, tag] : all) {
        QAbstractButton* button = choice(action, tag);
        ASSERT_NE(button, nullptr) << QtMenuItem::nameOf(action).toStdString() << " " << tag;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(target.sent, all);
    EXPECT_EQ(defaults.integerForKey(keys::redStripesEnabled), 1);
    EXPECT_EQ(defaults.integerForKey(keys::greenStripesEnabled), 1);
    EXPECT_EQ(defaults.integerForKey(keys::refreshSpeed), 1);
    EXPECT_EQ(defaults.integerForKey(keys::viewArea), 1);
}

TEST_F(PreferenceWindowControllerTest, ReflectsTheStoreAfterEveryChange) {
    defaults.setIntegerForKey(1, keys::redStripesEnabled);
    defaults.setIntegerForKey(0, keys::greenStripesEnabled);
    defaults.setIntegerForKey(-1, keys::refreshSpeed);
    defaults.setIntegerForKey(1, keys::viewArea);
    EXPECT_EQ(checkedChoices(), (Items{{MenuAction::adoptSpeedSetting, -1},
                                       {MenuAction::adoptViewAreaSetting, 1},
                                       {MenuAction::adoptTalvexSetting, 1},
                                       {MenuAction::adoptGreenStripeSetting, 0}}));

    // Values outside the sets: speed and area read as their defaults; a stripe value of
    // 3 matches neither choice, so neither stays checked.
    defaults.setIntegerForKey(7, keys::refreshSpeed);
    defaults.setIntegerForKey(-3, keys::viewArea);
    defaults.setIntegerForKey(3, keys::redStripesEnabled);
    EXPECT_EQ(checkedChoices(), (Items{{MenuAction::adoptSpeedSetting, 0},
                                       {MenuAction::adoptViewAreaSetting, 0},
                                       {MenuAction::adoptGreenStripeSetting, 0}}));
}

}  // namespace
}  // namespace talvex
