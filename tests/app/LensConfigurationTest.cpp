#include <gtest/gtest.h>

#include <QKeyCombination>

#include "app/CompositorLens.h"
#include "app/LensConfiguration.h"
#include "app/LensSource.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

// What the compositor is told: the stored settings read by the shared rules (an odd
// value reads as its default), the key as GNOME's accelerator text; and when the
// compositor is asked at all.
TEST(LensConfiguration, SettingsKeyAndSessionAsTheCompositorGetsThem) {
    UserDefaults store(test::makeTempDir("lens") / "defaults.json");
    store.setIntegerForKey(0, keys::redStripesEnabled);
    store.setIntegerForKey(1, keys::greenStripesEnabled);
    store.setIntegerForKey(30, keys::stripeStrength);  // not a strength: full
    store.setIntegerForKey(1, keys::viewArea);
    QVariantMap s = lens::settingsFor(LensSettings::read(store), true, 0);
    EXPECT_EQ(s.value("red-stripes"), QVariant(false));
    EXPECT_EQ(s.value("green-stripes"), QVariant(true));
    EXPECT_EQ(s.value("strength"), QVariant(1.0));
    EXPECT_EQ(s.value("area"), QVariant(QStringLiteral("pointer")));
    EXPECT_EQ(s.value("held"), QVariant(true));
    EXPECT_EQ(s.value("scale"), QVariant(1.0));  // no scale known yet
    EXPECT_EQ(s.value("shortcut"), QVariant(QStringLiteral("<Control><Alt>l")));
    store.setIntegerForKey(75, keys::stripeStrength);
    store.setIntegerForKey(7, keys::viewArea);
    store.setIntegerForKey(0, keys::panelShortcut);
    s = lens::settingsFor(LensSettings::read(store), false, 2);
    EXPECT_EQ(s.value("strength"), QVariant(0.75));
    EXPECT_EQ(s.value("area"), QVariant(QStringLiteral("beneath")));
    EXPECT_EQ(s.value("shortcut"), QVariant(QString()));
    EXPECT_EQ(s.value("scale"), QVariant(2.0));
    EXPECT_EQ(s.value("magnification"), QVariant(1u));  // not stored: 1x, not finding
    EXPECT_EQ(s.value("find-colour"), QVariant(QString()));
    EXPECT_EQ(s.value("find-range"), QVariant(16.0));
    EXPECT_EQ(s.value("name-colours"), QVariant(false));
    // Magnified, finding a teal closely; while picking, the compositor names the colour
    // under the pointer (the click picks it) though Name Colours is off.
    store.setIntegerForKey(3, keys::magnification);
    store.setIntegerForKey(-1, keys::findNear);
    s = lens::settingsFor(LensSettings::read(store), false, 1, Rgb{0, 0x80, 0x80});
    EXPECT_EQ(s.value("magnification"), QVariant(3u));
    EXPECT_EQ(s.value("find-colour"), QVariant(QStringLiteral("#008080")));
    EXPECT_EQ(s.value("find-range"), QVariant(8.0));
    s = lens::settingsFor(LensSettings::read(store), false, 1, {}, true);
    EXPECT_EQ(s.value("name-colours"), QVariant(true));
    EXPECT_EQ(s.value("picking"), QVariant(true));
    store.setIntegerForKey(9, keys::magnification);
    EXPECT_EQ(lens::settingsFor(LensSettings::read(store), false, 1).value("magnification"),
              QVariant(1u));

    const auto combined = [](QKeyCombination k) { return std::int64_t(k.toCombined()); };
    EXPECT_EQ(lens::accelerator(combined(Qt::SHIFT | Qt::META | Qt::Key_F5)),
              QStringLiteral("<Shift><Super>F5"));
    EXPECT_EQ(lens::accelerator(combined(Qt::CTRL | Qt::Key_7)), QStringLiteral("<Control>7"));
    EXPECT_EQ(lens::accelerator(combined(Qt::CTRL | Qt::Key_Space)), QString());
    EXPECT_EQ(lens::accelerator(-1), QString());

    QProcessEnvironment x11;
    x11.insert("XDG_SESSION_TYPE", "x11");
    x11.insert("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    EXPECT_FALSE(LensSource::isWaylandSession(x11));
    QProcessEnvironment wayland;
    wayland.insert("WAYLAND_DISPLAY", "wayland-0");
    wayland.insert("XDG_CURRENT_DESKTOP", "KDE");
    EXPECT_TRUE(LensSource::isWaylandSession(wayland));

    // Without the compositor's lens each desktop is told of its own part (a Plasma
    // user sent to GNOME's extension could never get the lens).
    using Desktop = LensSource::Desktop;
    EXPECT_EQ(LensSource::desktopOf(wayland), Desktop::plasma);
    wayland.insert("XDG_CURRENT_DESKTOP", "Budgie:GNOME");
    EXPECT_EQ(LensSource::desktopOf(wayland), Desktop::gnome);
    wayland.insert("XDG_CURRENT_DESKTOP", "sway");
    EXPECT_EQ(LensSource::desktopOf(wayland), Desktop::other);
    for (const Desktop desktop : {Desktop::gnome, Desktop::plasma, Desktop::other}) {
        const auto text = CompositorLens::missingLensText(desktop);
        const bool plasma = desktop == Desktop::plasma, gnome = desktop == Desktop::gnome;
        for (const QString& said : {text.message, text.log}) {
            EXPECT_EQ(said.contains("talvex-kwin-lens") && said.contains("loadEffect talvex_lens"),
                      plasma)
                << said.toStdString();
            EXPECT_EQ(said.contains("talvex-lens@talvex.org"), gnome) << said.toStdString();
        }
    }
}

}  // namespace
}  // namespace talvex
