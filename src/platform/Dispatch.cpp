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
#include <vector>

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
// Threads: push(), waitUntilIdle() and shutDown() from any thread; the workers run the
// items. The queue itself is never destroyed, so no worker ever meets it torn down;
// the workers are joined by shutDown(), which the program calls before its statics go
// (the end of main, and an exit handler for other ways out). Items queued by then
// still run; items pushed afterwards are dropped.
class GlobalQueue {
public:
    static GlobalQueue& shared() {
        static auto* queue = [] {
            auto* made = new GlobalQueue;  // never destroyed, see above
            std::atexit([] { shared().shutDown(std::chrono::seconds(2)); });
            return made;
        }();
        return *queue;
    }

    void push(std::function<void()> work) {
        std::unique_lock lock(mutex_);
        if (stopping_) {
            lock.unlock();
            return;  // `work` goes here, outside the lock
        }
        items_.push_back(std::move(work));
        ++unfinished_;
        // Each queued item needs an idle worker of its own: one that was woken for an
        // earlier item but has not taken it yet is not free for this one.
        if (items_.size() > static_cast<std::size_t>(idleWorkers_) &&
            runningWorkers_ < maxWorkers) {
            ++runningWorkers_;
            workers_.emplace_back([this] { runItems(); });
        }
        changed_.notify_all();
    }

    void waitUntilIdle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return unfinished_ == 0; });
    }

    // 1. Take no more items; the workers end once the queue is empty.
    // 2. Wait up to `atMost` for them to end.
    // 3. Join them all; or, when one is still running an item, none.
    bool shutDown(std::chrono::milliseconds atMost) {
        std::vector<std::thread> ended;
        {
            std::unique_lock lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
            if (!changed_.wait_for(lock, atMost, [this] { return runningWorkers_ == 0; }))
                return false;
            ended.swap(workers_);
        }
        for (std::thread& worker : ended)
            worker.join();
        return true;
    }

private:
    static constexpr int maxWorkers = globalQueueWidth;

    void runItems() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idleWorkers_;
            changed_.wait(lock, [this] { return !items_.empty() || stopping_; });
            --idleWorkers_;
            if (items_.empty())
                break;
            std::function<void()> work = std::move(items_.front());
            items_.pop_front();
            lock.unlock();
            work();
            work = nullptr;  // whatever the item held goes before it counts as done
            lock.lock();
            --unfinished_;
            changed_.notify_all();
        }
        --runningWorkers_;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> items_;
    int unfinished_ = 0;  // queued or running
    std::vector<std::thread> workers_;
    int runningWorkers_ = 0;
    int idleWorkers_ = 0;
    bool stopping_ = false;
};

}  // namespace

bool isMainThread() {
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void prepareMainQueue() {
    if (QCoreApplication* app = QCoreApplication::instance())
        mainQueue(app);
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

bool shutDownGlobalQueue(std::chrono::milliseconds atMost) {
    return GlobalQueue::shared().shutDown(atMost);
}

}  // namespace talvex::dispatch

#include "Dispatch.moc"
