#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <utility>
#include <vector>

#include "app/MenuActionTarget.h"
#include "app/QtMenuItem.h"

namespace talvex {
namespace {

// Records what is sent; puts the check mark on the item whose tag equals `value`.
struct RecordingTarget : MenuActionTarget {
    void sendAction(const MenuItem& sender) override { sent.push_back(sender.tag()); }
    bool validateMenuItem(MenuItem& item) override {
        item.setState(item.tag() == value ? ControlState::on : ControlState::off);
        return item.action() != MenuAction::none;
    }
    std::vector<std::int64_t> sent;
    std::int64_t value = 0;
};

QAction* addItem(QMenu& menu, MenuAction action, std::int64_t tag) {
    QAction* item = menu.addAction(QString::number(tag));
    QtMenuItem::configure(item, action, tag);
    return item;
}

TEST(MenuRouting, OpeningValidatesAndChoosingSendsOnceThroughTheCurrentTarget) {
    RecordingTarget recorder;
    MenuActionTarget* target = nullptr;
    QMenu outer;
    QMenu* inner = outer.addMenu("inner");
    routeMenuThroughTarget(&outer, [&] { return target; });
    routeMenuThroughTarget(inner, [&] { return target; });
    QAction* zero = addItem(*inner, MenuAction::adoptViewAreaSetting, 0);
    QAction* one = addItem(*inner, MenuAction::adoptViewAreaSetting, 1);
    QAction* inert = addItem(*inner, MenuAction::none, 5);

    // No target yet: nothing sent, nothing changed.
    one->trigger();
    emit inner->aboutToShow();
    EXPECT_FALSE(zero->isChecked());

    target = &recorder;
    recorder.value = 1;
    emit inner->aboutToShow();
    EXPECT_FALSE(zero->isChecked());
    EXPECT_TRUE(one->isChecked());
    EXPECT_FALSE(inert->isEnabled());

    // The submenu's choice reaches the outer menu's triggered signal as well.
    zero->trigger();
    EXPECT_EQ(recorder.sent, std::vector<std::int64_t>{0});
}

}  // namespace
}  // namespace talvex
