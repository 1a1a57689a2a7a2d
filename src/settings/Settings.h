#pragma once

// The four settings: keys, value sets and the reading rules every reader shares.
// Nothing caches a setting: readers ask the store when they need a value.
#include <cstdint>

namespace talvex {

class UserDefaults;

namespace keys {
// Red stripes shown (1) or not (0). The stored name stays as settings files have it.
inline constexpr const char* redStripesEnabled = "TalvexsEnabled";
inline constexpr const char* greenStripesEnabled = "GreenStripesEnabled";
inline constexpr const char* refreshSpeed = "RefreshSpeed";  // RefreshSpeed raw value
inline constexpr const char* viewArea = "ViewArea";          // ViewArea raw value
}  // namespace keys

enum class RefreshSpeed : std::int64_t { slow = -1, normal = 0, fast = 1 };
enum class ViewArea : std::int64_t { underWindow = 0, mousePointer = 1 };

// -1 gives slow, 1 fast, anything else (absent, 0, 7, ...) normal.
RefreshSpeed currentRefreshSpeed(const UserDefaults& defaults);
RefreshSpeed currentRefreshSpeed();  // the standard store
// 1 gives mousePointer, anything else underWindow.
ViewArea currentViewArea(const UserDefaults& defaults);
ViewArea currentViewArea();

// Timer interval and tolerance (seconds) for a speed: 0.1/0.05/0.02, tolerance a tenth.
double refreshInterval(RefreshSpeed speed);
double refreshTolerance(RefreshSpeed speed);

}  // namespace talvex
