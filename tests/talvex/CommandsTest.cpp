#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeySequence>
#include <QString>
#include <set>
#include <string>
#include <tuple>

#include "app/QtMenuItem.h"
#include "talvex/Commands.h"
#include "talvex/PreferenceWindowController.h"

namespace talvex {
namespace {

// The first row of an action speaks for all of its rows: they must agree.
TEST(CommandTable, EveryActionHasRowsThatAgreeOnNameResponderAndRules) {
    const int end = static_cast<int>(MenuAction::endOfActions);
    for (int value = 1; value < end; ++value) {
        const auto action = static_cast<MenuAction>(value);
        ASSERT_NE(commandFor(action), nullptr) << "no row for action " << value;
    }
    EXPECT_EQ(commandFor(MenuAction::none), nullptr);
    EXPECT_EQ(commandFor(MenuAction::endOfActions), nullptr);
    std::set<std::string> names;
    for (const Command& row : commands()) {
        const Command& first = *commandFor(row.action);
        const std::string name = row.name;
        EXPECT_EQ(name, first.name);
        EXPECT_EQ(row.onDelegate, first.onDelegate) << name;
        EXPECT_EQ(row.onPanel, first.onPanel) << name;
        EXPECT_EQ(row.onApplication, first.onApplication) << name;
        EXPECT_EQ(row.isOn, first.isOn) << name;
        EXPECT_EQ(row.isEnabled, first.isEnabled) << name;
        const int handlers =
            (row.onDelegate != nullptr) + (row.onPanel != nullptr) + (row.onApplication != nullptr);
        EXPECT_EQ(handlers, 1) << name << " needs exactly one responder";
        if (&row == &first) {
            EXPECT_TRUE(names.insert(name).second) << name << " names two actions";
        }
    }
}

// No item twice in one place, no shortcut twice, no title without a place.
TEST(CommandTable, ItemsTitlesAndShortcutsAreUniqueWhereTheyShow) {
    std::set<std::tuple<int, MenuAction, std::int64_t>> menuItems, popupItems;
    std::set<QString> shortcuts;
    for (const Command& row : commands()) {
        const std::string name = row.name;
        EXPECT_EQ(row.title != nullptr, row.place != MenuPlace::none) << name;
        EXPECT_EQ(row.popupTitle != nullptr, row.popup != Popup::none) << name;
        if (row.place != MenuPlace::none) {
            EXPECT_TRUE(menuItems.insert({static_cast<int>(row.place), row.action, row.tag}).second)
                << name << " " << row.tag;
        }
        if (row.popup != Popup::none) {
            EXPECT_TRUE(
                popupItems.insert({static_cast<int>(row.popup), row.action, row.tag}).second)
                << name << " " << row.tag;
            EXPECT_NE(row.isOn, nullptr) << name << ": pop-up items carry check marks";
        }
        if (row.shortcut) {
            const QKeySequence keys(QString::fromLatin1(row.shortcut));
            EXPECT_FALSE(keys.isEmpty()) << row.shortcut;
            EXPECT_TRUE(shortcuts.insert(keys.toString()).second) << row.shortcut;
        }
    }
}

// Each row that names a preference control finds it, and the control sends that row.
TEST(CommandTable, EveryPreferenceControlComesFromOneRow) {
    PreferenceWindowController window;
    int named = 0;
    for (const Command& row : commands()) {
        if (!row.controlName)
            continue;
        ++named;
        auto* button = window.findChild<QAbstractButton*>(QLatin1String(row.controlName));
        ASSERT_NE(button, nullptr) << row.controlName;
        const QtMenuItem item(button);
        EXPECT_EQ(item.action(), row.action) << row.controlName;
        EXPECT_EQ(item.tag(), row.tag) << row.controlName;
    }
    EXPECT_EQ(window.controls().size(), named);
}

}  // namespace
}  // namespace talvex
