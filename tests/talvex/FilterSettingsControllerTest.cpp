#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <memory>
#include <thread>

#include "SettingsMenuTarget.h"
#include "app/MenuButton.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"
#include "talvex/FilterSettingsController.h"

namespace talvex {
namespace {

using Items = std::vector<std::pair<MenuAction, std::int64_t>>;

class FilterSettingsControllerTest : public ::testing::Test {
protected:
    std::unique_ptr<FilterSettingsController> makeController() {
        auto controller = std::make_unique<FilterSettingsController>(defaults);
        controller->setMenuActionTarget(&target);
        return controller;
    }

    QString speedImage(const FilterSettingsController& c) {
        return c.refreshSpeedButton()->imageName();
    }
    QString areaImage(const FilterSettingsController& c) { return c.viewAreaButton()->imageName(); }

    UserDefaults defaults{test::makeTempDir("accessory") / "defaults.json"};
    test::SettingsMenuTarget target{defaults};
};

Items itemsOf(QMenu* menu) {
    Items items;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        QtMenuItem item(action);
        items.emplace_back(item.action(), item.tag());
    }
    return items;
}

// Opening a menu validates its items; returns the tags that carry a check mark.
std::vector<std::int64_t> checkedTagsWhenOpened(QMenu* menu, MenuAction action) {
    emit menu->aboutToShow();
    std::vector<std::int64_t> tags;
    for (QAction* a : menu->actions()) {
        QtMenuItem item(a);
        if (item.action() == action && item.state() == ControlState::on)
            tags.push_back(item.tag());
    }
    return tags;
}

TEST_F(FilterSettingsControllerTest, EveryButtonImageIsInTheResources) {
    for (const char* name : {"SlowFrameRateTemplate.png", "NormalFrameRateTemplate.png",
                             "FastFrameRateTemplate.png", "FilteredMouseAreaTemplate.png",
                             "FilteredTransparencyTemplate.png", "VisionTemplate.png"}) {
        EXPECT_TRUE(QFile::exists(QString(MenuButton::imageFolder) + name)) << name;
    }
}

TEST_F(FilterSettingsControllerTest, ButtonImagesFollowTheStore) {
    defaults.setIntegerForKey(1, keys::refreshSpeed);
    defaults.setIntegerForKey(1, keys::viewArea);
    auto controller = makeController();
    // Shown from the start, not only after the first change.
    EXPECT_EQ(speedImage(*controller), "FastFrameRateTemplate.png");
    EXPECT_EQ(areaImage(*controller), "FilteredMouseAreaTemplate.png");

    // A change made elsewhere (the menu bar writes the store the same way).
    defaults.setIntegerForKey(-1, keys::refreshSpeed);
    EXPECT_EQ(speedImage(*controller), "SlowFrameRateTemplate.png");
    defaults.setIntegerForKey(5, keys::viewArea);
    EXPECT_EQ(areaImage(*controller), "FilteredTransparencyTemplate.png");
    defaults.setIntegerForKey(7, keys::refreshSpeed);
    EXPECT_EQ(speedImage(*controller), "NormalFrameRateTemplate.png");
    defaults.removeObjectForKey(keys::refreshSpeed);
    EXPECT_EQ(speedImage(*controller), "NormalFrameRateTemplate.png");

    EXPECT_EQ(controller->visionButton()->imageName(), "VisionTemplate.png");
}

TEST_F(FilterSettingsControllerTest, AChangeOnAnotherThreadReachesTheButtonsOnTheirOwn) {
    auto controller = makeController();
    std::thread writer([this] { defaults.setIntegerForKey(1, keys::refreshSpeed); });
    writer.join();
    EXPECT_TRUE(
        test::waitUntil([&] { return speedImage(*controller) == "FastFrameRateTemplate.png"; }));
}

TEST_F(FilterSettingsControllerTest, MenusCarryTheSettingsActionsAndTags) {
    auto controller = makeController();
    EXPECT_EQ(controller->visionButton()->menu(), controller->stripesMenu());
    EXPECT_EQ(controller->refreshSpeedButton()->menu(), controller->speedMenu());
    EXPECT_EQ(controller->viewAreaButton()->menu(), controller->areaMenu());
    EXPECT_EQ(itemsOf(controller->stripesMenu()),
              (Items{{MenuAction::adoptRedStripeSetting, 1},
                     {MenuAction::adoptRedStripeSetting, 0},
                     {MenuAction::adoptGreenStripeSetting, 1},
                     {MenuAction::adoptGreenStripeSetting, 0},
                     {MenuAction::adoptStripeStrengthSetting, 25},
                     {MenuAction::adoptStripeStrengthSetting, 50},
                     {MenuAction::adoptStripeStrengthSetting, 75},
                     {MenuAction::adoptStripeStrengthSetting, 100},
                     {MenuAction::toggleHoldPicture, 0},
                     {MenuAction::toggleFindColour, 0}}));
    EXPECT_EQ(itemsOf(controller->speedMenu()), (Items{{MenuAction::adoptSpeedSetting, -1},
                                                       {MenuAction::adoptSpeedSetting, 0},
                                                       {MenuAction::adoptSpeedSetting, 1}}));
    EXPECT_EQ(itemsOf(controller->areaMenu()), (Items{{MenuAction::adoptViewAreaSetting, 0},
                                                      {MenuAction::adoptViewAreaSetting, 1},
                                                      {MenuAction::adoptMagnificationSetting, 1},
                                                      {MenuAction::adoptMagnificationSetting, 2},
                                                      {MenuAction::adoptMagnificationSetting, 3},
                                                      {MenuAction::adoptMagnificationSetting, 4}}));
}

TEST_F(FilterSettingsControllerTest, ChoosingAnItemWritesThroughTheTarget) {
    auto controller = makeController();
    controller->speedMenu()->actions().at(0)->trigger();  // slow
    EXPECT_EQ(target.sent, (Items{{MenuAction::adoptSpeedSetting, -1}}));
    EXPECT_EQ(defaults.integerForKey(keys::refreshSpeed), -1);
    EXPECT_EQ(speedImage(*controller), "SlowFrameRateTemplate.png");

    controller->areaMenu()->actions().at(1)->trigger();  // around the pointer
    EXPECT_EQ(defaults.integerForKey(keys::viewArea), 1);
    EXPECT_EQ(areaImage(*controller), "FilteredMouseAreaTemplate.png");

    // Without a target the menus are inert.
    controller->setMenuActionTarget(nullptr);
    controller->speedMenu()->actions().at(2)->trigger();
    EXPECT_EQ(defaults.integerForKey(keys::refreshSpeed), -1);
}

TEST_F(FilterSettingsControllerTest, CheckMarksAreComputedEachTimeAMenuOpens) {
    auto controller = makeController();
    defaults.setIntegerForKey(7, keys::refreshSpeed);
    EXPECT_EQ(checkedTagsWhenOpened(controller->speedMenu(), MenuAction::adoptSpeedSetting),
              std::vector<std::int64_t>{0});
    // Chosen elsewhere; the next opening shows it.
    defaults.setIntegerForKey(1, keys::refreshSpeed);
    EXPECT_EQ(checkedTagsWhenOpened(controller->speedMenu(), MenuAction::adoptSpeedSetting),
              std::vector<std::int64_t>{1});

    defaults.setIntegerForKey(-3, keys::viewArea);
    EXPECT_EQ(checkedTagsWhenOpened(controller->areaMenu(), MenuAction::adoptViewAreaSetting),
              std::vector<std::int64_t>{0});

    // A stripe value that no item stands for: no red item checked, green unaffected.
    defaults.setIntegerForKey(3, keys::redStripesEnabled);
    defaults.setIntegerForKey(0, keys::greenStripesEnabled);
    QMenu* stripes = controller->stripesMenu();
    EXPECT_TRUE(checkedTagsWhenOpened(stripes, MenuAction::adoptRedStripeSetting).empty());
    EXPECT_EQ(checkedTagsWhenOpened(stripes, MenuAction::adoptGreenStripeSetting),
              std::vector<std::int64_t>{0});
}

TEST_F(FilterSettingsControllerTest, PressingAButtonOpensItsValidatedMenu) {
    TALVEX_REQUIRE_DISPLAY();
    defaults.setIntegerForKey(-1, keys::refreshSpeed);
    auto controller = makeController();
    controller->move(400, 300);
    controller->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.get()));

    QTest::mousePress(controller->refreshSpeedButton(), Qt::LeftButton, {}, QPoint(4, 4));
    QMenu* menu = controller->speedMenu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(menu->actions().at(0)->isChecked());
    EXPECT_FALSE(menu->actions().at(1)->isChecked());
    menu->hide();
}

}  // namespace
}  // namespace talvex
