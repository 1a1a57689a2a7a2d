#pragma once

// What the rest of the program asks of the X window server: the picture below our
// panel, the main display's bounds, the pointer, and click-through.
//
// Windows are named by their X window id: the id of the panel's own X window (for a
// Qt widget, nativeWindowId()), not that of the frame a window manager may put around it.
// Capture runs on its own connection and may be called from any thread (callers are
// serialised by captureMutex_, which the toolkit's loop also takes to read that
// connection's events, never waiting for it); the other calls share a second connection
// and are meant for the GUI thread. No X types appear here.
#include <QObject>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/CapturedImage.h"
#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

namespace talvex {

struct EventConnection;
class PointerWatch;
class WindowCompositor;
class XDisplay;

class WindowServer : public QObject {
    Q_OBJECT

public:
    // The process's window server on $DISPLAY, connected on first use.
    static WindowServer& shared();

    // Connects to the display named `displayName` (nullptr: $DISPLAY). When that
    // fails, every capture returns none and the queries return empty values.
    explicit WindowServer(const char* displayName = nullptr);
    ~WindowServer() override;
    WindowServer(const WindowServer&) = delete;
    WindowServer& operator=(const WindowServer&) = delete;

    bool isConnected() const;

    // The image of all on-screen windows below the top-level window holding `windowId`,
    // within `area` (root pixels): 32-bit B, G, R, A rows top first, alpha 255, whatever
    // the server's depth (the server's renderer converts 15-, 16- and 24-bit windows
    // alike). None when the area lies off every monitor, the window is unknown, or the
    // server fails.
    std::unique_ptr<CapturedImage> imageBelowWindow(const PixelRect& area, XWindowId windowId);

    // True when the last capture was of the same area below the same window and nothing
    // in it can have changed since (DAMAGE and structure events); false whenever that is
    // not known. Callers on any thread, as for captures.
    bool unchangedSinceLastCapture(const PixelRect& area, XWindowId windowId);
    // Main thread: true while the first change the server reports in the area of the
    // last capture will be emitted as areaDidChange() from the toolkit's loop, without
    // anybody asking. False without DAMAGE.
    bool areaChangesAreAnnounced();

    // The main display (see ScreenLayout) in root pixels. The monitor layout is kept in
    // one place, the capture connection's, which follows RandR; none without it.
    Rect mainDisplayBounds();
    // The pointer in root pixels. On the toolkit's main thread it is followed from
    // device events (PointerWatch): a resting pointer costs no round trip.
    Point pointerLocation();
    // Main thread: the pointer may have been warped (no device motion tells of that);
    // the next pointerLocation() asks the server.
    void pointerMayHaveMoved();
    // Main thread: true while the pointer is known to rest, and its next motion will
    // be emitted as pointerDidMove().
    bool pointerMotionIsAnnounced();
    // Whether the primary pointer button is held down, as the server sees it.
    bool primaryButtonDown();
    // The top-left corner of window `windowId` in root pixels, as the server has it
    // (a toolkit's idea of a window's position can lag behind a window manager's
    // placement); none when the window is gone.
    std::optional<Point> windowOrigin(XWindowId windowId);

    // ignore: clicks over the window go to the windows beneath it, except over
    // `clickable` (window-local pixels, y down); otherwise the window takes them. Takes
    // effect at once, without remapping.
    void setIgnoresMouseEvents(XWindowId windowId, bool ignore,
                               const std::vector<PixelRect>& clickable = {});

    // Whether clicks can be made again elsewhere (replayClick); asked once.
    bool canReplayClicks();
    // Main thread: presses and releases `button` (1 left, 2 middle, 3 right, 4 and 5 the
    // wheel) at `target` (root pixels) as the pointing device would, then puts the
    // pointer back where it is now. The window beneath `target` gets the click: a window
    // of ours there must let it pass (setIgnoresMouseEvents) until this returns.
    void replayClick(Point target, unsigned button);

signals:
    // Main thread, from the toolkit's loop: something changed in the area of the last
    // capture (see areaChangesAreAnnounced), and the resting pointer moved (see
    // pointerMotionIsAnnounced).
    void areaDidChange();
    void pointerDidMove();

private:
    bool controlUsable() const;
    PointerWatch* pointerWatch();
    void watchCaptureConnection();
    void readCaptureEvents();

    std::shared_ptr<XDisplay> control_;
    std::mutex controlMutex_;
    bool inputShapes_ = false;
    std::optional<bool> clickReplay_;  // none until asked
    std::optional<std::string> displayName_;
    std::unique_ptr<PointerWatch> pointerWatch_;  // opened on first use, main thread only
    bool pointerWatchTried_ = false;

    std::shared_ptr<XDisplay> capture_;
    std::mutex captureMutex_;
    std::unique_ptr<WindowCompositor> compositor_;
    // The capture connection's events are read from the toolkit's loop as they come
    // (watched from the first question asked on the main thread, whichever thread made
    // the server; none without DAMAGE). While a capture holds captureMutex_, it reads
    // them itself, and the loop looks again after a moment. Main thread only.
    std::unique_ptr<EventConnection> captureEvents_;
    bool captureWatchTried_ = false;
    static constexpr std::chrono::milliseconds captureBusyRetry{2};
};

}  // namespace talvex
