#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

#include "search/HostPacing.h"
#include "search/HttpFetcher.h"
#include "search/QueueMutex.h"
#include "search/RobotsCache.h"
#include "search/SearchItem.h"

namespace qx {

class CSearchThread;
class MatchedRoots;
class PageWindow;

// What the search page, its engine thread and its worker threads share. Every
// thread holds it through a shared_ptr, so a thread that outlives the page
// (window closed mid-fetch) never touches freed state.
class CrawlState {
public:
    CrawlState(std::shared_ptr<PageWindow> page, MatchedRoots& matchedRoots);
    ~CrawlState();
    CrawlState(const CrawlState&) = delete;
    CrawlState& operator=(const CrawlState&) = delete;

    // Guards PendingQueue, the running/done/carried-over flags of its items,
    // WorkerList and the depth and bookkeeping a link follower writes.
    QueueMutex QueueLock;
    // Items in arrival order, each in its own node so that its address stays
    // put; only the engine removes (and frees) entries.
    std::list<SearchItem> PendingQueue;
    // Running workers in start order; removed on WM_WORKER_DONE.
    std::list<CSearchThread*> WorkerList;
    // Per-host limits and gaps of the current search (polite crawling).
    HostPacing Pacing;

    PageWindow& Page() const { return *page_; }
    MatchedRoots& Roots() const { return *matchedRoots_; }
    // Only while no search runs.
    void SetRoots(MatchedRoots& roots) { matchedRoots_ = &roots; }

    void SetFetcherLimits(const FetcherLimits& limits);
    FetcherLimits Limits() const;

    // The engine's pause: the first one after creation returns at once, every
    // later one lasts `duration` unless `cutShort` turns true after Wake().
    void Pause(std::chrono::microseconds duration, const std::function<bool()>& cutShort);
    void Wake();
    // Tests step the engine round by round: when set (before the engine
    // starts), every pause calls it with its duration instead of waiting.
    using PauseHook = std::function<void(std::chrono::microseconds)>;
    void SetPauseHook(PauseHook hook) { pauseHook_ = std::move(hook); }

    // The robots.txt files read in the current search (when they are obeyed).
    RobotsCache Robots;

    // Transfers in flight should give up (the page is closing).
    std::atomic<bool> AbortRequested{false};

    // Worker threads alive (counted from before their start to their last step).
    void ThreadStarting();
    void ThreadEnded();
    int LiveThreads() const;
    bool WaitForThreads(std::chrono::milliseconds wait);

    // Never 0, which marks an item without a worker; after 2^32 starts the
    // ids come round again, long after the workers that held them ended.
    std::uint32_t NextThreadId() {
        std::uint32_t id = nextThreadId_.fetch_add(1) + 1;
        while (id == 0) {
            id = nextThreadId_.fetch_add(1) + 1;
        }
        return id;
    }

    // The engine thread of the current search has returned.
    void EngineEnded();
    // A new search: its robots.txt files are read anew.
    void EngineStarting();
    bool EngineRunning() const;
    bool WaitForEngine(std::chrono::milliseconds wait);

private:
    std::shared_ptr<PageWindow> page_;
    MatchedRoots* matchedRoots_;

    mutable std::mutex limitsLock_;
    FetcherLimits limits_;

    std::mutex wakeLock_;
    std::condition_variable wake_;
    bool firstPauseFree_ = true;
    PauseHook pauseHook_;

    mutable std::mutex liveLock_;
    std::condition_variable liveChanged_;
    int liveThreads_ = 0;
    bool engineRunning_ = false;

    std::atomic<std::uint32_t> nextThreadId_{0};
};

}  // namespace qx
