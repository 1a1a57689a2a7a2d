#include <gtest/gtest.h>

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

}  // namespace
}  // namespace talvex
