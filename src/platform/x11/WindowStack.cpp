#include "platform/x11/WindowStack.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/x11/ClipRegion.h"

namespace talvex {

namespace {

// xcb replies and errors are malloc'd.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Errors of requests with replies come back with the reply call (never through Xlib's
// error handler), so a window that vanished simply yields no reply.
Reply<xcb_query_tree_reply_t> queryTree(xcb_connection_t* connection, std::uint32_t window) {
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), &error));
    std::free(error);
    return reply;
}

std::vector<std::uint32_t> childrenOf(const xcb_query_tree_reply_t& tree) {
    const xcb_window_t* first = xcb_query_tree_children(&tree);
    return {first, first + xcb_query_tree_children_length(&tree)};
}

struct PendingWindow {
    std::uint32_t id;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
};

std::vector<PendingWindow> sendQueries(xcb_connection_t* connection,
                                       const std::vector<std::uint32_t>& windows) {
    std::vector<PendingWindow> pending;
    pending.reserve(windows.size());
    for (std::uint32_t id : windows) {
        pending.push_back(
            {id, xcb_get_window_attributes(connection, id), xcb_get_geometry(connection, id)});
    }
    return pending;
}

std::optional<StackedWindow> collect(xcb_connection_t* connection, const PendingWindow& p) {
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, p.attributes, &error));
    std::free(error);
    error = nullptr;
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, p.geometry, &error));
    std::free(error);
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
        return std::nullopt;
    }
    const int border = geometry->border_width;
    return StackedWindow{
        p.id,
        {geometry->x + border, geometry->y + border, geometry->width, geometry->height},
        attributes->visual,
        geometry->depth};
}

}  // namespace

std::optional<XWindowId> WindowStack::topLevelAncestor(Display* display, XWindowId root,
                                                       XWindowId window) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    // Walk up the parents; window trees are shallow (client, frame, root).
    for (int depth = 0; depth < 64 && window != root && window != 0; ++depth) {
        auto tree = queryTree(connection, window);
        if (!tree) {
            return std::nullopt;
        }
        if (tree->parent == root) {
            return window;
        }
        window = tree->parent;
    }
    return std::nullopt;
}

namespace {

// The root's children, bottom to top, split at the top-level window that holds
// `window`; none when it is not (or no longer) among them.
struct SplitStack {
    std::uint32_t topLevel = 0;
    std::vector<std::uint32_t> below;
    std::vector<std::uint32_t> above;
};

std::optional<SplitStack> splitAt(Display* display, std::uint32_t root, std::uint32_t window) {
    const auto topLevel = WindowStack::topLevelAncestor(display, root, window);
    if (!topLevel) {
        return std::nullopt;
    }
    auto tree = queryTree(XGetXCBConnection(display), root);
    if (!tree) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> children = childrenOf(*tree);
    auto own = std::find(children.begin(), children.end(), *topLevel);
    if (own == children.end()) {
        // Restacked or reparented between the two queries.
        return std::nullopt;
    }
    return SplitStack{*topLevel, {children.begin(), own}, {own + 1, children.end()}};
}

std::vector<StackedWindow> collectAll(xcb_connection_t* connection,
                                      const std::vector<std::uint32_t>& windows) {
    std::vector<StackedWindow> stack;
    stack.reserve(windows.size());
    for (const PendingWindow& pending : sendQueries(connection, windows)) {
        if (auto stacked = collect(connection, pending)) {
            stack.push_back(*stacked);
        }
    }
    return stack;
}

}  // namespace

// 1. The top-level window that holds `window`, and the root's children below it.
// 2. Ask for all their attributes and geometries at once, then collect the answers.
std::optional<std::vector<StackedWindow>> WindowStack::below(Display* display, XWindowId root,
                                                             XWindowId window) {
    const auto split = splitAt(display, root, window);
    if (!split) {
        return std::nullopt;
    }
    return collectAll(XGetXCBConnection(display), split->below);
}

// Windows of depth 32 may be translucent and cover nothing.
bool WindowStack::isCovered(Display* display, XWindowId root, XWindowId window) {
    const auto split = splitAt(display, root, window);
    if (!split) {
        return false;
    }
    xcb_connection_t* connection = XGetXCBConnection(display);
    const auto own = collectAll(connection, {split->topLevel});
    if (own.empty()) {
        return false;
    }
    ClipRegion covering;
    for (const StackedWindow& above : collectAll(connection, split->above)) {
        if (above.depth != 32) {
            covering.add(above.bounds);
        }
    }
    return covering.contains(own.front().bounds);
}

}  // namespace talvex
