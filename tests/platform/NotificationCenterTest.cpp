#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/NotificationCenter.h"

namespace talvex {
namespace {

TEST(NotificationCenter, FiltersByNameAndObjectAndEndsAllRegistrationsOnRemoval) {
    NotificationCenter center;
    int a = 0, b = 0, any = 0;
    int objA = 0, objB = 0;
    center.addObserver(&a, "Moved", &objA, [&](const Notification&) { ++a; });
    center.addObserver(&b, "Moved", &objB, [&](const Notification&) { ++b; });
    center.addObserver(&any, "", nullptr, [&](const Notification&) { ++any; });
    center.post("Moved", &objA);
    center.post("Resized", &objB);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(any, 2);
    center.addObserver(&a, "Resized", nullptr, [&](const Notification&) { a += 10; });
    center.removeObserver(&a);
    center.post("Moved", &objA);
    center.post("Resized", &objA);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(center.registrationCount(), 2u);
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalledAgain) {
    NotificationCenter center;
    int first = 0, second = 0;
    center.addObserver(&first, "X", nullptr, [&](const Notification&) {
        ++first;
        center.removeObserver(&first);
        center.removeObserver(&second);
    });
    center.addObserver(&second, "X", nullptr, [&](const Notification&) { ++second; });
    center.post("X");
    center.post("X");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

// An observer removed (say, by its destructor) while another thread is inside its
// handler: removal returns only once that call has ended.
TEST(NotificationCenterThreaded, RemovalWaitsForACallInProgressOnAnotherThread) {
    using Clock = std::chrono::steady_clock;
    NotificationCenter center;
    int observer = 0;
    std::atomic<bool> inside{false};
    std::atomic<bool> removed{false};
    std::atomic<bool> removedWhileInside{false};
    center.addObserver(&observer, "X", nullptr, [&](const Notification&) {
        inside = true;
        // Give a removal that does not wait every chance to return meanwhile.
        const auto deadline = Clock::now() + std::chrono::milliseconds(500);
        while (!removed && Clock::now() < deadline)
            std::this_thread::yield();
        removedWhileInside = removed.load();
    });
    std::jthread poster([&] { center.post("X"); });  // joined on every way out
    const auto startDeadline = Clock::now() + std::chrono::seconds(10);
    while (!inside && Clock::now() < startDeadline)
        std::this_thread::yield();
    ASSERT_TRUE(inside) << "the handler never ran";
    center.removeObserver(&observer);
    removed = true;
    poster.join();
    EXPECT_FALSE(removedWhileInside) << "removeObserver returned during the handler's call";
    center.post("X");
    EXPECT_EQ(center.registrationCount(), 0u);
}

}  // namespace
}  // namespace talvex
