#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

namespace talvex::dispatch {

void mainAsync(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void globalAsync(std::function<void()> work) {
    QThreadPool::globalInstance()->start(std::move(work));
}

void waitForGlobalQueue() { QThreadPool::globalInstance()->waitForDone(); }

}  // namespace talvex::dispatch
