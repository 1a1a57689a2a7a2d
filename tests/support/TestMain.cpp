// Test entry point: X threading before anything touches Xlib, then one QApplication
// for the whole run (widget and X11 tests need it; plain tests do not mind it).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/Dispatch.h"
#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    talvex::test::initXThreads();
    talvex::test::isolateUserDefaults();
    if (!talvex::test::hasDisplay()) {
        // Without an X server the plain tests still run; display tests skip themselves.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    talvex::dispatch::prepareMainQueue();
    const int status = RUN_ALL_TESTS();
    talvex::dispatch::shutDownGlobalQueue(std::chrono::seconds(2));
    return status;
}
