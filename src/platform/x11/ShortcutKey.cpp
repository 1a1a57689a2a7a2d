#include "platform/x11/ShortcutKey.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <array>
#include <utility>

namespace talvex {

namespace {

// Qt keys outside the Latin-1 range whose keysym has another number.
constexpr std::array<std::pair<int, unsigned long>, 23> specialKeys{{
    {Qt::Key_Escape, XK_Escape},
    {Qt::Key_Tab, XK_Tab},
    {Qt::Key_Backspace, XK_BackSpace},
    {Qt::Key_Return, XK_Return},
    {Qt::Key_Enter, XK_KP_Enter},
    {Qt::Key_Insert, XK_Insert},
    {Qt::Key_Delete, XK_Delete},
    {Qt::Key_Pause, XK_Pause},
    {Qt::Key_Print, XK_Print},
    {Qt::Key_Home, XK_Home},
    {Qt::Key_End, XK_End},
    {Qt::Key_Left, XK_Left},
    {Qt::Key_Up, XK_Up},
    {Qt::Key_Right, XK_Right},
    {Qt::Key_Down, XK_Down},
    {Qt::Key_PageUp, XK_Page_Up},
    {Qt::Key_PageDown, XK_Page_Down},
    {Qt::Key_Menu, XK_Menu},
    {Qt::Key_ScrollLock, XK_Scroll_Lock},
    {Qt::Key_Help, XK_Help},
    {Qt::Key_Clear, XK_Clear},
    {Qt::Key_SysReq, XK_Sys_Req},
    {Qt::Key_Backtab, XK_Tab},
}};

std::optional<unsigned long> keysymOf(Qt::Key key) {
    // Latin-1 keys have the keysym of their character; letters are named lower case,
    // Shift being a modifier of its own.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return XK_a + (key - Qt::Key_A);
    if (key >= Qt::Key_Space && key <= 0xff)
        return static_cast<unsigned long>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + (key - Qt::Key_F1);
    for (const auto& [qtKey, keysym] : specialKeys) {
        if (qtKey == key)
            return keysym;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ShortcutKey> ShortcutKey::fromQt(QKeyCombination combination) {
    const std::optional<unsigned long> keysym = keysymOf(combination.key());
    if (!keysym)
        return std::nullopt;
    const Qt::KeyboardModifiers qt = combination.keyboardModifiers();
    unsigned int modifiers = 0;
    if (qt & Qt::ShiftModifier)
        modifiers |= ShiftMask;
    if (qt & Qt::ControlModifier)
        modifiers |= ControlMask;
    if (qt & Qt::AltModifier)
        modifiers |= Mod1Mask;
    if (qt & Qt::MetaModifier)
        modifiers |= Mod4Mask;
    return ShortcutKey{*keysym, modifiers};
}

}  // namespace talvex
