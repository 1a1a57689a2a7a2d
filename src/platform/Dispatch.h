#pragma once

// The two queues of the application: the main queue (the Qt event loop of the main
// thread) and a global concurrent queue (a thread pool). Both run work items
// asynchronously, in submission order per queue as far as the queue's nature allows.
#include <chrono>
#include <functional>

namespace talvex::dispatch {

// Runs `work` on the main thread, in a later pass of the event loop.
void mainAsync(std::function<void()> work);

// Makes the main queue on the main thread, right after the application object: made
// first by a worker's mainAsync, the queue's object would be written there and read by
// the main thread through Qt's event queue alone, whose lock ThreadSanitizer cannot see.
void prepareMainQueue();

// The most worker threads the global queue runs at once. A new worker starts while
// the queued items outnumber the idle workers, so an item waits only while this many
// are busy.
inline constexpr int globalQueueWidth = 4;

// Runs `work` on a worker thread of the global concurrent queue.
void globalAsync(std::function<void()> work);

// True on the main thread of a running application (the thread of its event loop).
bool isMainThread();

// Blocks until every work item submitted to the global queue has finished (tests).
void waitForGlobalQueue();

// Ends the global queue before the program's statics go: the items already queued
// still run, later ones are dropped, and the workers are joined. False when an item
// was still running after `atMost`: then no worker is joined, and the statics must not
// be destroyed under it. Also run, with two seconds, by an exit handler.
bool shutDownGlobalQueue(std::chrono::milliseconds atMost);

}  // namespace talvex::dispatch
