#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include "app/ColorView.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

// A blue parent fully covered by a ColorView: what the parent shows is the colour
// view's colour composited over blue.
class ColorViewTest : public ::testing::Test {
protected:
    ColorViewTest() {
        parent.resize(40, 30);
        parent.setAutoFillBackground(true);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, QColor(0, 0, 255));
        parent.setPalette(palette);
        view = new ColorView(&parent);
        view->setGeometry(0, 0, 40, 30);
    }

    QColor shownColor() { return parent.grab().toImage().pixelColor(20, 15); }

    QWidget parent;
    ColorView* view = nullptr;
};

void expectNear(const QColor& actual, int r, int g, int b) {
    EXPECT_NEAR(actual.red(), r, 2);
    EXPECT_NEAR(actual.green(), g, 2);
    EXPECT_NEAR(actual.blue(), b, 2);
}

TEST_F(ColorViewTest, DefaultIsHalfTransparentWhiteBlendedOverTheParent) {
    EXPECT_EQ(view->color(), QColor::fromRgbF(1, 1, 1, 0.5));
    EXPECT_FALSE(view->isOpaque());
    expectNear(shownColor(), 128, 128, 255);
}

TEST_F(ColorViewTest, OpacityFollowsTheColoursAlpha) {
    view->setColor(QColor(255, 0, 0));
    EXPECT_TRUE(view->isOpaque());
    expectNear(shownColor(), 255, 0, 0);

    view->setColor(QColor(255, 0, 0, 254));
    EXPECT_FALSE(view->isOpaque());

    // Fully transparent: source-over leaves the parent's pixels as they were.
    view->setColor(QColor(0, 255, 0, 0));
    EXPECT_FALSE(view->isOpaque());
    expectNear(shownColor(), 0, 0, 255);
}

TEST_F(ColorViewTest, SettingAColourRepaintsAShownView) {
    TALVEX_REQUIRE_DISPLAY();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    test::waitUntil([] { return false; }, 50);
    view->installEventFilter(&counter);

    view->setColor(QColor(10, 20, 30));
    EXPECT_TRUE(test::waitUntil([&] { return counter.paints > 0; }));
}

}  // namespace
}  // namespace talvex
