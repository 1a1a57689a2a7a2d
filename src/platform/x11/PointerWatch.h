#pragma once

// The pointer's position in root pixels, asked of the X server only when it may have
// moved.
//
// Every motion of a pointing device reaches the root window as an XInput raw motion
// event, whichever window the pointer is over and whoever grabbed it (XInput 2.1 and
// later). Once two answers in a row agree, the watch listens for the next such event:
// until it comes, the last answer is still right and `location()` costs no round trip.
// The first event ends the listening (a moving mouse sends hundreds a second), and the
// position is asked for at every call until it is at rest again. A warp (XWarpPointer)
// moves the pointer without any raw event: at rest the position is asked for anyway
// once the last answer is `warpCheck` old, or at the next call after `askNextTime()`
// (whoever learns of a possible warp otherwise: the toolkit's crossing events, a
// question whose answer must be exact). Without XInput 2.1 every call asks.
//
// Main thread only. The connection is the watch's own and its events are read from the
// toolkit's loop, so listening stops at the first motion even while nobody asks.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Geometry.h"

namespace talvex {

struct EventConnection;

class PointerWatch {
public:
    static constexpr std::chrono::milliseconds defaultWarpCheck{1000};

    // None when the display cannot be opened (nullptr: $DISPLAY).
    static std::unique_ptr<PointerWatch> open(const char* displayName,
                                              std::chrono::milliseconds warpCheck);
    ~PointerWatch();
    PointerWatch(const PointerWatch&) = delete;
    PointerWatch& operator=(const PointerWatch&) = delete;

    // None once the connection is lost.
    std::optional<Point> location();
    // The next location() asks the server. An unchanged answer keeps a resting pointer
    // at rest; a changed one counts as motion.
    void askNextTime() { askNext_ = true; }

    // Round trips made so far, and whether the next motion is being listened for.
    std::uint64_t queries() const { return queries_; }
    bool listening() const { return listening_; }
    // Confirmed at rest: the next motion will be announced.
    bool atRest() const { return state_ == State::resting; }
    // Called from the toolkit's loop (never from within location()) when a pointer at
    // rest starts moving.
    void setMotionHandler(std::function<void()> handler) { motionHandler_ = std::move(handler); }

private:
    enum class State { moving, confirming, resting };

    explicit PointerWatch(std::chrono::milliseconds warpCheck);
    bool rawMotionSupported();
    bool lost() const;
    bool stillKnown(std::chrono::steady_clock::time_point now) const;
    Point ask();
    void settle(Point answer, bool movedBefore);
    void readEvents();
    void announceMotion();
    void listen(bool on);

    std::unique_ptr<EventConnection> connection_;
    std::chrono::milliseconds warpCheck_;
    int opcode_ = -1;  // XInput's major opcode; -1 without raw events
    State state_ = State::moving;
    std::optional<Point> known_;
    std::chrono::steady_clock::time_point askedAt_;
    bool moved_ = false;  // a raw motion event arrived since the last answer
    bool askNext_ = false;
    bool listening_ = false;
    std::uint64_t queries_ = 0;
    std::function<void()> motionHandler_;
};

}  // namespace talvex
