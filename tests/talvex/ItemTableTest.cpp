#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeySequence>
#include <QString>
#include <fstream>
#include <set>
#include <string>
#include <tuple>

#include "app/QtMenuItem.h"
#include "talvex/ActionTable.h"
#include "talvex/ItemTable.h"
#include "talvex/PreferenceWindowController.h"

namespace talvex {
namespace {

// No item twice in one place, no shortcut twice; a pop-up shows values with check marks.
TEST(ItemTable, ItemsAndShortcutsAreUniqueWhereTheyShow) {
    std::set<std::tuple<int, MenuAction, std::int64_t>> menuItems, popupItems;
    std::set<QString> shortcuts{QKeySequence(QString::fromLatin1(openMenusShortcut)).toString()};
    for (const ItemRow& row : itemRows()) {
        const std::string name = actionName(row.action);
        if (row.place != MenuPlace::none) {
            EXPECT_TRUE(menuItems.insert({static_cast<int>(row.place), row.action, row.tag}).second)
                << name << " " << row.tag;
        }
        if (row.popup != Popup::none) {
            EXPECT_TRUE(
                popupItems.insert({static_cast<int>(row.popup), row.action, row.tag}).second)
                << name << " " << row.tag;
            EXPECT_NE(actionRow(row.action)->isOn, nullptr) << name << ": pop-up items are checked";
        }
        if (row.shortcut) {
            const QKeySequence keys(QString::fromLatin1(row.shortcut));
            EXPECT_FALSE(keys.isEmpty()) << row.shortcut;
            EXPECT_TRUE(shortcuts.insert(keys.toString()).second) << row.shortcut;
        }
    }
}

// Each row that names a preference control finds it, and the control sends that row.
TEST(ItemTable, EveryPreferenceControlComesFromOneRow) {
    PreferenceWindowController window;
    int named = 0;
    for (const ItemRow& row : itemRows()) {
        if (!row.control)
            continue;
        ++named;
        auto* button = window.findChild<QAbstractButton*>(QLatin1String(row.control));
        ASSERT_NE(button, nullptr) << row.control;
        const QtMenuItem item(button);
        EXPECT_EQ(item.action(), row.action) << row.control;
        EXPECT_EQ(item.tag(), row.tag) << row.control;
    }
    EXPECT_EQ(window.controls().size(), named);
}

// The README's table of shortcuts ("| Ctrl+R / Ctrl+G | ... |", "Ctrl+plus") lists
// exactly the keys of the table and F10.
TEST(ItemTable, TheReadmeListsEveryShortcutAndNoOther) {
    std::set<std::string> expected{openMenusShortcut};
    for (const ItemRow& row : itemRows()) {
        if (row.shortcut)
            expected.insert(row.shortcut);
    }
    std::ifstream readme(TALVEX_SOURCE_DIR "/README.md");
    ASSERT_TRUE(readme) << "README.md not found";
    std::set<std::string> listed;
    bool inTable = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.find("| keys | what they do |") != std::string::npos) {
            inTable = true;
            continue;
        }
        const std::size_t start = line.find("| ");
        if (!inTable || line.find("|---") != std::string::npos)
            continue;
        if (start == std::string::npos)
            break;
        QString keys = QString::fromStdString(line.substr(start + 2));
        keys = keys.section(QStringLiteral(" |"), 0, 0);
        for (QString key : keys.split(QStringLiteral(" / "))) {
            key.replace(QStringLiteral("plus"), QStringLiteral("+"));
            key.replace(QStringLiteral("minus"), QStringLiteral("-"));
            listed.insert(key.trimmed().toStdString());
        }
    }
    EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace talvex
