#include "search/CrawlState.h"

#include "search/MatchedRoots.h"
#include "search/PageWindow.h"
#include "search/SearchSettings.h"

namespace qx {

CrawlState::CrawlState(std::shared_ptr<PageWindow> page, MatchedRoots& matchedRoots)
    : page_(std::move(page)), matchedRoots_(&matchedRoots) {}

CrawlState::~CrawlState() = default;

void CrawlState::SetFetcherLimits(const FetcherLimits& limits) {
    std::lock_guard<std::mutex> lock(limitsLock_);
    limits_ = limits;
}

FetcherLimits CrawlState::Limits() const {
    std::lock_guard<std::mutex> lock(limitsLock_);
    return limits_;
}

void CrawlState::Pause(std::chrono::microseconds duration, const std::function<bool()>& cutShort) {
    if (pauseHook_) {
        pauseHook_(duration);
        return;
    }
    std::unique_lock<std::mutex> lock(wakeLock_);
    if (firstPauseFree_) {
        firstPauseFree_ = false;
        return;
    }
    wake_.wait_for(lock, duration, cutShort);
}

void CrawlState::Wake() {
    // Taking the lock orders the caller's flag change before a waiter's check.
    { std::lock_guard<std::mutex> lock(wakeLock_); }
    wake_.notify_all();
}

void CrawlState::ThreadStarting() {
    std::lock_guard<std::mutex> lock(liveLock_);
    ++liveThreads_;
}

void CrawlState::ThreadEnded() {
    {
        std::lock_guard<std::mutex> lock(liveLock_);
        --liveThreads_;
    }
    liveChanged_.notify_all();
}

int CrawlState::LiveThreads() const {
    std::lock_guard<std::mutex> lock(liveLock_);
    return liveThreads_;
}

bool CrawlState::WaitForThreads(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(liveLock_);
    return liveChanged_.wait_for(lock, wait, [&] { return liveThreads_ == 0; });
}

void CrawlState::EngineStarting() {
    Robots.Clear();
    Counters().RobotsDisallowedCount = 0;
    std::lock_guard<std::mutex> lock(liveLock_);
    engineRunning_ = true;
}

void CrawlState::EngineEnded() {
    {
        std::lock_guard<std::mutex> lock(liveLock_);
        engineRunning_ = false;
    }
    liveChanged_.notify_all();
}

bool CrawlState::EngineRunning() const {
    std::lock_guard<std::mutex> lock(liveLock_);
    return engineRunning_;
}

bool CrawlState::WaitForEngine(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(liveLock_);
    return liveChanged_.wait_for(lock, wait, [&] { return !engineRunning_; });
}

}  // namespace qx
