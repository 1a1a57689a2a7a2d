#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <memory>

#include "app/MenuButton.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xlib.h>

namespace talvex {
namespace {

// A window at a known place holding one MenuButton with a two-item menu.
class MenuButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        TALVEX_REQUIRE_DISPLAY();
        window = std::make_unique<QWidget>();
        window->setGeometry(300, 200, 240, 120);
        button = new MenuButton(window.get());
        button->setGeometry(100, 40, 24, 22);
        button->setImageName("FastFrameRateTemplate.png");
        menu = new QMenu(window.get());
        first = menu->addAction("First");
        menu->addAction("Second");
        button->setMenu(menu);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override {
        if (menu)
            menu->hide();
    }

    std::unique_ptr<QWidget> window;
    MenuButton* button = nullptr;
    QMenu* menu = nullptr;
    QAction* first = nullptr;
};

TEST_F(MenuButtonTest, MouseDownOpensTheMenuBelowLeftInTwelvePointType) {
    QSignalSpy pressed(button, &QAbstractButton::pressed);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QSignalSpy triggered(menu, &QMenu::triggered);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    // Open at once, before any release, and no press seen by the base class.
    EXPECT_TRUE(menu->isVisible());
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_EQ(menu->font().pointSize(), 12);
    const QPoint expected = button->mapToGlobal(QPoint(-16, button->height() + 3));
    EXPECT_TRUE(test::waitUntil([&] { return menu->geometry().topLeft() == expected; }, 2000))
        << "menu at " << menu->geometry().x() << "," << menu->geometry().y() << ", expected "
        << expected.x() << "," << expected.y();

    // Releasing over the button afterwards neither clicks nor chooses nor closes.
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    test::waitUntil([] { return false; }, 100);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(triggered.count(), 0);
    EXPECT_FALSE(button->isDown());
}

// Drives the real X pointer through XTest (xdotool), so that events take the route a
// user's take: through the pointer grab of an open pop-up.
bool xdotool(const QStringList& arguments) {
    return QProcess::execute("xdotool", arguments) == 0;
}

TEST_F(MenuButtonTest, PressingTheButtonAgainClosesItsMenuForGood) {
    const QPoint centre = button->mapToGlobal(button->rect().center());
    ASSERT_TRUE(xdotool(
        {"mousemove", QString::number(centre.x()), QString::number(centre.y()), "mousedown", "1"}))
        << "xdotool is missing";
    ASSERT_TRUE(test::waitUntil([&] { return menu->isVisible(); }));
    ASSERT_TRUE(xdotool({"mouseup", "1"}));
    test::waitUntil([] { return false; }, 200);
    ASSERT_TRUE(menu->isVisible());

    // The press goes to the open pop-up, which closes; it must not be handed on to the
    // button and open the menu again.
    QSignalSpy shown(menu, &QMenu::aboutToShow);
    ASSERT_TRUE(xdotool({"mousedown", "1"}));
    EXPECT_TRUE(test::waitUntil([&] { return !menu->isVisible(); }));
    ASSERT_TRUE(xdotool({"mouseup", "1"}));
    test::waitUntil([] { return false; }, 200);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(shown.count(), 0);
}

TEST_F(MenuButtonTest, PressesThatOpenNoMenuDoNothing) {
    QSignalSpy clicked(button, &QAbstractButton::clicked);

    // Outside the bounds: left to the base class, which ignores it.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(-20, 5));
    EXPECT_FALSE(menu->isVisible());

    // Without a menu: consumed, no highlight, no click.
    button->setMenu(nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(menu->isVisible());
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(clicked.count(), 0);
}

// A top-level window of another X client, given the input focus: Talvex is then not
// the active application.
class ForeignFocusWindow {
public:
    ForeignFocusWindow() : display_(XOpenDisplay(nullptr)) {
        const Window root = DefaultRootWindow(display_);
        window_ = XCreateSimpleWindow(display_, root, 0, 0, 100, 100, 0, 0, 0);
        XSelectInput(display_, window_, ExposureMask);
        XMapRaised(display_, window_);
        XSync(display_, False);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~ForeignFocusWindow() {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    ForeignFocusWindow(const ForeignFocusWindow&) = delete;
    ForeignFocusWindow& operator=(const ForeignFocusWindow&) = delete;

    // Real pointer motion, as the user's mouse would make it.
    void movePointerTo(QPoint global) {
        XWarpPointer(display_, 0, DefaultRootWindow(display_), 0, 0, 0, 0, global.x(), global.y());
        XSync(display_, False);
    }

private:
    Display* display_;
    Window window_;
};

TEST_F(MenuButtonTest, HoverBrightensAndLeavingDimsWhileAnotherApplicationIsActive) {
    EXPECT_DOUBLE_EQ(MenuButton().alphaValue(), 0.7);  // dimmed from the start

    ForeignFocusWindow other;
    other.movePointerTo(QPoint(50, 50));
    ASSERT_TRUE(test::waitUntil([] { return QGuiApplication::focusWindow() == nullptr; }))
        << "Talvex still has the focus";
    // The pointer may have been left over the button's place by an earlier test.
    EXPECT_TRUE(test::waitUntil([&] { return button->alphaValue() == 0.7; }));

    other.movePointerTo(button->mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(test::waitUntil([&] { return button->alphaValue() == 1.0; }));

    other.movePointerTo(button->mapToGlobal(QPoint(60, 10)));
    EXPECT_TRUE(test::waitUntil([&] { return button->alphaValue() == 0.7; }));
}

}  // namespace
}  // namespace talvex
