#pragma once

namespace qx {

// Thread priorities of the crawl, relative to the thread that shows the page.
// The page's thread must win the processor over the workers: every worker
// waits on it in synchronous sends, often while holding the queue lock.
enum class ThreadPriority {
    kBelowNormal,  // the engine
    kLowest,       // the workers
};

// Lowers the calling thread's scheduling priority. Best effort: a failure
// leaves the thread at its priority.
void SetCurrentThreadPriority(ThreadPriority priority);

}  // namespace qx
