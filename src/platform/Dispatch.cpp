#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

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

// The global queue: a few worker threads of our own taking items in order. Not Qt's
// thread pool: its threads name themselves through shared strings that
// ThreadSanitizer sees two workers write at once, and its lock is invisible to it.
//
// Threads: push() and waitUntilIdle() from any thread; the workers run the items. The
// workers live as long as the process (they wait on the condition at exit), so no
// item ever meets a queue being torn down. At exit the items still running are given
// a moment to end before the statics they may use go: the queue is made after those
// of the platform that items touch, so its exit handler runs before their destructors.
class GlobalQueue {
public:
    static GlobalQueue& shared() {
        static auto* queue = [] {
            auto* made = new GlobalQueue;  // never destroyed, see above
            std::atexit([] { shared().waitUntilIdle(std::chrono::seconds(2)); });
            return made;
        }();
        return *queue;
    }

    void push(std::function<void()> work) {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(work));
        ++unfinished_;
        // Each queued item needs an idle worker of its own: one that was woken for an
        // earlier item but has not taken it yet is not free for this one.
        if (items_.size() > static_cast<std::size_t>(idleWorkers_) && workers_ < maxWorkers) {
            ++workers_;
            std::thread([this] { runItems(); }).detach();
        }
        changed_.notify_all();
    }

    void waitUntilIdle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return unfinished_ == 0; });
    }

    void waitUntilIdle(std::chrono::milliseconds atMost) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, atMost, [this] { return unfinished_ == 0; });
    }

private:
    static constexpr int maxWorkers = globalQueueWidth;

    void runItems() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idleWorkers_;
            changed_.wait(lock, [this] { return !items_.empty(); });
            --idleWorkers_;
            std::function<void()> work = std::move(items_.front());
            items_.pop_front();
            lock.unlock();
            work();
            work = nullptr;  // whatever the item held goes before it counts as done
            lock.lock();
            --unfinished_;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> items_;
    int unfinished_ = 0;  // queued or running
    int workers_ = 0;
    int idleWorkers_ = 0;
};

}  // namespace

bool isMainThread() {
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void mainAsync(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    mainQueue(app).push(std::move(work));
}

void globalAsync(std::function<void()> work) {
    GlobalQueue::shared().push(std::move(work));
}

void waitForGlobalQueue() {
    GlobalQueue::shared().waitUntilIdle();
}

}  // namespace talvex::dispatch

#include "Dispatch.moc"
