#pragma once

// A keyboard shortcut as X names it: a keysym and the modifier mask that must be held
// with it, made from a Qt key combination (the one place that knows both).
#include <QKeyCombination>
#include <optional>

namespace talvex {

struct ShortcutKey {
    unsigned long keysym = 0;
    unsigned int modifiers = 0;  // ShiftMask, ControlMask, Mod1Mask (Alt), Mod4Mask (Super)

    // Qt's Ctrl, Alt, Shift and Meta are X's Control, Mod1, Shift and Mod4 (Super). None
    // for no key, a modifier key alone, or a key without an X keysym.
    static std::optional<ShortcutKey> fromQt(QKeyCombination combination);

    friend bool operator==(const ShortcutKey&, const ShortcutKey&) = default;
};

}  // namespace talvex
