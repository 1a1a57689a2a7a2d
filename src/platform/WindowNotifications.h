#pragma once

// Names of the notifications that a window posts on the default notification centre,
// with the window itself as object and no further information. Observers register
// with the same window pointer (as const void*) that the window posts.
namespace talvex {

// The window's position on screen changed.
inline constexpr char windowDidMoveNotification[] = "NSWindowDidMoveNotification";
// A live resize began (a resize grip was pressed) and ended (it was released).
inline constexpr char windowWillStartLiveResizeNotification[] =
    "NSWindowWillStartLiveResizeNotification";
inline constexpr char windowDidEndLiveResizeNotification[] = "NSWindowDidEndLiveResizeNotification";
// The window became visible on screen, or stopped being visible (unmapped,
// minimised, or fully covered by other windows).
inline constexpr char windowDidChangeOcclusionStateNotification[] =
    "NSWindowDidChangeOcclusionStateNotification";
// The window's backing scale factor (device pixel ratio) changed.
inline constexpr char windowDidChangeBackingPropertiesNotification[] =
    "NSWindowDidChangeBackingPropertiesNotification";

}  // namespace talvex
