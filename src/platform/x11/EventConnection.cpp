#include "platform/x11/EventConnection.h"

#include <X11/Xlib.h>

namespace talvex {

std::unique_ptr<EventConnection> EventConnection::open(const char* displayName,
                                                       std::function<void()> readable) {
    std::shared_ptr<XDisplay> display = XDisplay::open(displayName);
    if (!display)
        return nullptr;
    return watch(std::move(display), std::move(readable));
}

std::unique_ptr<EventConnection> EventConnection::watch(std::shared_ptr<XDisplay> display,
                                                        std::function<void()> readable) {
    auto connection = std::make_unique<EventConnection>();
    connection->notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(display->get()), QSocketNotifier::Read);
    connection->display = std::move(display);
    QObject::connect(connection->notifier.get(), &QSocketNotifier::activated,
                     [readable = std::move(readable)] { readable(); });
    return connection;
}

}  // namespace talvex
