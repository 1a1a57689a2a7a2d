// The global shortcut against an X server of its own: real key presses (XTest) with the
// lock keys in every state, and a key that another client holds first.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <memory>

#include "platform/x11/GlobalShortcut.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XErrorTrap.h"
#include "support/PrivateXServer.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace talvex {
namespace {

using State = GlobalShortcut::State;

const ShortcutKey ctrlAltL =
    *ShortcutKey::fromQt(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_L));

// Another client of the server: types through XTest and grabs keys of its own.
class OtherClient {
public:
    explicit OtherClient(const QString& display)
        : display_(XDisplay::open(display.toLocal8Bit().constData())) {}
    Display* get() const { return display_->get(); }

    // Presses the keys in order and releases them in reverse.
    void type(std::initializer_list<KeySym> keys) {
        for (KeySym key : keys)
            XTestFakeKeyEvent(get(), XKeysymToKeycode(get(), key), True, CurrentTime);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
            XTestFakeKeyEvent(get(), XKeysymToKeycode(get(), *key), False, CurrentTime);
        XSync(get(), False);
    }
    // Grabs Ctrl+Alt+L (locks off) on the root; false when someone else holds it.
    bool grabCtrlAltL() {
        XErrorTrap trap(get());
        XGrabKey(get(), XKeysymToKeycode(get(), XK_l), ControlMask | Mod1Mask,
                 DefaultRootWindow(get()), False, GrabModeAsync, GrabModeAsync);
        return !trap.failed();
    }
    void ungrabCtrlAltL() {
        XUngrabKey(get(), XKeysymToKeycode(get(), XK_l), ControlMask | Mod1Mask,
                   DefaultRootWindow(get()));
        XSync(get(), False);
    }

private:
    std::shared_ptr<XDisplay> display_;
};

#define REQUIRE_PRIVATE_X_SERVER(server)                                  \
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) \
        GTEST_SKIP() << "no Xvfb";                                        \
    test::PrivateXServer server;                                          \
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start"

TEST(GlobalShortcut, EachPressOfItsKeyCountsOnceWhateverTheLockKeysAndNoOtherKeyDoes) {
    REQUIRE_PRIVATE_X_SERVER(server);
    int presses = 0;
    GlobalShortcut shortcut([&] { ++presses; }, server.name().toLocal8Bit().constData());
    ASSERT_EQ(shortcut.setKey(ctrlAltL), State::active);
    OtherClient keyboard(server.name());

    // Caps Lock, then Num Lock as well, then Caps Lock off again: every state of the two.
    const KeySym locks[] = {NoSymbol, XK_Caps_Lock, XK_Num_Lock, XK_Caps_Lock};
    for (int round = 0; round < 4; ++round) {
        if (locks[round] != NoSymbol)
            keyboard.type({locks[round]});
        keyboard.type({XK_l});
        keyboard.type({XK_Control_L, XK_l});
        keyboard.type({XK_Control_L, XK_Shift_L, XK_Alt_L, XK_l});
        keyboard.type({XK_Control_L, XK_Alt_L, XK_l});
        // Events arrive in order: once this press counted, the others were seen.
        ASSERT_TRUE(test::waitUntil([&] { return presses >= round + 1; })) << "round " << round;
        EXPECT_EQ(presses, round + 1) << "round " << round;
    }

    // No key, no presses.
    EXPECT_EQ(shortcut.setKey(std::nullopt), State::off);
    keyboard.type({XK_Control_L, XK_Alt_L, XK_l});
    EXPECT_TRUE(keyboard.grabCtrlAltL()) << "the released key is still held";
}

TEST(GlobalShortcut, AKeyAnotherClientHoldsIsInUseAndOursIsGivenUpWhenChangedOrGone) {
    REQUIRE_PRIVATE_X_SERVER(server);
    OtherClient other(server.name());
    ASSERT_TRUE(other.grabCtrlAltL());
    auto shortcut =
        std::make_unique<GlobalShortcut>(nullptr, server.name().toLocal8Bit().constData());
    EXPECT_EQ(shortcut->setKey(ctrlAltL), State::inUse);

    // Free again: ours, and nobody else's while we hold it.
    other.ungrabCtrlAltL();
    EXPECT_EQ(shortcut->setKey(ctrlAltL), State::active);
    EXPECT_FALSE(other.grabCtrlAltL());
    // Another key: the first is given up.
    EXPECT_EQ(shortcut->setKey(ShortcutKey::fromQt(QKeyCombination(Qt::MetaModifier, Qt::Key_F5))),
              State::active);
    EXPECT_TRUE(other.grabCtrlAltL());
    other.ungrabCtrlAltL();
    // Gone: given up as well.
    EXPECT_EQ(shortcut->setKey(ctrlAltL), State::active);
    shortcut.reset();
    EXPECT_TRUE(other.grabCtrlAltL());

    // Keys without an X keysym or on no key of the keyboard.
    EXPECT_FALSE(ShortcutKey::fromQt(QKeyCombination(Qt::ControlModifier, Qt::Key_Control)));
    GlobalShortcut unknown(nullptr, server.name().toLocal8Bit().constData());
    EXPECT_EQ(unknown.setKey(ShortcutKey{XK_Greek_OMEGA, ControlMask}), State::unavailable);
}

}  // namespace
}  // namespace talvex
