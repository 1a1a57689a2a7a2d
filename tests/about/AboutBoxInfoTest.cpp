#include <gtest/gtest.h>

#include "about/KPAboutBox.h"
#include "about/ScopedMainBundle.h"

namespace talvex {
namespace {

using test::ScopedMainBundle;

QString versionFor(const QVariant& shortVersion, const QVariant& build) {
    QVariantMap info;
    if (shortVersion.isValid())
        info[Bundle::shortVersionKey] = shortVersion;
    if (build.isValid())
        info[Bundle::versionKey] = build;
    ScopedMainBundle bundle(info);
    return KPAboutBoxVersionString();
}

TEST(AboutBoxInfo, VersionShowsTheBuildOnlyWhenItDiffers) {
    EXPECT_EQ(versionFor("2.1", "2.1"), "2.1");
    EXPECT_EQ(versionFor("2.1", "210"), "2.1 (210)");
    // Numbers in the Info dictionary read as their usual spelling.
    EXPECT_EQ(versionFor(2.1, "2.1"), "2.1");
    EXPECT_EQ(versionFor("2.1", 210), "2.1 (210)");
    // Either one missing leaves the other alone.
    EXPECT_EQ(versionFor("2.1", QVariant()), "2.1");
    EXPECT_EQ(versionFor(QVariant(), "210"), "210");
    EXPECT_EQ(versionFor(QVariant(), QVariant()), "");
}

TEST(AboutBoxInfo, NameFallsBackToTheExecutableAndCopyrightToEmpty) {
    {
        ScopedMainBundle bundle({{Bundle::nameKey, "Lens"}, {Bundle::copyrightKey, "(c) Us"}});
        EXPECT_EQ(KPAboutBoxApplicationName(), "Lens");
        EXPECT_EQ(KPAboutBoxCopyrightString(), "(c) Us");
    }
    {
        ScopedMainBundle bundle({{Bundle::nameKey, 42}, {Bundle::copyrightKey, QVariantList{1}}});
        EXPECT_EQ(KPAboutBoxApplicationName(), "lens-tool");
        EXPECT_EQ(KPAboutBoxCopyrightString(), "");
    }
    ScopedMainBundle empty({});
    EXPECT_EQ(KPAboutBoxApplicationName(), "lens-tool");
    EXPECT_EQ(KPAboutBoxCopyrightString(), "");
}

TEST(AboutBoxInfo, BackgroundColorDefaultsToGreyUntilOneIsSet) {
    KPAboutBoxSetBackgroundColor(QColor());
    const QColor grey = KPAboutBoxBackgroundColor();
    EXPECT_NEAR(grey.redF(), 0.9, 1e-3);
    EXPECT_NEAR(grey.greenF(), 0.9, 1e-3);
    EXPECT_NEAR(grey.blueF(), 0.9, 1e-3);
    EXPECT_EQ(grey.alphaF(), 1.0);

    const QColor tint = QColor::fromRgbF(0.85f, 0.9f, 0.9f, 1.0f);
    KPAboutBoxSetBackgroundColor(tint);
    EXPECT_EQ(KPAboutBoxBackgroundColor(), tint);
    KPAboutBoxSetBackgroundColor(QColor());
}

}  // namespace
}  // namespace talvex
