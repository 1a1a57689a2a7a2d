#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <deque>
#include <mutex>

namespace talvex::dispatch {

namespace {

// The main queue's work items. Qt hands a queued call to the main thread under a lock
// of its own that ThreadSanitizer cannot see, and a call built from a functor carries
// the functor in memory the posting thread wrote. So the items travel through this
// queue, under its mutex, and Qt's queued call (made by name, with nothing of ours in
// it) only tells the main thread to take the next one: one call per item, in order.
//
// Threads: push() from any thread; runNext() on the main thread (the object lives
// there).
class MainQueue final : public QObject {
    Q_OBJECT

public:
    explicit MainQueue(QThread* mainThread) { moveToThread(mainThread); }

    void push(std::function<void()> work) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(work));
        }
        QMetaObject::invokeMethod(this, "runNext", Qt::QueuedConnection);
    }

    Q_INVOKABLE void runNext() {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (items_.empty())
                return;
            work = std::move(items_.front());
            items_.pop_front();
        }
        work();
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> items_;
};

// The queue lives on the thread of the application's event loop, whichever thread
// asks for it first.
MainQueue& mainQueue(QCoreApplication* app) {
    static MainQueue queue(app->thread());
    return queue;
}

}  // namespace

void mainAsync(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    mainQueue(app).push(std::move(work));
}

void globalAsync(std::function<void()> work) {
    QThreadPool::globalInstance()->start(std::move(work));
}

void waitForGlobalQueue() {
    QThreadPool::globalInstance()->waitForDone();
}

}  // namespace talvex::dispatch

#include "Dispatch.moc"
