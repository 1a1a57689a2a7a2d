#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "about/KPAboutBox.h"
#include "about/KPAboutBoxBackground.h"

namespace talvex {
namespace {

using about_internal::KPAboutBoxBackground;

const QColor kTint = QColor::fromRgbF(0.85f, 0.9f, 0.9f, 1.0f);
const QColor kSentinel(255, 0, 255, 255);

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(30, 30, 32));
    palette.setColor(QPalette::WindowText, QColor(235, 235, 235));
    return palette;
}

// What the view paints over `backdrop`, with its window active or not.
QImage paint(KPAboutBoxBackground& view, bool active, const QColor& backdrop) {
    QApplication::setActiveWindow(active ? &view : nullptr);
    EXPECT_EQ(view.isActiveWindow(), active);
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(backdrop);
    view.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

void expectColor(const QColor& actual, const QColor& expected, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_NEAR(actual.red(), expected.red(), 3);
    EXPECT_NEAR(actual.green(), expected.green(), 3);
    EXPECT_NEAR(actual.blue(), expected.blue(), 3);
    EXPECT_NEAR(actual.alpha(), expected.alpha(), 3);
}

class AboutBoxBackground : public testing::Test {
protected:
    void SetUp() override {
        KPAboutBoxSetBackgroundColor(kTint);
        view.resize(64, 200);
    }
    void TearDown() override { KPAboutBoxSetBackgroundColor(QColor()); }

    KPAboutBoxBackground view;
};

TEST_F(AboutBoxBackground, LightActiveIsAGradientFromWhiteAtTheTopToTheTint) {
    const QImage image = paint(view, true, kSentinel);
    expectColor(image.pixelColor(10, 0), Qt::white, "top");
    expectColor(image.pixelColor(10, image.height() - 1), kTint, "bottom");
    const QColor middle = image.pixelColor(10, image.height() / 2);
    EXPECT_NEAR(middle.redF(), (1 + 0.85) / 2, 0.02);
}

TEST_F(AboutBoxBackground, LightInactiveFillsWithTheTintBlendedTowardWhite) {
    const QImage image = paint(view, false, kSentinel);
    const QColor expected = QColor::fromRgbF(0.895f, 0.93f, 0.93f, 1);
    expectColor(image.pixelColor(0, 0), expected, "top");
    expectColor(image.pixelColor(63, 199), expected, "bottom");
}

TEST_F(AboutBoxBackground, DarkActiveFadesTheHalfClearTintToClear) {
    view.setPalette(darkPalette());
    const QImage image = paint(view, true, Qt::transparent);
    expectColor(image.pixelColor(10, 0), QColor::fromRgbF(0.425f, 0.45f, 0.45f, 0.5f), "top");
    EXPECT_LE(image.pixelColor(10, image.height() - 1).alpha(), 3);
}

TEST_F(AboutBoxBackground, DarkInactiveDrawsNothing) {
    view.setPalette(darkPalette());
    const QImage image = paint(view, false, kSentinel);
    expectColor(image.pixelColor(0, 0), kSentinel, "top");
    expectColor(image.pixelColor(63, 199), kSentinel, "bottom");
}

TEST_F(AboutBoxBackground, DefaultGreyIsUsedWhenNoTintWasSet) {
    KPAboutBoxSetBackgroundColor(QColor());
    const QImage image = paint(view, true, kSentinel);
    expectColor(image.pixelColor(10, image.height() - 1), QColor::fromRgbF(0.9f, 0.9f, 0.9f),
                "bottom");
}

TEST_F(AboutBoxBackground, OpaqueExactlyInALightPalette) {
    EXPECT_FALSE(view.isDark());
    EXPECT_TRUE(view.isOpaque());
    EXPECT_TRUE(view.testAttribute(Qt::WA_OpaquePaintEvent));
    view.setPalette(darkPalette());
    EXPECT_TRUE(view.isDark());
    EXPECT_FALSE(view.isOpaque());
    EXPECT_FALSE(view.testAttribute(Qt::WA_OpaquePaintEvent));
    view.setPalette(QPalette());
    EXPECT_TRUE(view.testAttribute(Qt::WA_OpaquePaintEvent));
}

}  // namespace
}  // namespace talvex
