#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <memory>

#include "SettingsMenuTarget.h"
#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "support/PrivateXServer.h"
#include "support/TestEnvironment.h"
#include "talvex/ActionTable.h"
#include "talvex/PanelShortcut.h"
#include "talvex/PreferenceWindowController.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>

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
    PreferenceWindowController window{defaults};
};

TEST_F(PreferenceWindowControllerTest, EachChoiceWritesItsSettingThroughTheTarget) {
    const Items all{
        {MenuAction::adoptRedStripeSetting, 0},       {MenuAction::adoptRedStripeSetting, 1},
        {MenuAction::adoptGreenStripeSetting, 0},     {MenuAction::adoptGreenStripeSetting, 1},
        {MenuAction::adoptSpeedSetting, -1},          {MenuAction::adoptSpeedSetting, 0},
        {MenuAction::adoptSpeedSetting, 1},           {MenuAction::adoptViewAreaSetting, 0},
        {MenuAction::adoptViewAreaSetting, 1},        {MenuAction::adoptStripeStrengthSetting, 25},
        {MenuAction::adoptStripeStrengthSetting, 50}, {MenuAction::adoptMagnificationSetting, 3},
        {MenuAction::adoptMagnificationSetting, 2},   {MenuAction::adoptFindNearSetting, 1},
        {MenuAction::adoptFindNearSetting, -1}};
    // Not clicked: 75 and 100 %, 1× and 4×, the medium range.
    ASSERT_EQ(window.choices().size(), static_cast<qsizetype>(all.size()) + 5);
    for (const auto& [action, tag] : all) {
        QAbstractButton* button = choice(action, tag);
        ASSERT_NE(button, nullptr) << actionName(action) << " " << tag;
        // On the round mark: the window is not laid out, and a short label ("2×") does
        // not reach the middle of a button's first size.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    EXPECT_EQ(target.sent, all);
    EXPECT_EQ(defaults.integerForKey(keys::redStripesEnabled), 1);
    EXPECT_EQ(defaults.integerForKey(keys::greenStripesEnabled), 1);
    EXPECT_EQ(defaults.integerForKey(keys::refreshSpeed), 1);
    EXPECT_EQ(defaults.integerForKey(keys::viewArea), 1);
    EXPECT_EQ(defaults.integerForKey(keys::stripeStrength), 50);
    EXPECT_EQ(defaults.integerForKey(keys::magnification), 2);
    EXPECT_EQ(defaults.integerForKey(keys::findNear), -1);
}

TEST_F(PreferenceWindowControllerTest, ReflectsTheStoreAfterEveryChange) {
    defaults.setIntegerForKey(1, keys::redStripesEnabled);
    defaults.setIntegerForKey(0, keys::greenStripesEnabled);
    defaults.setIntegerForKey(-1, keys::refreshSpeed);
    defaults.setIntegerForKey(1, keys::viewArea);
    defaults.setIntegerForKey(3, keys::magnification);
    defaults.setIntegerForKey(1, keys::findNear);
    EXPECT_EQ(checkedChoices(), (Items{{MenuAction::adoptSpeedSetting, -1},
                                       {MenuAction::adoptViewAreaSetting, 1},
                                       {MenuAction::adoptRedStripeSetting, 1},
                                       {MenuAction::adoptGreenStripeSetting, 0},
                                       {MenuAction::adoptStripeStrengthSetting, 100},
                                       {MenuAction::adoptMagnificationSetting, 3},
                                       {MenuAction::adoptFindNearSetting, 1}}));

    // Values outside the sets: speed and area read as their defaults; a stripe value of
    // 3 matches neither choice, so neither stays checked.
    defaults.setIntegerForKey(7, keys::refreshSpeed);
    defaults.setIntegerForKey(-3, keys::viewArea);
    defaults.setIntegerForKey(3, keys::redStripesEnabled);
    defaults.setIntegerForKey(9, keys::magnification);
    defaults.setIntegerForKey(7, keys::findNear);
    EXPECT_EQ(checkedChoices(), (Items{{MenuAction::adoptSpeedSetting, 0},
                                       {MenuAction::adoptViewAreaSetting, 0},
                                       {MenuAction::adoptGreenStripeSetting, 0},
                                       {MenuAction::adoptStripeStrengthSetting, 100},
                                       {MenuAction::adoptMagnificationSetting, 1},
                                       {MenuAction::adoptFindNearSetting, 0}}));
}

// The panel's shortcut: the key in force, why it does nothing while another application
// holds it, a key typed in the field stored through the target and grabbed at once, and
// one of Talvex's own keys refused.
TEST_F(PreferenceWindowControllerTest, TheShortcutFieldShowsTheKeyAndItsStateAndStoresATypedKey) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "no Xvfb";
    test::PrivateXServer server;
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const QByteArray displayName = server.name().toLocal8Bit();
    std::unique_ptr<Display, int (*)(Display*)> other(XOpenDisplay(displayName.constData()),
                                                      &XCloseDisplay);
    ASSERT_TRUE(other);
    XGrabKey(other.get(), XKeysymToKeycode(other.get(), 'l'), ControlMask | Mod1Mask,
             DefaultRootWindow(other.get()), False, GrabModeAsync, GrabModeAsync);
    XSync(other.get(), False);

    PanelShortcut shortcut(defaults, displayName.constData());
    window.setPanelShortcut(&shortcut);
    auto* field = window.findChild<QKeySequenceEdit*>();
    auto* status = window.findChild<QLabel*>(QStringLiteral("panelShortcutStatus"));
    ASSERT_TRUE(field && status);
    EXPECT_EQ(field->keySequence(), QKeySequence(QStringLiteral("Ctrl+Alt+L")));
    EXPECT_EQ(status->text(), QStringLiteral("In use by another application"));
    EXPECT_FALSE(status->isHidden());

    const auto ctrlAltK =
        QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_K).toCombined();
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(test::waitUntil([&] { return currentPanelShortcut(defaults) == ctrlAltK; }));
    EXPECT_EQ(target.sent.back(),
              Items::value_type(MenuAction::adoptPanelShortcutSetting, ctrlAltK));
    EXPECT_EQ(shortcut.state(), GlobalShortcut::State::active);
    EXPECT_EQ(field->keySequence(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
    EXPECT_TRUE(status->isHidden());

    // One of Talvex's own keys is refused, with the reason under the field; the key in
    // force stays, also while Ctrl alone is down (the field has emptied itself then).
    QTest::keyPress(field, Qt::Key_Control, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(currentPanelShortcut(defaults), ctrlAltK);
    QTest::keyClick(field, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(test::waitUntil([&] { return !status->isHidden(); }));
    EXPECT_EQ(status->text(), QStringLiteral("Talvex uses Ctrl+R for Toggle Red Stripes"));
    EXPECT_EQ(currentPanelShortcut(defaults), ctrlAltK);
    EXPECT_EQ(field->keySequence(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
    // Stored all the same (a file edited by hand), it is not grabbed.
    const auto ctrlR = QKeyCombination(Qt::ControlModifier, Qt::Key_R).toCombined();
    defaults.setIntegerForKey(ctrlR, keys::panelShortcut);
    EXPECT_EQ(shortcut.state(), GlobalShortcut::State::unavailable);
    EXPECT_EQ(shortcut.statusText(), QStringLiteral("Talvex uses Ctrl+R for Toggle Red Stripes"));

    field->clear();
    EXPECT_EQ(currentPanelShortcut(defaults), 0);
    EXPECT_EQ(shortcut.state(), GlobalShortcut::State::off);
    EXPECT_TRUE(field->keySequence().isEmpty());
    EXPECT_TRUE(status->isHidden());
}

}  // namespace
}  // namespace talvex
