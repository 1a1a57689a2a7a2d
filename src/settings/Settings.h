#pragma once

// The settings: keys, value sets and the reading rules every reader shares. Readers
// ask the store again when it signals a change (UserDefaults::valueChanged); the lens
// takes its settings as one value (LensSettings).
#include <cstdint>

namespace talvex {

class UserDefaults;

namespace keys {
// Red stripes shown (1) or not (0). The stored name stays as settings files have it.
inline constexpr const char* redStripesEnabled = "TalvexsEnabled";
inline constexpr const char* greenStripesEnabled = "GreenStripesEnabled";
inline constexpr const char* refreshSpeed = "RefreshSpeed";  // RefreshSpeed raw value
inline constexpr const char* viewArea = "ViewArea";          // ViewArea raw value

// The stripe strength in percent: 25, 50, 75 or 100.
inline constexpr const char* stripeStrength = "StripeStrength";

// The panel's shortcut, a Qt key combination (0: none); the colour names, shown (1) or
// not.
inline constexpr const char* panelShortcut = "PanelShortcut";
inline constexpr const char* nameColours = "NameColours";

// How many times the lens enlarges what it shows: 1, 2, 3 or 4.
inline constexpr const char* magnification = "Magnification";

// How near a colour must be to the one being found: FindNear raw value.
inline constexpr const char* findNear = "FindNear";
}  // namespace keys

enum class RefreshSpeed : std::int64_t { slow = -1, normal = 0, fast = 1 };
enum class ViewArea : std::int64_t { underWindow = 0, mousePointer = 1 };

// -1 gives slow, 1 fast, anything else (absent, 0, 7, ...) normal.
RefreshSpeed currentRefreshSpeed(const UserDefaults& defaults);
// 1 gives mousePointer, anything else underWindow.
ViewArea currentViewArea(const UserDefaults& defaults);

// The stripe strength in percent: 25, 50 or 75 as stored, anything else (absent, 100,
// 30, ...) 100, the full stripes.
int currentStripeStrength(const UserDefaults& defaults);
// True for the strengths a user can choose.
bool isStripeStrength(std::int64_t percent);

// The magnification: 2, 3 or 4 as stored, anything else (absent, 1, 0, 9, ...) 1, the
// picture at its own size.
int currentMagnification(const UserDefaults& defaults);
inline constexpr int largestMagnification = 4;
bool isMagnification(std::int64_t factor);

// How near to the colour being found a colour counts as found.
enum class FindNear : std::int64_t { close = -1, medium = 0, wide = 1 };
// -1 gives close, 1 wide, anything else (absent, 0, 5, ...) medium.
FindNear currentFindNear(const UserDefaults& defaults);
// The largest CIELAB distance (ΔE*ab) that counts as found: 8, 16 or 30.
double findRange(FindNear near);

// Timer interval (seconds) for a speed: 0.1/0.05/0.02.
double refreshInterval(RefreshSpeed speed);

// The key that shows and hides the panel from anywhere, as a Qt key combination
// (QKeyCombination::toCombined): Ctrl+Alt+L until one is stored; a stored 0 is none.
inline constexpr std::int64_t defaultPanelShortcut = 0x0C00004C;  // Ctrl+Alt+L
std::int64_t currentPanelShortcut(const UserDefaults& defaults);
// Whether the panel names the colour under the pointer; off unless a non-zero value is
// stored.
bool nameColoursEnabled(const UserDefaults& defaults);

}  // namespace talvex
